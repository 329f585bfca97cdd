#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <unordered_map>
#include <vector>

#include "restore/BackupFiles.h"
#include "zipcomponent/DirectoryIndex.h"

namespace restore {

class CRestorePage;

// One copy of a file in the backup or in one of its archive zips.
struct FileVersion {
    std::string zipPath;  // the zip that holds it
    std::string label;    // "Current backup", or the archive's date from its name
    uint64_t size = 0;
    time_t modified = 0;
    bool encrypted = false;
};

// The files of many zips by path, read straight from each zip's central
// directory and kept per zip while its size, time and inode stay the same,
// so the versions of a file across dozens of archives are found at once.
class CVersionCatalog {
public:
    // Every copy of `path` ("/home/ann/a.txt") in `zips`, newest first.
    std::vector<FileVersion> FindVersions(const std::vector<BackupFileEntry>& zips, const std::string& path);

private:
    struct Slot {
        uint64_t hash;  // of the file's path
        uint64_t size;
        int64_t modified;
        bool encrypted;
    };
    struct Table {
        zipcomponent::FileIdentity identity;
        std::vector<Slot> files;  // by hash
    };
    // The table of a zip, read anew when the zip changed; null when unreadable.
    const Table* Load(const std::string& zipPath);

    std::unordered_map<std::string, Table> m_tables;
};

// The label of a line of the backup-file list: the backup itself, or the
// date an archive zip's name carries.
std::string VersionLabel(const BackupFileEntry& entry, bool isBackup);

// "report (2026-12-08 17.42).odt": a name beside the original that carries
// the version's date.
std::string DatedName(const std::string& fileName, time_t modified);

enum class VersionTarget { OriginalFolder, Folder, BesideOriginal };

// Restores one copy of `path` through `page` (a page of its own, so the
// Restore tab keeps its marks): into its original folder, into `folder`,
// or beside the original under a dated name. The result text, as
// RunRestore gives it; the restore log names the file written.
std::string RestoreVersion(CRestorePage& page, const FileVersion& version, const std::string& path,
                           VersionTarget target, const std::string& folder);

}  // namespace restore
