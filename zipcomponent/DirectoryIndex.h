#pragma once

#include "zipcomponent/CentralDirectory.h"

#include <cstdint>
#include <functional>
#include <future>
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
    // The directory position of the first entry of that name, or -1: a
    // later entry of the same name is never the one an update keeps.
    // `expected` is tried first: an update asks for the names in about the
    // order it wrote them, and the entry there is at hand.
    int64_t FirstOf(std::string_view name, size_t expected = SIZE_MAX) const;
    // True for an entry whose name an earlier entry has.
    bool IsLaterCopy(size_t position) const;

private:
    Folder& Add(std::string_view folder);
    size_t Slot(std::string_view name, size_t hash) const;

    CentralDirectory m_directory;
    std::unordered_map<std::string_view, Folder> m_folders;
    // Open addressing over the entries: position + 1 and a part of the
    // name's hash per used slot, so that a miss touches no entry.
    struct NameSlot {
        uint32_t position = 0;
        uint32_t hash = 0;
    };
    std::vector<NameSlot> m_byName;
    std::vector<uint32_t> m_laterCopies;  // sorted
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
    // Fills a directory from the file; false when it cannot.
    using Reader = std::function<bool(const std::string& path, CentralDirectory& out)>;

    ~DirectoryCache();
    // The cached index of path, or null when the file changed or was never read.
    std::shared_ptr<const DirectoryIndex> Find(const std::string& path);
    // Reads path's directory, and keeps it unless the file changed while it
    // was read; null when it cannot be read.
    std::shared_ptr<const DirectoryIndex> Read(const std::string& path, const Reader& read);
    // The same on another thread, while the caller does other work; the next
    // Find or Read takes its result.
    void ReadAhead(const std::string& path, Reader read);

private:
    struct Kept {
        std::string path;
        FileIdentity identity;
        std::shared_ptr<const DirectoryIndex> index;
        bool stable;  // the file was the same before and after
    };
    static Kept ReadNow(const std::string& path, const Reader& read);
    void TakeAhead();

    Kept m_kept{};
    std::future<Kept> m_ahead;
};

}  // namespace zipcomponent
