#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The fixed records of the zip format, read and written byte by byte, for
// the work libzip does not do: split archives and quick looks at the
// central directory.
namespace zipcomponent::records {

inline constexpr uint32_t kLocalSig = 0x04034b50;
inline constexpr uint32_t kCentralSig = 0x02014b50;
inline constexpr uint32_t kEndSig = 0x06054b50;
inline constexpr uint32_t kZip64EndSig = 0x06064b50;
inline constexpr uint32_t kZip64LocatorSig = 0x07064b50;
inline constexpr uint32_t kSplitSig = 0x08074b50;
inline constexpr size_t kEndSize = 22;
inline constexpr size_t kZip64EndSize = 56;
inline constexpr size_t kLocatorSize = 20;
inline constexpr size_t kCentralSize = 46;

// Little-endian fields of `bytes` bytes.
// Inline: a directory of millions of entries reads a few fields of each.
inline uint64_t Get(const std::string& s, size_t at, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<size_t>(i)]);
    return v;
}
void Put(std::string& s, uint64_t v, int bytes);
void Set(std::string& s, size_t at, uint64_t v, int bytes);

bool ReadAt(int fd, uint64_t offset, size_t length, std::string& out);

// The parts of an archive opened for reading, addressed by disk number.
class Parts {
public:
    Parts() = default;
    Parts(const Parts&) = delete;
    Parts& operator=(const Parts&) = delete;
    ~Parts();
    bool Open(const std::string& archivePath, int total);
    size_t Count() const { return m_fds.size(); }
    uint64_t Size(size_t disk) const { return m_sizes[disk]; }
    int Fd(size_t disk) const { return m_fds[disk]; }
    // Reads across part boundaries, as a record that spans disks needs.
    bool Read(size_t disk, uint64_t offset, uint64_t length, std::string& out);

private:
    std::vector<int> m_fds;
    std::vector<uint64_t> m_sizes;
};

struct EndRecord {
    uint32_t disk = 0, cdDisk = 0;
    uint64_t entriesHere = 0, entries = 0, cdSize = 0, cdOffset = 0;
    std::string comment;
};

// The end record in the tail of one file: its offset, or nullopt.
std::optional<uint64_t> FindEnd(int fd, uint64_t size, std::string& tail);
// Reads the end record (and its zip64 form) of an archive whose last part
// is open as `parts`' last disk.
bool ReadEnd(Parts& parts, EndRecord& end);
// The end records for a directory of `entries` entries; zip64 forms where
// any figure needs them. `zip64At` is where the zip64 record would start.
std::string EncodeEnd(const EndRecord& e, uint32_t zip64Disk, uint64_t zip64At);

// One central header read in place, its zip64 field applied.
struct CentralView {
    size_t at = 0, nameLength = 0, extraLength = 0, commentLength = 0;
    uint64_t uncompressed = 0, compressed = 0, offset = 0;
    uint32_t disk = 0;
    uint16_t flags = 0;
    size_t NameAt() const { return at + kCentralSize; }
    size_t ExtraAt() const { return NameAt() + nameLength; }
    size_t End() const { return ExtraAt() + extraLength + commentLength; }
};

// Reads the header at `at`; false when it is damaged or cut short.
bool ReadCentral(const std::string& cd, size_t at, CentralView& v);

}  // namespace zipcomponent::records
