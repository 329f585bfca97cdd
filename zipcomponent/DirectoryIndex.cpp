#include "zipcomponent/DirectoryIndex.h"

#include <algorithm>
#include <sys/stat.h>
#include <system_error>

namespace zipcomponent {

namespace {

// The folder an entry lies in, with its "/": "a/b/" for "a/b/c" and for
// "a/b/c/", "" at the top.
std::string_view ParentOf(std::string_view name) {
    if (name.size() > 1 && name.back() == '/') name.remove_suffix(1);
    const size_t slash = name.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : name.substr(0, slash + 1);
}

}  // namespace

DirectoryIndex::DirectoryIndex(CentralDirectory directory) : m_directory(std::move(directory)) {
    m_folders.emplace(std::string_view(), Folder());
    const auto& entries = m_directory.entries;
    // Entries come folder by folder: the folder of the one before is at hand.
    std::string_view lastParent;
    Folder* last = nullptr;
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string_view parent = ParentOf(entries[i].name);
        if (!last || parent != lastParent) {
            last = &Add(parent);
            lastParent = parent;
        }
        last->entries.push_back(static_cast<uint32_t>(i));
    }
    size_t slots = 16;
    while (slots < entries.size() * 2) slots *= 2;
    m_byName.assign(slots, {});
    for (size_t i = 0; i < entries.size(); ++i) {
        const size_t hash = std::hash<std::string_view>{}(entries[i].name);
        NameSlot& slot = m_byName[Slot(entries[i].name, hash)];
        if (slot.position != 0) {
            m_laterCopies.push_back(static_cast<uint32_t>(i));
            continue;
        }
        slot = {static_cast<uint32_t>(i + 1), static_cast<uint32_t>(hash >> 32)};
    }
}

// The slot holding that name, or the empty one where it would go.
size_t DirectoryIndex::Slot(std::string_view name, size_t hash) const {
    const size_t mask = m_byName.size() - 1;
    const auto tag = static_cast<uint32_t>(hash >> 32);
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
        const NameSlot& slot = m_byName[at];
        if (slot.position == 0 || (slot.hash == tag && m_directory.entries[slot.position - 1].name == name))
            return at;
    }
}

int64_t DirectoryIndex::FirstOf(std::string_view name, size_t expected) const {
    const auto& entries = m_directory.entries;
    if (expected < entries.size() && entries[expected].name == name && !IsLaterCopy(expected))
        return static_cast<int64_t>(expected);
    const uint32_t found = m_byName[Slot(name, std::hash<std::string_view>{}(name))].position;
    return found == 0 ? -1 : static_cast<int64_t>(found) - 1;
}

bool DirectoryIndex::IsLaterCopy(size_t position) const {
    return std::binary_search(m_laterCopies.begin(), m_laterCopies.end(), position);
}

DirectoryIndex::Folder& DirectoryIndex::Add(std::string_view folder) {
    auto [it, made] = m_folders.try_emplace(folder);
    // A folder seen first links itself into the folders above it.
    if (made) Add(ParentOf(folder)).subfolders.push_back(folder);
    return it->second;
}

const DirectoryIndex::Folder* DirectoryIndex::Find(std::string_view folder) const {
    const auto it = m_folders.find(folder);
    return it == m_folders.end() ? nullptr : &it->second;
}

std::vector<std::string_view> DirectoryIndex::FolderNames() const {
    std::vector<std::string_view> names;
    names.reserve(m_folders.size());
    for (const auto& [name, folder] : m_folders) names.push_back(name);
    return names;
}

bool FileIdentity::Of(const std::string& path, FileIdentity& out) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    out = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), static_cast<uint64_t>(st.st_size),
           st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
    return true;
}

DirectoryCache::~DirectoryCache() {
    if (m_ahead.valid()) m_ahead.wait();
}

DirectoryCache::Kept DirectoryCache::ReadNow(const std::string& path, const Reader& read) {
    Kept kept{path, {}, nullptr, false};
    CentralDirectory directory;
    const bool before = FileIdentity::Of(path, kept.identity);
    if (!read(path, directory)) return kept;
    kept.index = std::make_shared<const DirectoryIndex>(std::move(directory));
    // A file replaced or written to while it was read is read again next time.
    FileIdentity after;
    kept.stable = before && FileIdentity::Of(path, after) && after == kept.identity;
    return kept;
}

void DirectoryCache::TakeAhead() {
    if (m_ahead.valid()) m_kept = m_ahead.get();
}

std::shared_ptr<const DirectoryIndex> DirectoryCache::Find(const std::string& path) {
    TakeAhead();
    FileIdentity now;
    if (!m_kept.stable || path != m_kept.path || !FileIdentity::Of(path, now) || !(now == m_kept.identity))
        return nullptr;
    return m_kept.index;
}

std::shared_ptr<const DirectoryIndex> DirectoryCache::Read(const std::string& path, const Reader& read) {
    TakeAhead();
    m_kept = ReadNow(path, read);
    return m_kept.index;
}

void DirectoryCache::ReadAhead(const std::string& path, Reader read) {
    TakeAhead();
    try {
        m_ahead = std::async(std::launch::async, [path, read = std::move(read)] { return ReadNow(path, read); });
    } catch (const std::system_error&) {
        // No thread to spare: the directory is read when it is needed.
    }
}

}  // namespace zipcomponent
