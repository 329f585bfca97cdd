#include "editor/OptionsPage.h"

#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "platform/Volumes.h"

#include <algorithm>

namespace editor {

namespace {

constexpr int kLevels[] = {0, 1, 6, 9};
constexpr size_t kVolumeNameLength = 9;

}  // namespace

bool RemovableDestination(const jobmodel::CAppDoc& doc) {
    platform::VolumeInfo volume;
    platform::GetVolumeInfo(doc.m_BackupSettings.m_strBackupFile, volume);
    return volume.type == platform::DriveType::Removable || volume.type == platform::DriveType::CdRom;
}

OptionsPageFields LoadOptionsPage(const jobmodel::CAppDoc& doc, bool removable) {
    const auto& o = doc.m_JobOptions;
    OptionsPageFields f;
    const auto level = std::find(std::begin(kLevels), std::end(kLevels), o.m_nCompressionLevel);
    f.compressionIndex = level == std::end(kLevels) ? 2 : static_cast<int>(level - std::begin(kLevels));
    f.verify = o.m_bVerify != 0;
    f.archive = o.m_bArchiveOldVersions != 0;
    f.purgeDays = o.m_strPurgeDays;
    f.usePassword = o.m_bUsePassword != 0;
    f.useVolumeName = o.m_bUseVolumeName != 0;
    f.volumeName = o.m_strVolumeName;
    f.spanning = o.m_nDiskSpanning;
    f.nonEmpty = o.m_nNonEmptyDiskAction;
    if (!removable) ChooseSpanning(f, jobmodel::kSpanNever);
    return f;
}

void ChooseSpanning(OptionsPageFields& fields, int spanning) {
    fields.spanning = spanning;
    if (spanning == jobmodel::kSpanNever) fields.nonEmpty = jobmodel::kAppendFiles;
}

OptionsEnabling UpdateEnabling(OptionsPageFields& f, bool removable) {
    OptionsEnabling e{};
    const bool spans = f.spanning == jobmodel::kSpanAlways || f.spanning == jobmodel::kSpanEnable;
    if (removable) {
        e.volumeNameBox = e.spanning = true;
        e.volumeName = f.useVolumeName;
        e.nonEmpty = spans;
        e.archive = !spans;
        if (spans) f.archive = false;
    } else {
        e.archive = true;
    }
    e.change = f.usePassword;
    e.purgeDays = f.archive && e.archive;
    return e;
}

bool SaveOptionsPage(const OptionsPageFields& f, jobmodel::CAppDoc& doc) {
    if (f.useVolumeName && f.volumeName.empty()) {
        platform::Tell("Please Enter the Volume Label Name", platform::MB_OK | platform::MB_ICONEXCLAMATION);
        return false;
    }
    auto& o = doc.m_JobOptions;
    o.m_nCompressionIndex = std::clamp(f.compressionIndex, 0, 3);
    o.m_nCompressionLevel = kLevels[o.m_nCompressionIndex];
    o.m_bVerify = f.verify;
    o.m_bArchiveOldVersions = f.archive;
    o.m_strPurgeDays = f.purgeDays;
    o.m_bUsePassword = f.usePassword;
    o.m_bUseVolumeName = f.useVolumeName;
    o.m_strVolumeName = f.volumeName.substr(0, kVolumeNameLength);
    o.m_nDiskSpanning = f.spanning;
    o.m_nNonEmptyDiskAction = f.nonEmpty;
    return true;
}

bool ReadDestinationLabel(const jobmodel::CAppDoc& doc, std::string& name) {
    const std::string& path = doc.m_BackupSettings.m_strBackupFile;
    std::string label;
    if (path.empty() || platform::GetVolumeLabel(path, label) != 0) {
        platform::Tell("Cannot Read Volume Label from destination path:\n" + path,
                       platform::MB_OK | platform::MB_ICONEXCLAMATION);
        return false;
    }
    name = label.substr(0, kVolumeNameLength);
    return true;
}

std::string PasswordRefusal(const std::string& current, const std::string& old, const std::string& newPassword,
                            const std::string& confirmation) {
    if (!current.empty() && old != current) return "The Old Password is incorrect !!\n\nPlease re-enter the Old Password";
    if (newPassword != confirmation)
        return "The New Password does not match the Confirmation Password !!\n\nPlease re-enter the Passwords.";
    return "";
}

void TakeNewPassword(jobmodel::CAppDoc& doc, const std::string& newPassword, bool& usePassword) {
    auto& o = doc.m_JobOptions;
    if (newPassword == o.m_strPassword) return;
    o.m_strPassword = newPassword;
    o.m_bPasswordChanged = 1;
    doc.SetModifiedFlag();
    if (newPassword.empty()) {
        usePassword = false;
        platform::Tell("No password entered, the password will be\nremoved the next time this backup job runs!.",
                       platform::MB_OK | platform::MB_ICONINFORMATION);
    } else {
        platform::Tell("The Password will be changed the next time this backup job runs!\n",
                       platform::MB_OK | platform::MB_ICONINFORMATION);
    }
}

bool RemovePassword(jobmodel::CAppDoc& doc, const std::string& entered) {
    auto& o = doc.m_JobOptions;
    if (entered != o.m_strPassword) {
        platform::Tell("Invalid Password entered, cannot remove Password!!!", platform::MB_OK | platform::MB_ICONSTOP);
        return false;
    }
    o.m_strPassword.clear();
    o.m_bPasswordChanged = 1;
    doc.SetModifiedFlag();
    platform::Tell("The Password will be removed the next time this backup job runs!\n",
                   platform::MB_OK | platform::MB_ICONINFORMATION);
    return true;
}

}  // namespace editor
