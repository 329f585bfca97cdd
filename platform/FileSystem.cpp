#include "platform/FileSystem.h"

#include "platform/Volumes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStorageInfo>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

std::string_view WithoutTrailingSeparator(std::string_view p) {
    if (p.size() > 1 && p.back() == kPathSeparator) p.remove_suffix(1);
    return p;
}

std::optional<TimePoint> FromTimespec(long long sec, long long nsec) {
    return TimePoint(std::chrono::duration_cast<TimePoint::duration>(
        std::chrono::seconds(sec) + std::chrono::nanoseconds(nsec)));
}

}  // namespace

int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return 0;
}

bool SamePath(std::string_view a, std::string_view b) {
    return WithoutTrailingSeparator(a) == WithoutTrailingSeparator(b);
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

uint32_t AttributesFromMode(uint32_t mode, const std::string& path) {
    if (S_ISDIR(mode)) return 16;
    uint32_t attributes = 32;
    if (!(mode & S_IWUSR)) attributes |= 1;
    const size_t slash = path.rfind(kPathSeparator);
    if (path.compare(slash == std::string::npos ? 0 : slash + 1, 1, ".") == 0) attributes |= 2;
    return attributes;
}

uint32_t GetFileAttributes(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return 0;
    return AttributesFromMode(st.st_mode, path);
}

int CreateFolderPath(const std::string& path) {
    if (IsFolder(path)) return 0;
    if (path.empty() || path.front() != kPathSeparator) return EINVAL;
    size_t pos = 1;
    while (pos <= path.size()) {
        size_t next = path.find(kPathSeparator, pos);
        if (next == std::string::npos) next = path.size();
        const std::string prefix = path.substr(0, next);
        if (next > pos && !IsFolder(prefix)) {
            if (::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return errno;
        }
        pos = next + 1;
    }
    return IsFolder(path) ? 0 : ENOTDIR;
}

std::string GetWindowsTempFolder() {
    QString temp = QDir::tempPath();
    QString canonical = QFileInfo(temp).canonicalFilePath();
    if (!canonical.isEmpty()) temp = canonical;
    std::string result = temp.toStdString();
    while (result.size() > 1 && result.back() == kPathSeparator) result.pop_back();
    return result;
}

namespace {

// Removable, optical and network drives have no Trash, nor has any volume
// but the one the user's Trash is on: moving a file there would keep its
// space taken on the drive it is meant to free.
bool TrashHolds(const std::string& path, const QString& dataHome) {
    VolumeInfo volume;
    GetVolumeInfo(path, volume);
    if (volume.type == DriveType::Removable || volume.type == DriveType::CdRom || volume.type == DriveType::Network)
        return false;
    struct stat file {}, trash {};
    const std::string trashFolder = dataHome.toStdString() + "/Trash";
    if (::lstat(path.c_str(), &file) != 0) return false;
    if (::stat(trashFolder.c_str(), &trash) != 0 && ::stat(dataHome.toStdString().c_str(), &trash) != 0) return false;
    return file.st_dev == trash.st_dev;
}

}  // namespace

bool DeleteToRecycleBin(const std::string& path) {
    if (!PathExists(path)) return false;
    // Qt 6.4 puts the file into ./files/ when the data location is missing,
    // yet reports success: make it exist and accept only an absolute result.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty() || !QDir().mkpath(dataHome)) return false;
    if (!TrashHolds(path, dataHome)) {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
        return !ec && !PathExists(path);
    }
    QString trashed;
    if (!QFile::moveToTrash(QString::fromStdString(path), &trashed)) return false;
    return QDir::isAbsolutePath(trashed);
}

FileTimes GetFileTimes(const std::string& path) {
    FileTimes times;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return times;
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) == 0) {
        if (sx.stx_mask & STATX_BTIME)
            times.creation = FromTimespec(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec);
        else
            times.creation = FromTimespec(sx.stx_ctime.tv_sec, sx.stx_ctime.tv_nsec);
        times.lastAccess = FromTimespec(sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec);
        times.lastWrite = FromTimespec(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
    }
    ::close(fd);
    return times;
}

std::string GetSystemErrorText(int code) {
    char buffer[512];
    const char* text = ::strerror_r(code, buffer, sizeof buffer);
    std::string result = text ? text : "";
    if (result.size() > 300) result.resize(300);
    return result;
}

int ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        int err = errno ? errno : EISDIR;
        ::close(fd);
        return err;
    }
    std::vector<char> chunk(65536);
    for (;;) {
        ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            return err;
        }
        if (n == 0) break;
        bytes.append(chunk.data(), static_cast<size_t>(n));
    }
    ::close(fd);
    return 0;
}

namespace {

// The file a path ends at through any symbolic links, so that a rewrite
// changes that file and keeps the links to it.
std::string LinkedFile(std::string path) {
    constexpr int kMaxLinks = 40;  // as the kernel gives up
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::vector<char> target(static_cast<size_t>(st.st_size) + 1);
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<size_t>(n) >= target.size()) return path;
        const std::string next(target.data(), static_cast<size_t>(n));
        path = next.starts_with('/') ? next : FolderPart(path) + "/" + next;
    }
    return path;
}

// Creates the temporary file beside `path`, lets `fill` write it, then
// flushes and renames it over `path`.
int ReplaceAtomically(const std::string& linkOrFile, const std::function<int(int fd)>& fill, bool flush = true) {
    const std::string path = LinkedFile(linkOrFile);
    std::string folder = FolderPart(path);
    if (folder.empty()) folder = ".";
    std::string temp = folder + "/." + FileNamePart(path) + ".XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return errno;

    struct stat old {};
    mode_t mode = 0666;
    if (::stat(path.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    int err = 0;
    if (::fchmod(fd, mode) != 0) err = errno;
    if (!err) err = fill(fd);
    if (!err && flush && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && !err) err = errno;
    if (!err && ::rename(temp.c_str(), path.c_str()) != 0) err = errno;
    if (err) {
        ::unlink(temp.c_str());
        return err;
    }
    if (flush) SyncFolder(folder);
    return 0;
}

}  // namespace

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

int WriteFileAtomically(const std::string& path, std::string_view bytes) {
    return ReplaceAtomically(path, [&](int fd) { return WriteAll(fd, bytes); });
}

int WriteSessionFileAtomically(const std::string& path, std::string_view bytes) {
    return ReplaceAtomically(path, [&](int fd) { return WriteAll(fd, bytes); }, false);
}

int CopyFileAtomically(const std::string& from, const std::string& to) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno;
    const int err = ReplaceAtomically(to, [&](int out) {
        std::vector<char> buffer(1 << 16);
        for (;;) {
            ssize_t n = ::read(in, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return errno;
            if (n == 0) return 0;
            if (int e = WriteAll(out, std::string_view(buffer.data(), static_cast<size_t>(n)))) return e;
        }
    });
    ::close(in);
    return err;
}

std::string FileNamePart(const std::string& path) {
    size_t pos = path.rfind(kPathSeparator);
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string FolderPart(const std::string& path) {
    size_t pos = path.rfind(kPathSeparator);
    if (pos == std::string::npos) return "";
    if (pos == 0) return "/";
    return path.substr(0, pos);
}

}  // namespace platform
