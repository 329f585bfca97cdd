#include "engine/PartSizeLimit.h"

#include <QStorageInfo>
#include <QString>

#include <algorithm>

namespace engine {

uint32_t PartLimitForFileSystem(const std::string& type) {
    static const char* const kUnlimited[] = {"ext2", "ext3", "ext4", "xfs", "btrfs", "zfs", "f2fs", "tmpfs",
                                             "ntfs", "ntfs3", "exfat", "udf", "nfs", "nfs4", "cifs", "smb3",
                                             "fuse.sshfs", "fuseblk", "overlay"};
    if (type == "vfat" || type == "msdos") return kFat32PartLimit;
    if (std::find(std::begin(kUnlimited), std::end(kUnlimited), type) != std::end(kUnlimited)) return 0;
    return kDefaultPartLimit;
}

std::string FileSystemType(const std::string& path) {
    // The nearest existing folder decides: the destination may not exist yet.
    std::string probe = path;
    QStorageInfo info;
    while (!probe.empty()) {
        info.setPath(QString::fromStdString(probe));
        if (info.isValid()) break;
        const size_t slash = probe.rfind('/');
        probe = slash == std::string::npos || slash == 0 ? (probe == "/" ? "" : "/") : probe.substr(0, slash);
    }
    return info.isValid() ? info.fileSystemType().toStdString() : "";
}

uint32_t PartSizeLimit(const std::string& destinationFolder, const std::string* temporaryFolder) {
    uint32_t limit = PartLimitForFileSystem(FileSystemType(destinationFolder));
    if (temporaryFolder) {
        const uint32_t temp = PartLimitForFileSystem(FileSystemType(*temporaryFolder));
        if (temp != 0 && (limit == 0 || temp < limit)) limit = temp;
    }
    return limit;
}

}  // namespace engine
