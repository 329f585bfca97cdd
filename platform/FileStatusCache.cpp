#include "platform/FileStatusCache.h"

#include <algorithm>

namespace platform {

void FolderListingCache::Remember(const std::string& folder, const FileStatus& self, std::vector<ListedFile> files) {
    std::sort(files.begin(), files.end(), [](const ListedFile& a, const ListedFile& b) { return a.name < b.name; });
    // Kept while a backup's files are surveyed: no room to spare in each.
    files.shrink_to_fit();
    m_listings[folder] = {self, std::move(files)};
}

const std::vector<ListedFile>* FolderListingCache::Find(std::string_view folder) const {
    const auto found = m_listings.find(folder);
    return found == m_listings.end() ? nullptr : &found->second.files;
}

const FileStatus* FolderListingCache::FindFolder(std::string_view folder) const {
    const auto found = m_listings.find(folder);
    return found == m_listings.end() ? nullptr : &found->second.self;
}

const ListedFile* FolderListingCache::FindFile(const std::vector<ListedFile>& listing, std::string_view name) {
    const auto found = std::lower_bound(listing.begin(), listing.end(), name,
                                        [](const ListedFile& f, std::string_view n) { return f.name < n; });
    return found != listing.end() && found->name == name ? &*found : nullptr;
}

}  // namespace platform
