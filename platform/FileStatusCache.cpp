#include "platform/FileStatusCache.h"

#include <algorithm>

namespace platform {

void FolderListingCache::Remember(const std::string& folder, const FileStatus& self, std::vector<ListedFile> files) {
    const auto byName = [](const ListedFile& a, const ListedFile& b) { return a.name < b.name; };
    if (!std::is_sorted(files.begin(), files.end(), byName)) std::sort(files.begin(), files.end(), byName);
    // Kept while a backup's files are surveyed: no room to spare in each.
    files.shrink_to_fit();
    Listing& listing = m_listings[folder];
    m_files -= listing.files.size();
    m_files += files.size();
    listing = {self, std::move(files)};
}

const FolderListingCache::Listing* FolderListingCache::Find(std::string_view folder) const {
    const auto found = m_listings.find(folder);
    return found == m_listings.end() ? nullptr : &found->second;
}

const ListedFile* FolderListingCache::FindFile(const std::vector<ListedFile>& listing, std::string_view name) {
    const auto found = std::lower_bound(listing.begin(), listing.end(), name,
                                        [](const ListedFile& f, std::string_view n) { return f.name < n; });
    return found != listing.end() && found->name == name ? &*found : nullptr;
}

}  // namespace platform
