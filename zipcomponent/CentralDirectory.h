#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <unordered_map>
#include <vector>

namespace zipcomponent {

// Quick looks at an archive's central directory, read straight from the
// file: listing or planning an update then costs no libzip open, which
// builds a structure for every entry.

struct DirectoryTotals {
    uint64_t entries = 0, compressed = 0, uncompressed = 0, folders = 0, encrypted = 0, disks = 0, commentLength = 0;
};
// The totals of an archive's directory, read from the file at archivePath
// alone: a plain zip, or the last part of a split one whose directory lies
// whole on it (all a spanned backup's last disk holds). A directory that
// cannot be read this way gives false.
bool ReadDirectoryTotals(const std::string& archivePath, DirectoryTotals& totals);

struct CentralDirectory;
// The totals of a directory already read; false unless it was read
// straight from an archive of one part, as ReadDirectoryTotals reads one.
bool TotalsOf(const CentralDirectory& directory, DirectoryTotals& totals);

// The number of entries the end record of an archive (or of a split
// archive's last part) gives, read without its directory.
bool ReadEntryCount(const std::string& archivePath, uint64_t& entries);

struct DirectoryEntry {
    std::string name;      // as stored
    std::string basePath;  // the base-path field, "" when there is none
    time_t modified = 0;   // the extended timestamp
    uint64_t size = 0, compressedSize = 0;
    uint16_t method = 0;      // the compression method, after an AES field
    uint16_t encryption = 0;  // a libzip ZIP_EM_ value
};

struct CentralDirectory {
    std::vector<DirectoryEntry> entries;  // in directory order
    std::string comment;
    // Read straight from an archive of one part: an update may plan from it.
    bool updatable = false;
};

// Reads a plain zip's directory when it means to us exactly what it means
// to libzip: names valid UTF-8 (libzip hands them out unconverted) and an
// extended timestamp in every central header. Anything else (split,
// shifted, damaged, foreign names or times) gives false, and the caller
// asks libzip. A listing needs no other part: the last part of a split
// archive is read too when the whole directory lies on it.
enum class DirectoryUse { Update, Listing };
bool ReadCentralDirectory(const std::string& archivePath, CentralDirectory& out,
                          DirectoryUse use = DirectoryUse::Update);

}  // namespace zipcomponent
