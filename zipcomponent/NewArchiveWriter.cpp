#include "zipcomponent/NewArchiveWriter.h"

#include "zipcomponent/EntryFields.h"
#include "zipcomponent/ZipRecords.h"

#include "platform/FileSystem.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zipcomponent {

namespace {

using records::Put;
using records::Set;

constexpr size_t kWriteBuffer = 1 << 20;
constexpr size_t kLocalSize = 30;
constexpr uint16_t kZip64Id = 0x0001;
constexpr uint32_t kMax32 = 0xFFFFFFFF;
// Unix as the system of origin, zip format 6.3, as libzip records it.
constexpr uint16_t kMadeBy = (3 << 8) | 63;
constexpr uint16_t kUtf8Flag = 0x0800;
constexpr uint32_t kDosFolder = 0x10;

void DosTime(time_t t, uint16_t& time, uint16_t& date) {
    std::tm local {};
    if (!localtime_r(&t, &local)) {
        time = 0;
        date = (1 << 5) | 1;
        return;
    }
    // The DOS fields hold 1980 to 2107; the exact time is in the UT field.
    const int year = std::clamp(local.tm_year + 1900, 1980, 2107);
    date = static_cast<uint16_t>(((year - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    time = static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec >> 1));
}

int LastError() { return errno ? errno : EIO; }

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Valid UTF-8 beyond ASCII is flagged; other names are stored as their bytes.
uint16_t NameFlags(std::string_view name) {
    return !IsAscii(name) && platform::IsValidUtf8(name) ? kUtf8Flag : 0;
}

uint16_t VersionNeeded(bool folder, uint16_t method, bool zip64) {
    if (zip64) return 45;
    return folder || method == CNewArchiveWriter::kDeflated ? 20 : 10;
}

void PutField(std::string& out, uint16_t id, std::string_view data) {
    Put(out, id, 2);
    Put(out, data.size(), 2);
    out.append(data);
}

std::string TimeField(time_t mtime) {
    std::string field(1, '\1');
    Put(field, static_cast<uint32_t>(StorableTime(mtime)), 4);
    return field;
}

std::string OwnerField(uint32_t owner, uint32_t group) {
    std::string field = "\1\4";
    Put(field, owner, 4);
    field += '\4';
    Put(field, group, 4);
    return field;
}

}  // namespace

CNewArchiveWriter::~CNewArchiveWriter() { Discard(); }

void CNewArchiveWriter::Discard() {
    if (m_spillFd >= 0) ::close(m_spillFd);
    m_spillFd = -1;
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_tempPath.empty()) ::unlink(m_tempPath.c_str());
    m_tempPath.clear();
}

int CNewArchiveWriter::Create(const ArchiveFileTarget& target) {
    m_target = target;
    m_fd = CreateArchiveTemp(target, m_tempPath);
    if (m_fd >= 0) return 0;
    m_tempPath.clear();
    return errno;
}

bool CNewArchiveWriter::Flush() {
    if (!WriteArchiveBytes(m_fd, m_pending, static_cast<off_t>(m_pendingStart), m_written, m_flushedUpTo))
        return false;
    m_pendingStart += m_pending.size();
    m_pending.clear();
    return true;
}

bool CNewArchiveWriter::Write(const char* data, size_t length) {
    m_pending.append(data, length);
    return m_pending.size() < kWriteBuffer || Flush();
}

bool CNewArchiveWriter::Begin(const NewEntry& entry, bool large) {
    m_entry = entry;
    m_entryStart = m_pendingStart + m_pending.size();
    m_entryLarge = large;
    DosTime(StorableTime(entry.mtime), m_dosTime, m_dosDate);
    const bool folder = S_ISDIR(entry.mode);
    std::string header;
    header.reserve(kLocalSize + entry.name.size() + 48);
    Put(header, records::kLocalSig, 4);
    // The method is not known before the data is packed: both are set at
    // the end, with the sizes and the CRC.
    Put(header, VersionNeeded(folder, kStored, large), 2);
    Put(header, NameFlags(entry.name), 2);
    Put(header, kStored, 2);
    Put(header, m_dosTime, 2);
    Put(header, m_dosDate, 2);
    Put(header, 0, 4);
    Put(header, large ? kMax32 : 0, 4);
    Put(header, large ? kMax32 : 0, 4);
    Put(header, entry.name.size(), 2);
    std::string extra;
    if (large) PutField(extra, kZip64Id, std::string(16, '\0'));
    PutField(extra, kExtendedTimestampId, TimeField(entry.mtime));
    PutField(extra, kUnixOwnerId, OwnerField(entry.owner, entry.group));
    Put(header, extra.size(), 2);
    header.append(entry.name);
    header += extra;
    return Write(header.data(), header.size());
}

