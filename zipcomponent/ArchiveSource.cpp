#include "zipcomponent/ArchiveSource.h"
#include "zipcomponent/GuardedSource.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace zipcomponent {

namespace {

struct ArchiveFile {
    ArchiveFileTarget target;
    int readFd = -1;
    int writeFd = -1;
    int replacedFd = -1;  // the old archive, kept open until the new one is in place
    std::string tempPath;
    std::string pending;  // written but not yet handed to the kernel
    off_t pendingStart = 0;  // file offset of pending[0]
    off_t position = 0;      // where libzip writes next
    off_t written = 0;      // bytes handed to the kernel
    off_t flushedUpTo = 0;  // bytes whose writeback has been started
    std::string readAhead;  // read from the file but not yet handed to libzip
    size_t readAt = 0;
    off_t readAheadStart = 0;  // file offset of readAhead[0]
    zip_error_t error;
};

constexpr size_t kWriteBuffer = 1 << 20;
constexpr size_t kReadAhead = 1 << 20;

// libzip writes many small pieces and seeks back to rewrite each entry's
// header; both land in one buffer that goes out in large writes.
bool FlushPending(ArchiveFile* f) {
    if (!WriteArchiveBytes(f->writeFd, f->pending, f->pendingStart, f->written, f->flushedUpTo)) return false;
    f->pendingStart += static_cast<off_t>(f->pending.size());
    f->pending.clear();
    return true;
}

bool WritePending(ArchiveFile* f, const char* data, size_t length) {
    const off_t bufferEnd = f->pendingStart + static_cast<off_t>(f->pending.size());
    if (f->position < f->pendingStart || f->position > bufferEnd) {
        if (!FlushPending(f)) return false;
        f->pendingStart = f->position;
    }
    const size_t at = static_cast<size_t>(f->position - f->pendingStart);
    if (f->pending.size() < at + length) f->pending.resize(at + length);
    std::copy_n(data, length, f->pending.data() + at);
    f->position += static_cast<off_t>(length);
    return f->pending.size() < kWriteBuffer || FlushPending(f);
}

int64_t Fail(ArchiveFile* f, int zipError, int systemError) {
    zip_error_set(&f->error, zipError, systemError);
    return -1;
}

void CloseReplaced(ArchiveFile* f) {
    if (f->replacedFd >= 0) ::close(f->replacedFd);
    f->replacedFd = -1;
}

// Dropping the last reference to a replaced archive frees its blocks, which
// where the file system discards them takes a good part of the time the
// write took; the run goes on meanwhile.
void CloseInBackground(int fd) {
    try {
        std::thread([fd] { ::close(fd); }).detach();
    } catch (const std::system_error&) {
        ::close(fd);  // no thread to spare: nothing may be thrown back into libzip
    }
}

int64_t Commit(ArchiveFile* f) {
    if (!FlushPending(f) || ::fsync(f->writeFd) != 0) {
        int err = errno;
        ::close(f->writeFd);
        f->writeFd = -1;
        return Fail(f, ZIP_ER_WRITE, err);
    }
    if (::close(f->writeFd) != 0) {
        f->writeFd = -1;
        return Fail(f, ZIP_ER_WRITE, errno);
    }
    f->writeFd = -1;
    bool renameFailed = false;
    if (int err = PlaceArchiveTemp(f->tempPath, f->target.writePath, renameFailed))
        return Fail(f, renameFailed ? ZIP_ER_RENAME : ZIP_ER_WRITE, err);
    f->tempPath.clear();
    if (f->replacedFd >= 0) CloseInBackground(f->replacedFd);
    f->replacedFd = -1;
    return 0;
}

void Rollback(ArchiveFile* f) {
    CloseReplaced(f);
    f->pending.clear();
    if (f->writeFd >= 0) ::close(f->writeFd);
    f->writeFd = -1;
    if (!f->tempPath.empty()) ::unlink(f->tempPath.c_str());
    f->tempPath.clear();
}

int64_t Callback(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* f = static_cast<ArchiveFile*>(state);
    switch (cmd) {
        case ZIP_SOURCE_OPEN:
            f->readAhead.clear();
            f->readAt = 0;
            f->readAheadStart = 0;
            f->readFd = ::open(f->target.readPath.c_str(), O_RDONLY | O_CLOEXEC);
            if (f->readFd < 0) return Fail(f, ZIP_ER_OPEN, errno);
            return 0;
        case ZIP_SOURCE_READ: {
            // libzip reads in small pieces; the file is read in large ones.
            if (f->readAt == f->readAhead.size()) {
                f->readAheadStart = ::lseek(f->readFd, 0, SEEK_CUR);
                f->readAhead.resize(kReadAhead);
                ssize_t n;
                do n = ::read(f->readFd, f->readAhead.data(), kReadAhead);
                while (n < 0 && errno == EINTR);
                if (n < 0) return Fail(f, ZIP_ER_READ, errno);
                f->readAhead.resize(static_cast<size_t>(n));
                f->readAt = 0;
            }
            const size_t take = std::min<size_t>(len, f->readAhead.size() - f->readAt);
            std::copy_n(f->readAhead.data() + f->readAt, take, static_cast<char*>(data));
            f->readAt += take;
            return static_cast<int64_t>(take);
        }
        case ZIP_SOURCE_CLOSE:
            if (f->writeFd >= 0 && f->readFd >= 0) {
                CloseReplaced(f);
                f->replacedFd = f->readFd;
            } else if (f->readFd >= 0) {
                ::close(f->readFd);
            }
            f->readFd = -1;
            return 0;
        case ZIP_SOURCE_SEEK: {
            auto* args = ZIP_SOURCE_GET_ARGS(zip_source_args_seek_t, data, len, &f->error);
            if (!args) return -1;
            const off_t here = f->readAheadStart + static_cast<off_t>(f->readAt);
            off_t target = args->offset;
            if (args->whence == SEEK_CUR) {
                target = here + args->offset;
            } else if (args->whence == SEEK_END) {
                struct stat st {};
                if (::fstat(f->readFd, &st) != 0) return Fail(f, ZIP_ER_SEEK, errno);
                target = st.st_size + args->offset;
            }
            if (target < 0) return Fail(f, ZIP_ER_SEEK, EINVAL);
            // A target inside what was read ahead needs no system call.
            if (target >= f->readAheadStart && target <= f->readAheadStart + static_cast<off_t>(f->readAhead.size())) {
                f->readAt = static_cast<size_t>(target - f->readAheadStart);
                return 0;
            }
            f->readAhead.clear();
            f->readAt = 0;
            f->readAheadStart = target;
            if (::lseek(f->readFd, target, SEEK_SET) < 0) return Fail(f, ZIP_ER_SEEK, errno);
            return 0;
        }
        case ZIP_SOURCE_TELL: return f->readAheadStart + static_cast<off_t>(f->readAt);
        case ZIP_SOURCE_STAT: {
            if (len < sizeof(zip_stat_t)) return Fail(f, ZIP_ER_INVAL, 0);
            struct stat st {};
            // A missing file reads as a new, empty archive.
            if (::stat(f->target.readPath.c_str(), &st) != 0) return Fail(f, ZIP_ER_READ, errno);
            auto* zst = static_cast<zip_stat_t*>(data);
            zip_stat_init(zst);
            zst->size = static_cast<zip_uint64_t>(st.st_size);
            zst->mtime = st.st_mtime;
            zst->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_BEGIN_WRITE: {
            f->written = f->flushedUpTo = f->pendingStart = f->position = 0;
            f->pending.clear();
            f->writeFd = CreateArchiveTemp(f->target, f->tempPath);
            if (f->writeFd < 0) {
                f->tempPath.clear();
                return Fail(f, ZIP_ER_TMPOPEN, errno);
            }
            return 0;
        }
        case ZIP_SOURCE_WRITE:
            if (!WritePending(f, static_cast<const char*>(data), len)) return Fail(f, ZIP_ER_WRITE, errno);
            return static_cast<int64_t>(len);
        case ZIP_SOURCE_SEEK_WRITE: {
            auto* args = ZIP_SOURCE_GET_ARGS(zip_source_args_seek_t, data, len, &f->error);
            if (!args) return -1;
            const off_t end = std::max(f->written, f->pendingStart + static_cast<off_t>(f->pending.size()));
            const off_t base = args->whence == SEEK_CUR ? f->position : args->whence == SEEK_END ? end : 0;
            if (base + args->offset < 0) return Fail(f, ZIP_ER_SEEK, EINVAL);
            f->position = base + args->offset;
            return 0;
        }
        case ZIP_SOURCE_TELL_WRITE: return f->position;
        case ZIP_SOURCE_COMMIT_WRITE: return Commit(f);
        case ZIP_SOURCE_ROLLBACK_WRITE: Rollback(f); return 0;
        case ZIP_SOURCE_REMOVE:
            if (::unlink(f->target.writePath.c_str()) != 0 && errno != ENOENT) return Fail(f, ZIP_ER_REMOVE, errno);
            return 0;
        case ZIP_SOURCE_ERROR: return zip_error_to_data(&f->error, data, len);
        case ZIP_SOURCE_FREE:
            Rollback(f);
            if (f->readFd >= 0) ::close(f->readFd);
            zip_error_fini(&f->error);
            delete f;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_SEEK,
                                                  ZIP_SOURCE_TELL, ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                                  ZIP_SOURCE_BEGIN_WRITE, ZIP_SOURCE_WRITE, ZIP_SOURCE_SEEK_WRITE,
                                                  ZIP_SOURCE_TELL_WRITE, ZIP_SOURCE_COMMIT_WRITE,
                                                  ZIP_SOURCE_ROLLBACK_WRITE, ZIP_SOURCE_REMOVE, ZIP_SOURCE_SUPPORTS,
                                                  -1);
        default: return Fail(f, ZIP_ER_OPNOTSUPP, 0);
    }
}

}  // namespace

