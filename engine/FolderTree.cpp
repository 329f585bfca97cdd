#include "engine/FolderTree.h"

#include "platform/FileSystem.h"
#include "platform/PathAccess.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace engine {

namespace {

bool Excluded(const std::string& path, const std::vector<std::string>& exclusions) {
    return std::any_of(exclusions.begin(), exclusions.end(),
                       [&](const std::string& e) { return platform::SamePath(e, path); });
}

// The subfolders of an open folder, sorted; links are not folders here.
// What else it holds goes to `others` when given.
std::vector<std::string> ListSubfolders(int fd, const std::string& folder,
                                        std::vector<platform::ListedFile>* others) {
    std::vector<std::string> subfolders;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return subfolders;
    }
    while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        bool isFolder = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN) {
            struct stat sub {};
            isFolder = ::fstatat(::dirfd(dir), e->d_name, &sub, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(sub.st_mode);
        }
        if (isFolder)
            subfolders.push_back((folder == "/" ? "" : folder) + "/" + name);
        else if (others)
            others->push_back({name, {}, -1});
    }
    ::closedir(dir);
    std::sort(subfolders.begin(), subfolders.end());
    return subfolders;
}

}  // namespace

int ExpandFolderTree(const std::string& folder, bool addSelf, std::vector<std::string>& out,
                     const std::vector<std::string>& exclusions, const std::function<bool(const std::string&)>& visit,
                     const std::function<void(const std::string&, int)>& unreadable,
                     platform::FolderListingCache* listings) {
    int added = 0;
    if (addSelf) {
        out.push_back(folder);
        ++added;
    }
    // A loop of bind mounts, or a damaged file system, must not walk for ever.
    std::set<std::pair<dev_t, ino_t>> entered;
    // Folders still to list, the next one last; only the first may be a link.
    std::vector<std::string> pending{folder};
    bool first = true;
    while (!pending.empty()) {
        const std::string current = std::move(pending.back());
        pending.pop_back();
        if (!first) {
            if (visit && !visit(current)) break;
            if (!Excluded(current, exclusions)) {
                out.push_back(current);
                ++added;
            }
        }
        const int fd = platform::OpenAnyLength(current, O_RDONLY | O_DIRECTORY | (first ? 0 : O_NOFOLLOW));
        first = false;
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0) {
            const int err = errno;
            if (fd >= 0) ::close(fd);
            if (err != ENOENT && unreadable) unreadable(current, err);
            continue;
        }
        if (!entered.emplace(st.st_dev, st.st_ino).second) {
            ::close(fd);
            continue;
        }
        std::vector<platform::ListedFile> others;
        std::vector<std::string> subfolders = ListSubfolders(fd, current, listings ? &others : nullptr);
        if (listings) listings->Remember(current, std::move(others));
        pending.insert(pending.end(), std::make_move_iterator(subfolders.rbegin()),
                       std::make_move_iterator(subfolders.rend()));
    }
    return added;
}

}  // namespace engine
