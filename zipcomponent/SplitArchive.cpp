#include "zipcomponent/SplitArchive.h"
#include "zipcomponent/GuardedSource.h"

#include "platform/FileSystem.h"
#include "zipcomponent/ZipCodes.h"
#include "zipcomponent/ZipRecords.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace zipcomponent {

using namespace records;

namespace {

struct CentralHeader {
    std::string fixed;  // the 46 fixed bytes
    std::string name, extra, comment;  // extra without its zip64 field
    uint64_t uncompressed = 0, compressed = 0, offset = 0;
    uint32_t disk = 0;

    std::string Encode() const {
        std::string zip64;
        std::string head = fixed;
        auto field = [&](size_t at, int bytes, uint64_t value, uint64_t max) {
            if (value >= max) {
                Set(head, at, max, bytes);
                Put(zip64, value, bytes == 2 ? 4 : 8);
            } else {
                Set(head, at, value, bytes);
            }
        };
        field(24, 4, uncompressed, 0xFFFFFFFF);
        field(20, 4, compressed, 0xFFFFFFFF);
        field(42, 4, offset, 0xFFFFFFFF);
        field(34, 2, disk, 0xFFFF);
        std::string allExtra = extra;
        if (!zip64.empty()) {
            Put(allExtra, 0x0001, 2);
            Put(allExtra, zip64.size(), 2);
            allExtra += zip64;
        }
        Set(head, 28, name.size(), 2);
        Set(head, 30, allExtra.size(), 2);
        Set(head, 32, comment.size(), 2);
        return head + name + allExtra + comment;
    }
};

bool ParseCentral(const std::string& cd, uint64_t entries, std::vector<CentralHeader>& out) {
    size_t at = 0;
    for (uint64_t k = 0; k < entries; ++k) {
        CentralView v;
        if (!ReadCentral(cd, at, v)) return false;
        CentralHeader h;
        h.fixed = cd.substr(at, kCentralSize);
        h.name = cd.substr(v.NameAt(), v.nameLength);
        h.comment = cd.substr(v.ExtraAt() + v.extraLength, v.commentLength);
        h.uncompressed = v.uncompressed;
        h.compressed = v.compressed;
        h.offset = v.offset;
        h.disk = v.disk;
        for (size_t x = v.ExtraAt(); x + 4 <= v.ExtraAt() + v.extraLength;) {
            const size_t id = Get(cd, x, 2), len = Get(cd, x + 2, 2);
            if (id != 0x0001) h.extra += cd.substr(x, 4 + len);
            x += 4 + len;
        }
        out.push_back(std::move(h));
        at = v.End();
    }
    return true;
}

struct JoinedView {
    Parts parts;
    std::vector<uint64_t> prefix;  // linear offset of each part
    uint64_t dataLength = 0;       // bytes served from the parts
    std::string tail;              // the rewritten directory and end records
    uint64_t position = 0;
    zip_error_t error;
};

int64_t JoinedCallback(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* v = static_cast<JoinedView*>(state);
    const uint64_t size = v->dataLength + v->tail.size();
    switch (cmd) {
        case ZIP_SOURCE_OPEN: v->position = 0; return 0;
        case ZIP_SOURCE_READ: {
            uint64_t done = 0;
            auto* out = static_cast<char*>(data);
            while (done < len && v->position < size) {
                if (v->position >= v->dataLength) {
                    const uint64_t off = v->position - v->dataLength;
                    const uint64_t take = std::min<uint64_t>(len - done, v->tail.size() - off);
                    std::copy_n(v->tail.data() + off, take, out + done);
                    done += take;
                    v->position += take;
                    continue;
                }
                size_t disk = static_cast<size_t>(
                    std::upper_bound(v->prefix.begin(), v->prefix.end(), v->position) - v->prefix.begin() - 1);
                const uint64_t off = v->position - v->prefix[disk];
                const uint64_t end = std::min(v->parts.Size(disk), v->dataLength - v->prefix[disk]);
                const uint64_t take = std::min<uint64_t>(len - done, end - off);
                const ssize_t n = ::pread(v->parts.Fd(disk), out + done, static_cast<size_t>(take),
                                          static_cast<off_t>(off));
                if (n <= 0) {
                    zip_error_set(&v->error, ZIP_ER_READ, n < 0 ? errno : EIO);
                    return -1;
                }
                done += static_cast<uint64_t>(n);
                v->position += static_cast<uint64_t>(n);
            }
            return static_cast<int64_t>(done);
        }
        case ZIP_SOURCE_CLOSE: return 0;
        case ZIP_SOURCE_SEEK: {
            const zip_int64_t to = zip_source_seek_compute_offset(v->position, size, data, len, &v->error);
            if (to < 0) return -1;
            v->position = static_cast<uint64_t>(to);
            return 0;
        }
        case ZIP_SOURCE_TELL: return static_cast<int64_t>(v->position);
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->size = size;
            st->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR: return zip_error_to_data(&v->error, data, len);
        case ZIP_SOURCE_FREE:
            zip_error_fini(&v->error);
            delete v;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_SEEK,
                                                  ZIP_SOURCE_TELL, ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                                  ZIP_SOURCE_SUPPORTS, -1);
        default: zip_error_set(&v->error, ZIP_ER_OPNOTSUPP, 0); return -1;
    }
}

}  // namespace

