#include "zipcomponent/ZipRecords.h"

#include "zipcomponent/SplitArchive.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zipcomponent::records {

void Put(std::string& s, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void Set(std::string& s, size_t at, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

namespace {

bool ReadFully(int fd, uint64_t offset, char* to, size_t length) {
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, to + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool ReadAt(int fd, uint64_t offset, size_t length, std::string& out) {
    out.resize(length);
    return ReadFully(fd, offset, out.data(), length);
}

Parts::~Parts() {
    for (int fd : m_fds)
        if (fd >= 0) ::close(fd);
}

bool Parts::Open(const std::string& archivePath, int total) {
    for (int i = 1; i <= total; ++i) {
        const int fd = ::open(PartPath(archivePath, i, total).c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0) {
            if (fd >= 0) ::close(fd);
            return false;
        }
        m_fds.push_back(fd);
        m_sizes.push_back(static_cast<uint64_t>(st.st_size));
    }
    return true;
}

bool Parts::Read(size_t disk, uint64_t offset, uint64_t length, std::string& out) {
    out.clear();
    while (length > 0) {
        if (disk >= m_fds.size()) return false;
        if (offset >= m_sizes[disk]) {
            offset -= m_sizes[disk];
            ++disk;
            continue;
        }
        const uint64_t take = std::min(length, m_sizes[disk] - offset);
        const size_t at = out.size();
        out.resize(at + static_cast<size_t>(take));
        if (!ReadFully(m_fds[disk], offset, out.data() + at, static_cast<size_t>(take))) return false;
        length -= take;
        offset = 0;
        ++disk;
    }
    return true;
}

std::optional<uint64_t> FindEnd(int fd, uint64_t size, std::string& tail) {
    const uint64_t span = std::min<uint64_t>(size, kEndSize + 65535);
    if (span < kEndSize || !ReadAt(fd, size - span, static_cast<size_t>(span), tail)) return std::nullopt;
    for (size_t i = tail.size() - kEndSize + 1; i-- > 0;)
        if (Get(tail, i, 4) == kEndSig && i + kEndSize + Get(tail, i + 20, 2) <= tail.size())
            return size - span + i;
    return std::nullopt;
}

bool ReadEnd(Parts& parts, EndRecord& end) {
    const size_t last = parts.Count() - 1;
    std::string tail;
    auto at = FindEnd(parts.Fd(last), parts.Size(last), tail);
    if (!at) return false;
    const size_t i = static_cast<size_t>(*at - (parts.Size(last) - tail.size()));
    end.disk = static_cast<uint32_t>(Get(tail, i + 4, 2));
    end.cdDisk = static_cast<uint32_t>(Get(tail, i + 6, 2));
    end.entriesHere = Get(tail, i + 8, 2);
    end.entries = Get(tail, i + 10, 2);
    end.cdSize = Get(tail, i + 12, 4);
    end.cdOffset = Get(tail, i + 16, 4);
    end.comment = tail.substr(i + kEndSize, static_cast<size_t>(Get(tail, i + 20, 2)));
    if (i >= kLocatorSize && Get(tail, i - kLocatorSize, 4) == kZip64LocatorSig) {
        const size_t locator = i - kLocatorSize;
        std::string record;
        if (!parts.Read(static_cast<size_t>(Get(tail, locator + 4, 4)), Get(tail, locator + 8, 8), kZip64EndSize,
                        record) ||
            Get(record, 0, 4) != kZip64EndSig)
            return false;
        end.disk = static_cast<uint32_t>(Get(record, 16, 4));
        end.cdDisk = static_cast<uint32_t>(Get(record, 20, 4));
        end.entriesHere = Get(record, 24, 8);
        end.entries = Get(record, 32, 8);
        end.cdSize = Get(record, 40, 8);
        end.cdOffset = Get(record, 48, 8);
    }
    return true;
}

std::string EncodeEnd(const EndRecord& e, uint32_t zip64Disk, uint64_t zip64At) {
    const bool zip64 = e.entries >= 0xFFFF || e.entriesHere >= 0xFFFF || e.cdSize >= 0xFFFFFFFF ||
                       e.cdOffset >= 0xFFFFFFFF || e.disk >= 0xFFFF || e.cdDisk >= 0xFFFF;
    std::string out;
    if (zip64) {
        Put(out, kZip64EndSig, 4);
        Put(out, kZip64EndSize - 12, 8);
        Put(out, 45, 2);
        Put(out, 45, 2);
        Put(out, e.disk, 4);
        Put(out, e.cdDisk, 4);
        Put(out, e.entriesHere, 8);
        Put(out, e.entries, 8);
        Put(out, e.cdSize, 8);
        Put(out, e.cdOffset, 8);
        Put(out, kZip64LocatorSig, 4);
        Put(out, zip64Disk, 4);
        Put(out, zip64At, 8);
        Put(out, e.disk + 1, 4);
    }
    auto cap = [&](uint64_t v, uint64_t max) { return zip64 ? max : v; };
    Put(out, kEndSig, 4);
    Put(out, cap(e.disk, 0xFFFF), 2);
    Put(out, cap(e.cdDisk, 0xFFFF), 2);
    Put(out, cap(e.entriesHere, 0xFFFF), 2);
    Put(out, cap(e.entries, 0xFFFF), 2);
    Put(out, cap(e.cdSize, 0xFFFFFFFF), 4);
    Put(out, cap(e.cdOffset, 0xFFFFFFFF), 4);
    Put(out, e.comment.size(), 2);
    out += e.comment;
    return out;
}

bool ReadCentral(const std::string& cd, size_t at, CentralView& v) {
    if (at + kCentralSize > cd.size() || Get(cd, at, 4) != kCentralSig) return false;
    v = CentralView();
    v.at = at;
    v.flags = static_cast<uint16_t>(Get(cd, at + 8, 2));
    v.nameLength = Get(cd, at + 28, 2);
    v.extraLength = Get(cd, at + 30, 2);
    v.commentLength = Get(cd, at + 32, 2);
    if (v.End() > cd.size()) return false;
    v.uncompressed = Get(cd, at + 24, 4);
    v.compressed = Get(cd, at + 20, 4);
    v.offset = Get(cd, at + 42, 4);
    v.disk = static_cast<uint32_t>(Get(cd, at + 34, 2));
    const size_t extraEnd = v.ExtraAt() + v.extraLength;
    for (size_t x = v.ExtraAt(); x + 4 <= extraEnd;) {
        const size_t id = Get(cd, x, 2), len = Get(cd, x + 2, 2);
        if (x + 4 + len > extraEnd) return false;
        if (id == 0x0001) {
            size_t p = x + 4;
            auto take = [&](uint64_t& value, int bytes, uint64_t max) {
                if (value == max && p + static_cast<size_t>(bytes) <= x + 4 + len) {
                    value = Get(cd, p, bytes);
                    p += static_cast<size_t>(bytes);
                }
            };
            uint64_t disk = v.disk;
            take(v.uncompressed, 8, 0xFFFFFFFF);
            take(v.compressed, 8, 0xFFFFFFFF);
            take(v.offset, 8, 0xFFFFFFFF);
            take(disk, 4, 0xFFFF);
            v.disk = static_cast<uint32_t>(disk);
        }
        x += 4 + len;
    }
    return true;
}

}  // namespace zipcomponent::records
