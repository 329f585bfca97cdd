#include "engine/BackupEngine.h"

#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "platform/Volumes.h"

#include <cctype>
#include <cstdio>

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
        if (labelRead) {
            *labelRead = info.label;
            m_bLabelRecorded = true;
        }
        if (SameVolumeName(info.label, options.m_strVolumeName)) return true;
        if (!interactive) return false;
        const std::string current = Comparable(info.label), required = Comparable(options.m_strVolumeName);
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

}  // namespace engine
