#pragma once

#include "zipcomponent/CentralDirectory.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zipcomponent {

// An archive's directory with its folders indexed, so that one folder's
// entries are found without looking at the others: a restore opens one
// folder at a time in backups of millions of entries.
class DirectoryIndex {
public:
    struct Folder {
        std::vector<uint32_t> entries;             // directory positions of the entries right inside
        std::vector<std::string_view> subfolders;  // every folder right inside, with its "/", each once
    };

    explicit DirectoryIndex(CentralDirectory directory);
    // The folders point into the directory's names.
    DirectoryIndex(const DirectoryIndex&) = delete;
    DirectoryIndex& operator=(const DirectoryIndex&) = delete;
    const CentralDirectory& Directory() const { return m_directory; }
    // The folder "a/b/" ("" for the top), or null when nothing lies in it.
    const Folder* Find(std::string_view folder) const;
    // Every folder that holds something, as "a/b/" ("" for the top).
    std::vector<std::string_view> FolderNames() const;

private:
    Folder& Add(std::string_view folder);

    CentralDirectory m_directory;
    std::unordered_map<std::string_view, Folder> m_folders;
};

// What tells that a file is still the one read before: its device, inode,
// size and modification time.
struct FileIdentity {
    uint64_t device = 0, inode = 0, size = 0;
    int64_t seconds = 0, nanoseconds = 0;
    bool operator==(const FileIdentity&) const = default;
    // False when the file cannot be looked at.
    static bool Of(const std::string& path, FileIdentity& out);
};

// The directory last read from a file, kept while the file stays the same.
class DirectoryCache {
public:
    // The cached index of path, or null when the file changed or was never read.
    std::shared_ptr<const DirectoryIndex> Find(const std::string& path) const;
    void Keep(const std::string& path, std::shared_ptr<const DirectoryIndex> index);

private:
    std::string m_path;
    FileIdentity m_identity;
    std::shared_ptr<const DirectoryIndex> m_index;
};

}  // namespace zipcomponent
