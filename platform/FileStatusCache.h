#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform {

struct FileStatus {
    uint32_t mode = 0;
    uint64_t size = 0;
    time_t modified = 0;
    uint32_t owner = 0, group = 0;
};

// What one look at each file found, so that a later step of the same run
// need not look again: on a tree of small files the looks are most of a
// backup that finds nothing to do.
class FileStatusCache {
public:
    void Remember(const std::string& path, const FileStatus& status) { m_status[path] = status; }
    void Reserve(size_t files) { m_status.reserve(files); }
    // The status remembered for path, or null.
    const FileStatus* Find(const std::string& path) const {
        const auto found = m_status.find(path);
        return found == m_status.end() ? nullptr : &found->second;
    }
    void Clear() { m_status.clear(); }

private:
    std::unordered_map<std::string, FileStatus> m_status;
};

// What a walk found in each folder, subfolders aside, so that a later step
// of the same run need not read the folders again: on a tree of small
// folders reading them costs as much as looking at the files.
class FolderListingCache {
public:
    void Remember(const std::string& folder, std::vector<std::string> names) {
        m_listings[folder] = std::move(names);
    }
    // The names remembered for folder, or null.
    const std::vector<std::string>* Find(const std::string& folder) const {
        const auto found = m_listings.find(folder);
        return found == m_listings.end() ? nullptr : &found->second;
    }
    void Clear() { m_listings.clear(); }

private:
    std::unordered_map<std::string, std::vector<std::string>> m_listings;
};

}  // namespace platform
