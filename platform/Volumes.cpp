#include "platform/Volumes.h"

#include "platform/FileSystem.h"

#include <QFileInfo>
#include <QProcess>
#include <QStorageInfo>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

namespace platform {

namespace {

// One line per simulated volume: mount point, drive type, file system,
// label and, optionally, the disk's size in bytes, separated by tabs. Labels
// written to a volume are kept here.
struct SimulatedVolume {
    std::string root, type, fileSystem, label, size;
};

const char* MediaFile() {
    const char* file = std::getenv("VELLORA_MEDIA");
    return file && *file ? file : nullptr;
}

std::vector<SimulatedVolume> ReadMedia() {
    std::vector<SimulatedVolume> volumes;
    std::string text;
    if (!MediaFile() || ReadWholeFile(MediaFile(), text) != 0) return volumes;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        SimulatedVolume v;
        if (std::getline(fields, v.root, '\t') && std::getline(fields, v.type, '\t') &&
            std::getline(fields, v.fileSystem, '\t')) {
            std::getline(fields, v.label, '\t');
            std::getline(fields, v.size);
            volumes.push_back(v);
        }
    }
    return volumes;
}

int WriteMedia(const std::vector<SimulatedVolume>& volumes) {
    std::string text;
    for (const auto& v : volumes) {
        text += v.root + "\t" + v.type + "\t" + v.fileSystem + "\t" + v.label;
        if (!v.size.empty()) text += "\t" + v.size;
        text += "\n";
    }
    return WriteFileAtomically(MediaFile(), text);
}

// The simulated volume whose mount point holds the path, if any.
int FindSimulated(const std::vector<SimulatedVolume>& volumes, const std::string& path) {
    int best = -1;
    size_t length = 0;
    for (size_t i = 0; i < volumes.size(); ++i) {
        const std::string& root = volumes[i].root;
        const bool inside = path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                                             (root.back() == '/' || path[root.size()] == '/'));
        if (inside && root.size() >= length) {
            best = static_cast<int>(i);
            length = root.size();
        }
    }
    return best;
}

DriveType TypeFromName(const std::string& type) {
    if (type == "removable") return DriveType::Removable;
    if (type == "cdrom") return DriveType::CdRom;
    if (type == "network") return DriveType::Network;
    return DriveType::Fixed;
}

bool SysfsRemovable(const QString& device) {
    if (!device.startsWith("/dev/")) return false;
    const QString canonical = QFileInfo(device).canonicalFilePath();
    const QString name = QFileInfo(canonical.isEmpty() ? device : canonical).fileName();
    const QString block = "/sys/class/block/" + name;
    for (const QString& candidate : {block + "/removable", QFileInfo(block).canonicalFilePath() + "/../removable"}) {
        std::string value;
        if (ReadWholeFile(candidate.toStdString(), value) == 0 && !value.empty() && value[0] == '1') return true;
    }
    return false;
}

}  // namespace

int GetVolumeLabel(const std::string& path, std::string& label) {
    label.clear();
    const auto media = ReadMedia();
    const int simulated = FindSimulated(media, path);
    if (simulated >= 0) {
        if (!IsFolder(media[static_cast<size_t>(simulated)].root)) return ENOMEDIUM;
        label = media[static_cast<size_t>(simulated)].label;
        return 0;
    }
    QStorageInfo info(QString::fromStdString(path));
    if (!info.isValid()) return ENOENT;
    label = info.name().toStdString();
    if (!label.empty()) return 0;
    // Without udev's /dev/disk/by-label Qt reports no label; ask blkid.
    const QString device = QString::fromUtf8(info.device());
    if (!device.startsWith("/dev/")) return 0;
    QProcess blkid;
    blkid.start("blkid", {"-s", "LABEL", "-o", "value", device});
    if (blkid.waitForFinished(5000) && blkid.exitCode() == 0)
        label = QString::fromUtf8(blkid.readAllStandardOutput()).trimmed().toStdString();
    return 0;
}

