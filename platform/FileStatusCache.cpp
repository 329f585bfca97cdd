#include "platform/FileStatusCache.h"

#include "platform/PathAccess.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace platform {

void FolderListingCache::Remember(const std::string& folder, std::vector<ListedFile> files) {
    std::sort(files.begin(), files.end(), [](const ListedFile& a, const ListedFile& b) { return a.name < b.name; });
    m_listings[folder] = std::move(files);
}

const std::vector<ListedFile>* FolderListingCache::Find(std::string_view folder) const {
    const auto found = m_listings.find(folder);
    return found == m_listings.end() ? nullptr : &found->second;
}

const ListedFile* FolderListingCache::FindFile(const std::vector<ListedFile>& listing, std::string_view name) {
    const auto found = std::lower_bound(listing.begin(), listing.end(), name,
                                        [](const ListedFile& f, std::string_view n) { return f.name < n; });
    return found != listing.end() && found->name == name ? &*found : nullptr;
}

void FolderListingCache::LookAtFiles(unsigned threads) {
    std::vector<std::pair<const std::string, std::vector<ListedFile>>*> folders;
    folders.reserve(m_listings.size());
    for (auto& entry : m_listings)
        if (!entry.second.empty()) folders.push_back(&entry);
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i; (i = next.fetch_add(1)) < folders.size();) {
            const int fd = OpenAnyLength(folders[i]->first, O_PATH | O_DIRECTORY);
            if (fd < 0) continue;  // left unlooked: whoever needs a file looks again
            for (auto& file : folders[i]->second) {
                struct stat st {};
                if (::fstatat(fd, file.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                    file.error = errno;
                    continue;
                }
                file.status = {static_cast<uint32_t>(st.st_mode), static_cast<uint64_t>(st.st_size), st.st_mtime,
                               st.st_uid, st.st_gid};
                file.error = 0;
            }
            ::close(fd);
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // this thread does the rest
        }
    }
    work();
    for (auto& h : helpers) h.join();
}

}  // namespace platform
