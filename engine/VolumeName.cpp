#include "engine/BackupEngine.h"

#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "platform/Volumes.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace engine {

namespace lb = logbook;

namespace {

// Nine characters leave room for the two-digit disk number of a label.
std::string Comparable(const std::string& name) {
    std::string cut = name.substr(0, 9);
    while (!cut.empty() && cut.back() == ' ') cut.pop_back();
    return cut;
}

}  // namespace

bool CBackupEngine::SameVolumeName(const std::string& a, const std::string& b) {
    const std::string x = Comparable(a), y = Comparable(b);
    if (x.size() != y.size()) return false;
    for (size_t i = 0; i < x.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(x[i])) != std::tolower(static_cast<unsigned char>(y[i])))
            return false;
    return true;
}

bool CBackupEngine::IsRemovableDestination() const {
    platform::VolumeInfo info;
    platform::GetVolumeInfo(m_doc.m_BackupSettings.m_strBackupFile, info);
    return info.type == platform::DriveType::Removable || info.type == platform::DriveType::CdRom;
}

bool CBackupEngine::CheckVolumeName(bool interactive, std::string* labelRead) {
    const auto& options = m_doc.m_JobOptions;
    if (!options.m_bUseVolumeName || !IsRemovableDestination()) return true;
    for (;;) {
        platform::VolumeInfo info;
        const int err = platform::GetVolumeInfo(m_doc.m_BackupSettings.m_strBackupFile, info);
        if (err) {
            if (!interactive) return false;
            const std::string text = info.root + " is not accessible.\n" + platform::GetSystemErrorText(err);
            if (ShowRunMessage(false, text, platform::MB_RETRYCANCEL | platform::MB_ICONEXCLAMATION) !=
                platform::IDRETRY)
                return false;
            continue;
        }
        std::string label;
        platform::GetVolumeLabel(m_doc.m_BackupSettings.m_strBackupFile, label);
        if (labelRead) {
            *labelRead = label;
            m_bLabelRecorded = true;
        }
        if (SameVolumeName(label, options.m_strVolumeName)) return true;
        if (!interactive) return false;
        const std::string current = Comparable(label), required = Comparable(options.m_strVolumeName);
        std::vector<char> text(2048 + current.size() + 2 * required.size() + info.root.size());
        std::snprintf(text.data(), text.size(),
                      "The Volume Name ' %s ' currently in drive %s\ndoes not match the Volume Name ' %s ' required "
                      "for this backup !\n\n- Insert the backup disk with the volume name ' %s '\n  and press Retry "
                      "to continue.\n- Press Ignore to rename the volume and use this disk.\n- Press Abort to "
                      "Cancel.\n",
                      current.c_str(), info.root.c_str(), required.c_str(), required.c_str());
        const int answer =
            ShowRunMessage(false, text.data(), platform::MB_ABORTRETRYIGNORE | platform::MB_ICONEXCLAMATION);
        if (answer == platform::IDIGNORE) return true;
        if (answer != platform::IDRETRY) return false;
    }
}

bool CBackupEngine::WriteVolumeLabels(int disk) {
    const auto& options = m_doc.m_JobOptions;
    if (!IsRemovableDestination() || !options.m_bUseVolumeName || CheckVolumeName(false, nullptr)) return true;
    std::string name = options.m_strVolumeName.substr(0, 9);
    name.resize(9, ' ');
    char label[32];
    std::snprintf(label, sizeof label, "%s%1.2i", name.c_str(), disk);
    std::string error;
    if (platform::SetVolumeLabel(m_doc.m_BackupSettings.m_strBackupFile, label, error) == 0) return true;
    ShowRunMessage(true, "Could not write volume label to disk !\n" + error, platform::MB_OK);
    char text[64];
    std::snprintf(text, sizeof text, "Could not write volume label to disk number %i: ", disk);
    m_log.AddEntry(text + error, lb::kLogFileWarning);
    return false;
}

