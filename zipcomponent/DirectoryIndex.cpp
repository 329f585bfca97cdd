#include "zipcomponent/DirectoryIndex.h"

#include <sys/stat.h>

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
    for (size_t i = 0; i < entries.size(); ++i)
        Add(ParentOf(entries[i].name)).entries.push_back(static_cast<uint32_t>(i));
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

std::shared_ptr<const DirectoryIndex> DirectoryCache::Find(const std::string& path) const {
    FileIdentity now;
    if (!m_index || path != m_path || !FileIdentity::Of(path, now) || !(now == m_identity)) return nullptr;
    return m_index;
}

void DirectoryCache::Keep(const std::string& path, std::shared_ptr<const DirectoryIndex> index) {
    m_path = path;
    if (!FileIdentity::Of(path, m_identity)) index.reset();
    m_index = std::move(index);
}

}  // namespace zipcomponent
