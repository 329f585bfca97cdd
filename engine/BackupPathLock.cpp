#include "engine/BackupPathLock.h"

#include "platform/FileSystem.h"

#include <cctype>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace engine {

namespace {

constexpr size_t kRandomLength = 6;  // what mkstemp puts in place of XXXXXX

bool RandomSuffix(const std::string& name, size_t at) {
    if (name.size() != at + 1 + kRandomLength || name[at] != '.') return false;
    for (size_t i = at + 1; i < name.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
    return true;
}

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }
bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The names a temporary file stands in for: the backup, its parts, its
// archive zips and the index files of both.
bool StandsForTheBackup(const std::string& base, const std::string& backupName) {
    const size_t dot = backupName.rfind('.');
    const std::string stem = dot == std::string::npos ? backupName : backupName.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : backupName.substr(dot);
    std::string name = base;
    if (EndsWith(name, ".velidx")) name.resize(name.size() - 7);
    if (name == backupName || name == backupName + ".part") return true;
    if (name.size() == stem.size() + 4 && StartsWith(name, stem + ".z") && std::isdigit(static_cast<unsigned char>(name[name.size() - 2])) &&
        std::isdigit(static_cast<unsigned char>(name.back())))
        return true;
    return StartsWith(name, stem + "_Archived_") && EndsWith(name, extension);
}

}  // namespace

std::string BackupLockPath(const std::string& backupPath) {
    return platform::FolderPart(backupPath) + "/." + platform::FileNamePart(backupPath) + ".lock";
}

int CBackupPathLock::TryAcquire(const std::string& backupPath) {
    if (m_fd >= 0) return 0;
    const int fd = ::open(BackupLockPath(backupPath).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return errno;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno == EINTR ? EWOULDBLOCK : errno;
        ::close(fd);
        return err;
    }
    m_fd = fd;
    return 0;
}

void CBackupPathLock::Release() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool IsBackupTemporary(const std::string& fileName, const std::string& backupPath) {
    if (fileName.size() < 2 || fileName[0] != '.') return false;
    const std::string backupName = platform::FileNamePart(backupPath);
    if (EndsWith(fileName, ".whole")) return fileName == "." + backupName + ".whole";
    if (fileName.size() < 2 + 1 + kRandomLength) return false;
    const size_t at = fileName.size() - 1 - kRandomLength;
    return RandomSuffix(fileName, at) && StandsForTheBackup(fileName.substr(1, at - 1), backupName);
}

void RemoveStaleTemporaries(const std::string& backupPath, const std::vector<std::string>& otherFolders) {
    std::vector<std::string> folders = otherFolders;
    folders.insert(folders.begin(), platform::FolderPart(backupPath));
    for (const auto& folder : folders) {
        if (folder.empty()) continue;
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) continue;
        while (dirent* e = ::readdir(dir)) {
            if (!IsBackupTemporary(e->d_name, backupPath)) continue;
            struct stat st {};
            if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
                ::unlinkat(::dirfd(dir), e->d_name, 0);
        }
        ::closedir(dir);
    }
}

}  // namespace engine
