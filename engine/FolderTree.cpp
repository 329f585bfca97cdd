#include "engine/FolderTree.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace engine {

namespace {

bool Excluded(const std::string& path, const std::vector<std::string>& exclusions) {
    return std::any_of(exclusions.begin(), exclusions.end(),
                       [&](const std::string& e) { return platform::SamePath(e, path); });
}

}  // namespace

int ExpandFolderTree(const std::string& folder, bool addSelf, std::vector<std::string>& out,
                     const std::vector<std::string>& exclusions, const std::function<bool(const std::string&)>& visit) {
    int added = 0;
    if (addSelf) {
        out.push_back(folder);
        ++added;
    }
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) return added;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return added;
    std::vector<std::string> subfolders;
    while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = (folder == "/" ? "" : folder) + "/" + name;
        // readdir's type spares a stat per entry; links are never followed.
        if (e->d_type == DT_DIR) {
            subfolders.push_back(path);
        } else if (e->d_type == DT_UNKNOWN) {
            struct stat sub {};
            if (::lstat(path.c_str(), &sub) == 0 && S_ISDIR(sub.st_mode)) subfolders.push_back(path);
        }
    }
    ::closedir(dir);
    std::sort(subfolders.begin(), subfolders.end());
    for (const auto& path : subfolders) {
        if (visit && !visit(path)) break;
        if (!Excluded(path, exclusions)) {
            out.push_back(path);
            ++added;
        }
        added += ExpandFolderTree(path, false, out, exclusions, visit);
    }
    return added;
}

}  // namespace engine