std::string PartPath(const std::string& archivePath, int number, int total) {
    if (number >= total) return archivePath;
    const size_t dot = archivePath.rfind('.');
    const size_t slash = archivePath.rfind('/');
    const std::string stem =
        dot != std::string::npos && (slash == std::string::npos || dot > slash) ? archivePath.substr(0, dot) : archivePath;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".z%02d", number);
    return stem + suffix;
}

int FilePartSink::Open(int number) {
    const std::string target = PartPath(m_archive, number, number + 1);
    std::string temp = platform::FolderPart(target) + "/." + platform::FileNamePart(target) + ".XXXXXX";
    m_fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (m_fd < 0) return errno;
    ::fchmod(m_fd, 0644);
    m_temps.push_back(temp);
    return 0;
}

int FilePartSink::Write(const char* data, size_t length) {
    return platform::WriteAll(m_fd, std::string_view(data, length));
}

int FilePartSink::Close() {
    int err = ::fsync(m_fd) == 0 ? 0 : errno;
    if (::close(m_fd) != 0 && !err) err = errno;
    m_fd = -1;
    return err;
}

int FilePartSink::Finish(int total) {
    // The last part, under the archive's own name, goes last: until then the
    // old archive stays whole.
    for (int i = 1; i <= total; ++i) {
        if (::rename(m_temps[static_cast<size_t>(i - 1)].c_str(), PartPath(m_archive, i, total).c_str()) != 0)
            return errno;
        m_temps[static_cast<size_t>(i - 1)].clear();
    }
    // Parts left from an earlier, longer split of the same name.
    for (int i = total; ::unlink(PartPath(m_archive, i, i + 1).c_str()) == 0; ++i) {
    }
    return 0;
}

void FilePartSink::Discard() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    for (const auto& t : m_temps)
        if (!t.empty()) ::unlink(t.c_str());
    m_temps.clear();
}

int WriteSplitArchive(const std::string& linearPath, IPartSink& sink, int& parts) {
    parts = 0;
    Parts linear;
    if (!linear.Open(linearPath, 1)) return errno ? errno : EIO;
    EndRecord end;
    std::string cd;
    std::vector<CentralHeader> headers;
    if (!ReadEnd(linear, end) || !linear.Read(0, end.cdOffset, end.cdSize, cd) ||
        !ParseCentral(cd, end.entries, headers))
        return EINVAL;

    int part = 0;
    uint64_t used = 0, capacity = 0;
    std::vector<uint64_t> entriesOn;
    auto next = [&]() -> int {
        if (part > 0)
            if (int err = sink.Close()) return err;
        ++part;
        used = 0;
        entriesOn.push_back(0);
        // A disk's room is known only once it is in the drive.
        if (int err = sink.Open(part)) return err;
        capacity = sink.Capacity(part);
        return 0;
    };
    // Records that must not be split start a new part when they do not fit.
    auto ensure = [&](uint64_t length) -> int {
        if (length > capacity) return EFBIG;
        return used + length > capacity ? next() : 0;
    };
    auto put = [&](const char* data, uint64_t length) -> int {
        while (length > 0) {
            if (used == capacity)
                if (int err = next()) return err;
            const uint64_t take = std::min(length, capacity - used);
            if (int err = sink.Write(data, static_cast<size_t>(take))) return err;
            data += take;
            length -= take;
            used += take;
        }
        return 0;
    };
    auto fail = [&](int err) {
        sink.Discard();
        return err;
    };

    if (int err = next()) return fail(err);
    std::string sig;
    Put(sig, kSplitSig, 4);
    if (int err = put(sig.data(), sig.size())) return fail(err);

    std::vector<size_t> order(headers.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return headers[a].offset < headers[b].offset; });
    for (size_t k = 0; k < order.size(); ++k) {
        CentralHeader& h = headers[order[k]];
        const uint64_t stop = k + 1 < order.size() ? headers[order[k + 1]].offset : end.cdOffset;
        std::string local;
        if (!linear.Read(0, h.offset, 30, local) || Get(local, 0, 4) != kLocalSig) return fail(EINVAL);
        const uint64_t headerLength = 30 + Get(local, 26, 2) + Get(local, 28, 2);
        if (int err = ensure(headerLength)) return fail(err);
        const uint64_t from = h.offset;
        h.disk = static_cast<uint32_t>(part - 1);
        h.offset = used;
        std::string chunk;
        for (uint64_t at = from; at < stop;) {
            const uint64_t take = std::min<uint64_t>(stop - at, 1 << 20);
            // The local header itself goes in one piece.
            const uint64_t piece = at == from ? std::max(take, headerLength) : take;
            if (!linear.Read(0, at, piece, chunk)) return fail(EIO);
            if (at == from) {
                if (int err = sink.Write(chunk.data(), static_cast<size_t>(headerLength))) return fail(err);
                used += headerLength;
                if (int err = put(chunk.data() + headerLength, piece - headerLength)) return fail(err);
            } else if (int err = put(chunk.data(), piece)) {
                return fail(err);
            }
            at += piece;
        }
    }

    EndRecord out;
    out.comment = end.comment;
    out.entries = headers.size();
    bool first = true;
    uint64_t cdSize = 0;
    for (const auto& h : headers) {
        const std::string encoded = h.Encode();
        if (int err = ensure(encoded.size())) return fail(err);
        if (first) {
            out.cdDisk = static_cast<uint32_t>(part - 1);
            out.cdOffset = used;
            first = false;
        }
        if (int err = put(encoded.data(), encoded.size())) return fail(err);
        ++entriesOn.back();
        cdSize += encoded.size();
    }
    out.cdSize = cdSize;
    // The end records go on the last disk together.
    EndRecord probe = out;
    probe.disk = static_cast<uint32_t>(part - 1);
    probe.entriesHere = entriesOn.back();
    std::string endBytes = EncodeEnd(probe, probe.disk, used);
    if (used + endBytes.size() > capacity) {
        if (int err = ensure(endBytes.size())) return fail(err);
        probe.disk = static_cast<uint32_t>(part - 1);
        probe.entriesHere = 0;
        endBytes = EncodeEnd(probe, probe.disk, used);
    }
    if (first) {
        probe.cdDisk = probe.disk;
        probe.cdOffset = used;
        endBytes = EncodeEnd(probe, probe.disk, used);
    }
    if (int err = put(endBytes.data(), endBytes.size())) return fail(err);
    if (int err = sink.Close()) return fail(err);
    if (int err = sink.Finish(part)) return fail(err);
    parts = part;
    return 0;
}

