#include "zipcomponent/CentralDirectory.h"

#include "platform/Utf8.h"
#include "zipcomponent/EntryFields.h"
#include "zipcomponent/ZipRecords.h"

#include <zip.h>

#include <algorithm>

namespace zipcomponent {

using namespace records;

namespace {

constexpr uint16_t kWinZipAesId = 0x9901;
constexpr uint16_t kWinZipAesMethod = 99;
constexpr uint16_t kEncryptedFlag = 1;
constexpr uint16_t kStrongEncryptionFlag = 1 << 6;
constexpr uint64_t kHostUnix = 3;

// libzip hands a name out unconverted only when it judges it UTF-8; this
// is at least as strict as its judgement.
bool PassesUnconverted(std::string_view name) {
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 && byte != '\r' && byte != '\n' && byte != '\t') return false;
    }
    return platform::IsValidUtf8(name);
}

// The directory of an archive whose end record and directory both lie in
// the file at archivePath: a plain zip, or a split archive's last part.
bool ReadDirectoryHere(const std::string& archivePath, EndRecord& end, std::string& cd) {
    Parts file;
    return file.Open(archivePath, 1) && ReadEnd(file, end) && end.cdDisk == end.disk &&
           file.Read(0, end.cdOffset, end.cdSize, cd);
}

}  // namespace

bool ReadEntryCount(const std::string& archivePath, uint64_t& entries) {
    Parts file;
    EndRecord end;
    if (!file.Open(archivePath, 1) || !ReadEnd(file, end)) return false;
    entries = end.entries;
    return true;
}

bool ReadDirectoryTotals(const std::string& archivePath, DirectoryTotals& totals) {
    EndRecord end;
    std::string cd;
    if (!ReadDirectoryHere(archivePath, end, cd)) return false;
    totals = DirectoryTotals();
    size_t at = 0;
    for (uint64_t k = 0; k < end.entries; ++k) {
        CentralView v;
        if (!ReadCentral(cd, at, v)) return false;
        ++totals.entries;
        totals.compressed += v.compressed;
        totals.uncompressed += v.uncompressed;
        if (v.nameLength && cd[v.NameAt() + v.nameLength - 1] == '/') ++totals.folders;
        if (v.flags & kEncryptedFlag) ++totals.encrypted;
        at = v.End();
    }
    totals.disks = end.disk + 1;
    totals.commentLength = end.comment.size();
    return true;
}

bool TotalsOf(const CentralDirectory& directory, DirectoryTotals& totals) {
    if (!directory.updatable) return false;
    totals = DirectoryTotals();
    totals.entries = directory.entries.size();
    for (const auto& e : directory.entries) {
        totals.compressed += e.compressedSize;
        totals.uncompressed += e.size;
        if (!e.name.empty() && e.name.back() == '/') ++totals.folders;
        if (e.encryption != ZIP_EM_NONE) ++totals.encrypted;
    }
    totals.disks = 1;
    totals.commentLength = directory.comment.size();
    return true;
}

bool ReadCentralDirectory(const std::string& archivePath, CentralDirectory& out, DirectoryUse use) {
    out = CentralDirectory();
    EndRecord end;
    std::string cd;
    const bool listing = use == DirectoryUse::Listing;
    if (!ReadDirectoryHere(archivePath, end, cd) || (end.disk != 0 && !listing)) return false;
    out.entries.reserve(static_cast<size_t>(std::min<uint64_t>(end.entries, cd.size() / kCentralSize)));
    size_t at = 0;
    for (uint64_t k = 0; k < end.entries; ++k) {
        CentralView v;
        if (!ReadCentral(cd, at, v)) return false;
        DirectoryEntry& e = out.entries.emplace_back();
        e.name.assign(cd, v.NameAt(), v.nameLength);
        // libzip is asked for a Unix entry's name as stored (NameFlags).
        const bool madeOnUnix = Get(cd, v.at + 5, 1) == kHostUnix;
        if (!madeOnUnix && !PassesUnconverted(e.name)) return false;
        e.size = v.uncompressed;
        e.compressedSize = v.compressed;
        e.method = static_cast<uint16_t>(Get(cd, v.at + 10, 2));
        e.encryption = !(v.flags & kEncryptedFlag)          ? ZIP_EM_NONE
                       : (v.flags & kStrongEncryptionFlag) ? ZIP_EM_UNKNOWN
                                                            : ZIP_EM_TRAD_PKWARE;
        bool timeSeen = false, timed = false, aes = false;
        const size_t extraEnd = v.ExtraAt() + v.extraLength;
        for (size_t x = v.ExtraAt(); x + 4 <= extraEnd; x += 4 + Get(cd, x + 2, 2)) {
            const uint64_t id = Get(cd, x, 2), length = Get(cd, x + 2, 2);
            const size_t data = x + 4;
            if (id == kExtendedTimestampId && !timeSeen) {
                timeSeen = true;
                timed = length >= 5 && (cd[data] & 1);
                const int dosYear = static_cast<int>(Get(cd, v.at + 14, 2) >> 9) + 1980;
                if (timed) e.modified = TimeFromField(static_cast<uint32_t>(Get(cd, data + 1, 4)), dosYear);
            } else if (id == kBasePathId && e.basePath.empty()) {
                e.basePath.assign(cd, data, static_cast<size_t>(length));
            } else if (id == kWinZipAesId && !aes && e.method == kWinZipAesMethod) {
                if (length != 7 || cd.compare(data + 2, 2, "AE") != 0) return false;
                const auto strength = static_cast<unsigned char>(cd[data + 4]);
                e.encryption = strength >= 1 && strength <= 3 ? static_cast<uint16_t>(ZIP_EM_AES_128 + strength - 1)
                                                              : ZIP_EM_UNKNOWN;
                e.method = static_cast<uint16_t>(Get(cd, data + 5, 2));
                aes = true;
            }
        }
        // A time only the local header carries, or none at all, is libzip's to read.
        if (!timed || (e.method == kWinZipAesMethod && !aes)) return false;
        at = v.End();
    }
    out.comment = end.comment;
    out.updatable = end.disk == 0;
    return true;
}

}  // namespace zipcomponent