int GetVolumeInfo(const std::string& path, VolumeInfo& info) {
    info = VolumeInfo();
    const auto media = ReadMedia();
    const int simulated = FindSimulated(media, path);
    if (simulated >= 0) {
        const auto& v = media[static_cast<size_t>(simulated)];
        info = {v.root, TypeFromName(v.type), v.fileSystem};
        // A removable volume without its folder is a drive with no disk.
        if (!IsFolder(v.root)) return ENOMEDIUM;
        if (v.size.empty()) {
            info.freeBytes = static_cast<uint64_t>(QStorageInfo(QString::fromStdString(v.root)).bytesAvailable());
        } else {
            uint64_t used = 0;
            std::error_code ec;
            for (const auto& e : std::filesystem::recursive_directory_iterator(v.root, ec))
                if (e.is_regular_file(ec)) used += e.file_size(ec);
            const uint64_t size = std::strtoull(v.size.c_str(), nullptr, 10);
            info.freeBytes = size > used ? size - used : 0;
        }
        return 0;
    }
    std::string probe = path;
    while (!probe.empty() && !PathExists(probe)) probe = FolderPart(probe);
    QStorageInfo storage(QString::fromStdString(probe.empty() ? "/" : probe));
    if (!storage.isValid()) return ENOENT;
    info.root = storage.rootPath().toStdString();
    info.fileSystem = storage.fileSystemType().toStdString();
    const QString device = QString::fromUtf8(storage.device());
    static const char* const kNetwork[] = {"nfs", "nfs4", "cifs", "smb3", "fuse.sshfs"};
    info.type = DriveType::Fixed;
    for (const char* n : kNetwork)
        if (info.fileSystem == n) info.type = DriveType::Network;
    if (info.fileSystem == "iso9660" || device.startsWith("/dev/sr"))
        info.type = DriveType::CdRom;
    else if (SysfsRemovable(device) || info.root.rfind("/media/", 0) == 0 || info.root.rfind("/run/media/", 0) == 0)
        info.type = DriveType::Removable;
    info.freeBytes = static_cast<uint64_t>(storage.bytesAvailable());
    return 0;
}

int SetVolumeLabel(const std::string& path, const std::string& label, std::string& errorText) {
    auto media = ReadMedia();
    const int simulated = FindSimulated(media, path);
    if (simulated >= 0) {
        if (!IsFolder(media[static_cast<size_t>(simulated)].root)) {
            errorText = GetSystemErrorText(ENOMEDIUM);
            return ENOMEDIUM;
        }
        media[static_cast<size_t>(simulated)].label = label;
        const int err = WriteMedia(media);
        if (err) errorText = GetSystemErrorText(err);
        return err;
    }
    QStorageInfo storage(QString::fromStdString(path));
    if (!storage.isValid()) {
        errorText = GetSystemErrorText(ENOENT);
        return ENOENT;
    }
    const std::string type = storage.fileSystemType().toStdString();
    const QString device = QString::fromUtf8(storage.device());
    QString tool;
    if (type == "vfat" || type == "msdos") tool = "fatlabel";
    else if (type == "exfat") tool = "exfatlabel";
    else if (type.rfind("ext", 0) == 0) tool = "e2label";
    else if (type == "ntfs" || type == "ntfs3" || type == "fuseblk") tool = "ntfslabel";
    if (tool.isEmpty()) {
        errorText = "Volume labels cannot be written on " + type + " file systems.";
        return ENOTSUP;
    }
    QProcess process;
    process.start(tool, {device, QString::fromStdString(label)});
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        errorText = QString::fromUtf8(process.readAllStandardError()).trimmed().toStdString();
        if (errorText.empty()) errorText = tool.toStdString() + " could not be run.";
        return EIO;
    }
    return 0;
}

}  // namespace platform