int CountDisks(const std::string& archivePath) {
    Parts last;
    if (!last.Open(archivePath, 1)) return 0;
    EndRecord end;
    std::string tail;
    auto at = FindEnd(last.Fd(0), last.Size(0), tail);
    if (!at) return 0;
    const size_t i = static_cast<size_t>(*at - (last.Size(0) - tail.size()));
    const uint64_t disk = Get(tail, i + 4, 2);
    if (disk != 0xFFFF) return static_cast<int>(disk) + 1;
    if (i >= kLocatorSize && Get(tail, i - kLocatorSize, 4) == kZip64LocatorSig)
        return static_cast<int>(Get(tail, i - kLocatorSize + 16, 4));
    return 0;
}

zip_source_t* CreateJoinedSource(const std::string& archivePath, int& result) {
    const int disks = CountDisks(archivePath);
    auto* v = new JoinedView;
    zip_error_init(&v->error);
    auto fail = [&](int code) -> zip_source_t* {
        zip_error_fini(&v->error);
        delete v;
        result = code;
        return nullptr;
    };
    if (disks < 1) return fail(kResultDamaged);
    if (!v->parts.Open(archivePath, disks)) return fail(kResultMissingPart);
    uint64_t total = 0;
    for (size_t i = 0; i < v->parts.Count(); ++i) {
        v->prefix.push_back(total);
        total += v->parts.Size(i);
    }
    EndRecord end;
    std::string cd;
    std::vector<CentralHeader> headers;
    if (!ReadEnd(v->parts, end) || end.cdDisk >= v->parts.Count() ||
        !v->parts.Read(end.cdDisk, end.cdOffset, end.cdSize, cd) || !ParseCentral(cd, end.entries, headers))
        return fail(kResultDamaged);
    for (auto& h : headers) {
        if (h.disk >= v->parts.Count()) return fail(kResultDamaged);
        h.offset += v->prefix[h.disk];
        h.disk = 0;
    }
    v->dataLength = v->prefix[end.cdDisk] + end.cdOffset;
    EndRecord joined;
    joined.comment = end.comment;
    joined.entries = joined.entriesHere = headers.size();
    joined.cdOffset = v->dataLength;
    for (const auto& h : headers) v->tail += h.Encode();
    joined.cdSize = v->tail.size();
    v->tail += EncodeEnd(joined, 0, v->dataLength + joined.cdSize);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_function_create(GuardedCallback<JoinedView, JoinedCallback>, v, &error);
    zip_error_fini(&error);
    if (!src) return fail(kResultInternal);
    result = kResultSuccess;
    return src;
}

}  // namespace zipcomponent
