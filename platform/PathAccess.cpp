#include "platform/PathAccess.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// The folder that holds the path's last component, opened as O_PATH, and
// that component. -1 with errno when a folder on the way cannot be opened.
int OpenParent(const std::string& path, std::string& name) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        name = path;
        return ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    name = path.substr(slash + 1);
    if (name.empty()) name = ".";
    int fd = ::open(path[0] == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    size_t start = path[0] == '/' ? 1 : 0;
    while (fd >= 0 && start < slash) {
        size_t end = path.find('/', start);
        if (end == std::string::npos || end > slash) end = slash;
        if (end > start) {
            const std::string part = path.substr(start, end - start);
            const int next = ::openat(fd, part.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            const int err = errno;
            ::close(fd);
            fd = next;
            errno = err;
        }
        start = end + 1;
    }
    return fd;
}

bool Short(const std::string& path) { return path.size() < PATH_MAX; }

}  // namespace

int OpenAnyLength(const std::string& path, int flags) {
    if (Short(path)) return ::open(path.c_str(), flags | O_CLOEXEC);
    std::string name;
    const int parent = OpenParent(path, name);
    if (parent < 0) return -1;
    const int fd = ::openat(parent, name.c_str(), flags | O_CLOEXEC);
    const int err = errno;
    ::close(parent);
    errno = err;
    return fd;
}

int StatAnyLength(const std::string& path, struct stat& st, bool follow) {
    const int flags = follow ? 0 : AT_SYMLINK_NOFOLLOW;
    if (Short(path)) return ::fstatat(AT_FDCWD, path.c_str(), &st, flags);
    std::string name;
    const int parent = OpenParent(path, name);
    if (parent < 0) return -1;
    const int result = ::fstatat(parent, name.c_str(), &st, flags);
    const int err = errno;
    ::close(parent);
    errno = err;
    return result;
}

int ReadLinkAnyLength(const std::string& path, std::string& target) {
    std::string name = path;
    int parent = AT_FDCWD;
    if (!Short(path) && (parent = OpenParent(path, name)) < 0) return errno;
    std::vector<char> buffer(256);
    int err = 0;
    for (;;) {
        const ssize_t n = ::readlinkat(parent, name.c_str(), buffer.data(), buffer.size());
        if (n < 0) {
            err = errno;
            break;
        }
        if (static_cast<size_t>(n) < buffer.size()) {
            target.assign(buffer.data(), static_cast<size_t>(n));
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    if (parent != AT_FDCWD) ::close(parent);
    return err;
}

int OpenRegularFile(const std::string& path, struct stat& st) {
    st = {};
    const int fd = OpenAnyLength(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        // A socket cannot be opened at all; it is still not a regular file.
        const int err = errno;
        if (StatAnyLength(path, st, true) != 0 || S_ISREG(st.st_mode)) st = {};
        errno = err;
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    // O_NONBLOCK stays: it changes nothing for a regular file.
    return fd;
}

}  // namespace platform