bool WriteArchiveBytes(int fd, const std::string& bytes, off_t offset, off_t& written, off_t& flushedUpTo) {
    constexpr off_t kWritebackChunk = 8 << 20;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        done += static_cast<size_t>(n);
    }
    written = std::max(written, offset + static_cast<off_t>(bytes.size()));
    if (written - flushedUpTo >= kWritebackChunk) {
        ::sync_file_range(fd, flushedUpTo, written - flushedUpTo, SYNC_FILE_RANGE_WRITE);
        flushedUpTo = written;
    }
    return true;
}

int CreateArchiveTemp(const ArchiveFileTarget& target, std::string& tempPath) {
    const std::string folder = target.tempFolder.empty() ? platform::FolderPart(target.writePath) : target.tempFolder;
    tempPath = (folder.empty() ? std::string(".") : folder) + "/." + platform::FileNamePart(target.writePath) +
               ".XXXXXX";
    const int fd = ::mkostemp(tempPath.data(), O_CLOEXEC);
    if (fd >= 0) ::fchmod(fd, 0644);
    return fd;
}

int PlaceArchiveTemp(const std::string& tempPath, const std::string& writePath, bool& renameFailed) {
    renameFailed = false;
    if (::rename(tempPath.c_str(), writePath.c_str()) != 0) {
        const int err = errno;
        // A temporary folder on another file system: the copy still ends
        // in one rename beside the destination.
        if (err != EXDEV) {
            renameFailed = true;
            return err;
        }
        if (int copyErr = platform::CopyFileAtomically(tempPath, writePath)) return copyErr;
        ::unlink(tempPath.c_str());
    }
    platform::SyncFolder(platform::FolderPart(writePath));
    return 0;
}

zip_source_t* CreateArchiveSource(const ArchiveFileTarget& target, zip_error_t* error) {
    auto* f = new ArchiveFile{target, -1, -1, -1, {}, {}, 0, 0, 0, 0, {}, 0, 0, {}};
    zip_error_init(&f->error);
    zip_source_t* src = zip_source_function_create(GuardedCallback<ArchiveFile, Callback>, f, error);
    if (!src) {
        zip_error_fini(&f->error);
        delete f;
    }
    return src;
}

}  // namespace zipcomponent