bool CNewArchiveWriter::End(uint16_t method, uint32_t crc, uint64_t rawBytes, uint64_t packedBytes) {
    if (!m_entryLarge && (rawBytes >= kMax32 || packedBytes >= kMax32)) return false;
    const bool folder = S_ISDIR(m_entry.mode);
    const uint16_t needed = VersionNeeded(folder, method, m_entryLarge);
    // The local header: in the buffer still, or on disk already.
    std::string fix;
    Put(fix, needed, 2);
    Put(fix, NameFlags(m_entry.name), 2);
    Put(fix, method, 2);
    Put(fix, m_dosTime, 2);
    Put(fix, m_dosDate, 2);
    Put(fix, crc, 4);
    Put(fix, m_entryLarge ? kMax32 : packedBytes, 4);
    Put(fix, m_entryLarge ? kMax32 : rawBytes, 4);
    const uint64_t fixAt = m_entryStart + 4;
    std::string sizes;
    Put(sizes, rawBytes, 8);
    Put(sizes, packedBytes, 8);
    const uint64_t sizesAt = m_entryStart + kLocalSize + m_entry.name.size() + 4;
    auto patch = [&](uint64_t at, const std::string& bytes) {
        if (at >= m_pendingStart) {
            m_pending.replace(static_cast<size_t>(at - m_pendingStart), bytes.size(), bytes);
            return true;
        }
        return ::pwrite(m_fd, bytes.data(), bytes.size(), static_cast<off_t>(at)) == static_cast<ssize_t>(bytes.size());
    };
    if (!patch(fixAt, fix) || (m_entryLarge && !patch(sizesAt, sizes))) return false;

    const bool zip64Sizes = m_entryLarge && (rawBytes >= kMax32 || packedBytes >= kMax32);
    const bool zip64Offset = m_entryStart >= kMax32;
    std::string extra;
    if (zip64Sizes || zip64Offset) {
        std::string field;
        if (zip64Sizes) {
            Put(field, rawBytes, 8);
            Put(field, packedBytes, 8);
        }
        if (zip64Offset) Put(field, m_entryStart, 8);
        PutField(extra, kZip64Id, field);
    }
    PutField(extra, kExtendedTimestampId, TimeField(m_entry.mtime));
    PutField(extra, kBasePathId, m_entry.basePath);
    PutField(extra, kUnixOwnerId, OwnerField(m_entry.owner, m_entry.group));
    std::string& c = m_central;
    Put(c, records::kCentralSig, 4);
    Put(c, kMadeBy, 2);
    c.append(fix);
    if (zip64Sizes) {
        Set(c, c.size() - 8, kMax32, 4);
        Set(c, c.size() - 4, kMax32, 4);
    } else if (m_entryLarge) {
        Set(c, c.size() - 8, packedBytes, 4);
        Set(c, c.size() - 4, rawBytes, 4);
    }
    Put(c, m_entry.name.size(), 2);
    Put(c, extra.size(), 2);
    Put(c, 0, 2);  // comment
    Put(c, 0, 2);  // disk
    Put(c, 0, 2);  // internal attributes
    Put(c, ((m_entry.mode & (S_IFMT | 07777)) << 16) | (folder ? kDosFolder : 0), 4);
    Put(c, zip64Offset ? kMax32 : m_entryStart, 4);
    c.append(m_entry.name);
    c += extra;
    ++m_entries;
    return c.size() < kWriteBuffer || SpillCentral();
}

bool CNewArchiveWriter::SpillCentral() {
    if (m_spillFd < 0) {
        std::string path;
        m_spillFd = CreateArchiveTemp(m_target, path);
        if (m_spillFd < 0) return false;
        ::unlink(path.c_str());
    }
    if (platform::WriteAll(m_spillFd, m_central) != 0) return false;
    m_spilled += m_central.size();
    m_central.clear();
    return true;
}

bool CNewArchiveWriter::Drop() {
    if (m_entryStart >= m_pendingStart) {
        m_pending.resize(static_cast<size_t>(m_entryStart - m_pendingStart));
        return true;
    }
    m_pending.clear();
    m_pendingStart = m_entryStart;
    m_written = static_cast<off_t>(m_entryStart);
    m_flushedUpTo = std::min(m_flushedUpTo, m_written);
    return ::ftruncate(m_fd, static_cast<off_t>(m_entryStart)) == 0;
}

int CNewArchiveWriter::Commit(const std::string& comment) {
    const uint64_t centralAt = m_pendingStart + m_pending.size();
    records::EndRecord end;
    end.entriesHere = end.entries = m_entries;
    end.cdSize = m_spilled + m_central.size();
    end.cdOffset = centralAt;
    end.comment = comment;
    for (uint64_t at = 0; at < m_spilled;) {
        std::string part;
        if (!records::ReadAt(m_spillFd, at, std::min<uint64_t>(kWriteBuffer, m_spilled - at), part) ||
            !Write(part.data(), part.size()))
            return LastError();
        at += part.size();
    }
    const std::string tail = records::EncodeEnd(end, 0, centralAt + end.cdSize);
    if (!Write(m_central.data(), m_central.size()) || !Write(tail.data(), tail.size()) || !Flush() ||
        ::fsync(m_fd) != 0)
        return LastError();
    const int closed = ::close(m_fd);
    m_fd = -1;
    if (closed != 0) return LastError();
    bool renameFailed = false;
    if (int err = PlaceArchiveTemp(m_tempPath, m_target.writePath, renameFailed)) return err;
    m_tempPath.clear();
    return 0;
}

}  // namespace zipcomponent
