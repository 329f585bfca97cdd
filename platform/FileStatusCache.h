#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
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

// One name a folder listing found, and what looking at it found.
struct ListedFile {
    std::string name;
    FileStatus status;
    int error = -1;  // 0: status holds the look; an errno: the look failed; -1: not looked at
};

// What a walk found in each folder, subfolders aside, sorted by name, so
// that later steps of the same run need neither read the folders again nor
// look at their files: on a tree of small folders reading and looking are
// most of a backup that finds nothing to do.
class FolderListingCache {
public:
    struct Listing {
        FileStatus self;  // what looking at the folder itself found
        std::vector<ListedFile> files;
    };

    void Remember(const std::string& folder, const FileStatus& self, std::vector<ListedFile> files);
    // What was remembered for folder, or null.
    const Listing* Find(std::string_view folder) const;
    // The number of files in all the listings.
    size_t FileCount() const { return m_files; }
    // The file of that name in a listing, or null.
    static const ListedFile* FindFile(const std::vector<ListedFile>& listing, std::string_view name);
    void Clear() {
        m_listings.clear();
        m_files = 0;
    }

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, Listing, Hash, std::equal_to<>> m_listings;
    size_t m_files = 0;
};

}  // namespace platform
