#include "zipcomponent/FileSource.h"
#include "zipcomponent/GuardedSource.h"
#include "zipcomponent/PackingPipeline.h"

#include "platform/PathAccess.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace zipcomponent {

namespace {

struct Context {
    FileReadState* state;
    const ReadObserver* observer;
    CPackingPipeline* const* packing;
    int fd = -1;
    // The file when it was opened; a stat of its own would triple what a
    // backup of many small files holds per file.
    off_t openedSize = 0;
    struct timespec openedTime {};
    bool packedOpen = false;
    std::optional<CPackingPipeline::Totals> packed;  // what the last packed read came to
    zip_error_t error;
};

int64_t Fail(Context* c, int zipError, int systemError) {
    zip_error_set(&c->error, zipError, systemError);
    return -1;
}

bool SameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Whether the file changed after it was opened, judged at its close.
bool ChangedSinceOpen(const Context* c) {
    struct stat now {};
    return ::fstat(c->fd, &now) != 0 || now.st_size != c->openedSize || !SameTime(now.st_mtim, c->openedTime);
}

// Counts what was handed out for the progress; false when the user cancels.
bool Observe(Context* c, uint64_t bytes) {
    FileReadState* s = c->state;
    s->done += bytes;
    if (bytes == 0 || !c->observer || !*c->observer || (*c->observer)(s->entryIndex, bytes)) return true;
    s->cancelled = true;
    return false;
}

// The same commands when the pipeline reads and packs the file.
int64_t PackedCallback(Context* c, CPackingPipeline& packing, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    FileReadState* s = c->state;
    switch (cmd) {
        case ZIP_SOURCE_OPEN: {
            s->done = 0;
            c->packed.reset();
            const CPackingPipeline::Opening opening = packing.Open(s->packIndex);
            if (opening.failure) {
                s->failure = opening.failure;
                s->special = opening.special;
                return Fail(c, ZIP_ER_OPEN, opening.failure);
            }
            c->packedOpen = true;
            s->opened = true;
            s->changed = static_cast<uint64_t>(opening.opened.st_size) != s->size || opening.opened.st_mtime != s->mtime;
            return 0;
        }
        case ZIP_SOURCE_READ: {
            uint64_t raw = 0;
            const int64_t n = packing.Read(static_cast<char*>(data), len, raw);
            if (n < 0) {
                s->failure = errno;
                return Fail(c, ZIP_ER_READ, errno);
            }
            if (!Observe(c, raw)) return Fail(c, ZIP_ER_CANCELLED, 0);
            return n;
        }
        case ZIP_SOURCE_CLOSE:
            if (c->packedOpen) {
                c->packed = packing.Close();
                if (c->packed->changed) s->changed = true;
            }
            c->packedOpen = false;
            return 0;
        default: {  // ZIP_SOURCE_STAT
            if (len < sizeof(zip_stat_t)) return Fail(c, ZIP_ER_INVAL, 0);
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->mtime = s->mtime;
            st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD;
            // Before the data is read it is announced as deflated, so libzip
            // does not compress it again; after, as what it turned out to be.
            st->comp_method = ZIP_CM_DEFLATE;
            st->size = s->size;
            if (c->packed) {
                st->comp_method = c->packed->stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
                st->size = c->packed->rawBytes;
                st->comp_size = c->packed->packedBytes;
                st->crc = c->packed->crc;
                st->valid |= ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC;
            }
            return sizeof(zip_stat_t);
        }
    }
}

int64_t Callback(void* userdata, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* c = static_cast<Context*>(userdata);
    FileReadState* s = c->state;
    const bool packedCommand =
        cmd == ZIP_SOURCE_OPEN || cmd == ZIP_SOURCE_READ || cmd == ZIP_SOURCE_CLOSE || cmd == ZIP_SOURCE_STAT;
    if (packedCommand && c->packing && *c->packing) return PackedCallback(c, **c->packing, data, len, cmd);
    switch (cmd) {
        case ZIP_SOURCE_OPEN:
        {
            s->done = 0;
            struct stat opened {};
            // Never blocks on a FIFO or device put where the file was.
            c->fd = platform::OpenRegularFile(s->path, opened);
            if (c->fd < 0) {
                s->failure = errno;
                s->special = opened.st_mode != 0;
                return Fail(c, ZIP_ER_OPEN, errno);
            }
            c->openedSize = opened.st_size;
            c->openedTime = opened.st_mtim;
            s->opened = true;
            s->changed = static_cast<uint64_t>(opened.st_size) != s->size || opened.st_mtime != s->mtime;
            return 0;
        }
        case ZIP_SOURCE_READ: {
            // Up to the size at open: a file of small files' size takes one
            // read, and a file that grows cannot keep the write going.
            const uint64_t left = static_cast<uint64_t>(c->openedSize) - s->done;
            if (left == 0) return 0;
            len = std::min<zip_uint64_t>(len, left);
            ssize_t n;
            do n = ::read(c->fd, data, len);
            while (n < 0 && errno == EINTR);
            if (n < 0) {
                s->failure = errno;
                return Fail(c, ZIP_ER_READ, errno);
            }
            if (n == 0) s->changed = true;  // it shrank since it was opened
            if (!Observe(c, static_cast<uint64_t>(n))) return Fail(c, ZIP_ER_CANCELLED, 0);
            return n;
        }
        case ZIP_SOURCE_CLOSE:
            if (c->fd >= 0) {
                if (ChangedSinceOpen(c)) s->changed = true;
                ::close(c->fd);
            }
            c->fd = -1;
            return 0;
        case ZIP_SOURCE_STAT: {
            if (len < sizeof(zip_stat_t)) return Fail(c, ZIP_ER_INVAL, 0);
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->size = s->size;
            st->mtime = s->mtime;
            st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR: return zip_error_to_data(&c->error, data, len);
        case ZIP_SOURCE_FREE:
            if (c->fd >= 0) ::close(c->fd);
            zip_error_fini(&c->error);
            delete c;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SUPPORTS, -1);
        default: return Fail(c, ZIP_ER_OPNOTSUPP, 0);
    }
}

}  // namespace

zip_source_t* CreateFileSource(zip_t* archive, FileReadState* state, const ReadObserver* observer,
                               CPackingPipeline* const* packing) {
    auto* c = new Context{state, observer, packing, -1, 0, {}, false, {}, {}};
    zip_error_init(&c->error);
    zip_source_t* src = zip_source_function(archive, GuardedCallback<Context, Callback>, c);
    if (!src) {
        zip_error_fini(&c->error);
        delete c;
    }
    return src;
}

}  // namespace zipcomponent