void CBackupEngine::DiskRequest(int disk, bool& goOn) {
    platform::VolumeInfo volume;
    platform::GetVolumeInfo(m_zip.m_strArchivePath, volume);
    const std::string& drive = volume.root;
    char text[1024];
    const int op = m_zip.GetActiveOperation();
    if (op == zipcomponent::kWriting) {
        if (disk == 0) {
            std::snprintf(text, sizeof text,
                          m_bDiskNotEmpty ? "The disk in drive %s already contains files !\nPlease insert a new disk "
                                            "in the drive."
                                          : "Cannot access the file(s) on drive %s\n\nPossible reasons are:\nNo disk "
                                            "is inserted or the drive is not ready.\nThe disk is write protected.\n"
                                            "Some files on the disk are currently in use.",
                          drive.c_str());
        } else {
            WriteVolumeLabels(disk - 1);
            m_nDisks = disk;
            std::snprintf(text, sizeof text, "Please Insert Disk No. %i into drive %s", disk, drive.c_str());
        }
    } else if (op == zipcomponent::kTesting) {
        if (disk == 0)
            std::snprintf(text, sizeof text, "Backup File Verification:\nPlease Insert the LAST disk into drive %s",
                          drive.c_str());
        else
            std::snprintf(text, sizeof text, "Backup File Verification:\nPlease Insert Disk No. %i into drive %s",
                          disk, drive.c_str());
    } else if (disk == 0) {
        std::snprintf(text, sizeof text, "Please Insert the LAST disk into drive %s", drive.c_str());
    } else {
        std::snprintf(text, sizeof text, "Please Insert Disk No. %i into drive %s", disk, drive.c_str());
    }
    m_bDiskNotEmpty = false;
    const std::string prompt = std::string(text) + "\n\nPress OK to continue or Cancel to abort.";
    for (;;) {
        if (ShowRunMessage(false, prompt, platform::MB_OKCANCEL | platform::MB_ICONEXCLAMATION) != platform::IDOK) {
            goOn = false;
            return;
        }
        if (platform::GetVolumeInfo(m_zip.m_strArchivePath, volume) == 0) break;
    }
    if (op != zipcomponent::kWriting) {
        goOn = true;
        return;
    }
    if (!CheckVolumeName(true, nullptr)) {
        goOn = false;
        return;
    }
    const std::string folder = platform::FolderPart(m_doc.m_BackupSettings.m_strBackupFile);
    const int err = platform::CreateFolderPath(folder);
    if (err && err != ENOSPC) {
        m_log.AddEntry("Could not create destination folder for backup: " + folder, lb::kLogSystemError);
        goOn = false;
        return;
    }
    goOn = true;
}

void CBackupEngine::DiskNotEmpty(int& action) {
    action = m_doc.m_JobOptions.m_nNonEmptyDiskAction;
    m_bDiskNotEmpty = true;
    const std::string& backupFile = m_doc.m_BackupSettings.m_strBackupFile;
    if (action == jobmodel::kEraseFiles) {
        if (!IsRemovableDestination()) {
            ShowRunMessage(true, "Internal Error while erasing files from the backup disk!!\nThe Backup will be aborted.",
                           platform::MB_OK | platform::MB_ICONSTOP);
            m_log.AddEntry("Internal Error while erasing files from the backup disk!!\n", lb::kLogSystemError);
            action = jobmodel::kAbortBackup;
            return;
        }
        m_view.SetStatus("Deleting Existing Files from media", kColourPlain, false);
        platform::VolumeInfo volume;
        bool erased = platform::GetVolumeInfo(backupFile, volume) == 0;
        std::error_code ec;
        // A disk is erased for good, as the shell's silent delete does.
        for (const auto& e : std::filesystem::directory_iterator(volume.root, ec))
            if (std::filesystem::remove_all(e.path(), ec) == static_cast<std::uintmax_t>(-1) || ec) erased = false;
        erased = erased && platform::CreateFolderPath(platform::FolderPart(backupFile)) == 0;
        if (erased) m_bDiskNotEmpty = false;
        action = erased ? 1 : 2;
        m_view.SetStatus("Zipping Files...", kColourPlain, false);
        return;
    }
    if (action == jobmodel::kAppendFiles) {
        if (platform::PathExists(backupFile) && !platform::DeleteToRecycleBin(backupFile))
            m_log.AddEntry("Error: Cannot Delete the existing backup file " + backupFile + "\n" +
                               platform::GetSystemErrorText(errno) + "\n\n",
                           lb::kLogFileWarning);
        action = 1;
    }
}

}  // namespace engine
