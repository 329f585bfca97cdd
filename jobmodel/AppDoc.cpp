#include "jobmodel/AppDoc.h"

#include "jobmodel/SettingsRegistry.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"

#include <cctype>
#include <cstdio>
#include <initializer_list>

namespace jobmodel {

namespace {

bool EndsWithExtension(const std::string& path, const char* extension) {
    const std::string suffix = std::string(".") + extension;
    if (path.size() < suffix.size() + 1) return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
        const char a = static_cast<char>(std::tolower(static_cast<unsigned char>(path[path.size() - suffix.size() + i])));
        if (a != suffix[i]) return false;
    }
    return true;
}

bool IsSupportedFileVersion(uint32_t version) {
    for (uint32_t v : {1u, 2u, 3u, 220u, 230u})
        if (v == version) return true;
    return false;
}

void Tell(const std::string& text, unsigned style = platform::MB_OK | platform::MB_ICONEXCLAMATION) {
    platform::Messages().Show(text, "Vellora", style);
}

}  // namespace

bool CAppDoc::Serialize(CArchive& ar) {
    bool ok;
    if (ar.IsStoring()) {
        ApplySaveRules();
        m_nFileVersion = kCurrentFileVersion;
        ar.SetDocumentVersion(m_nFileVersion);
        ar.WriteClassTag("CAppDoc", kSchema);
        ar.WriteDWord(static_cast<uint32_t>(m_nFileVersion));
        ar.WriteString(m_strJobFile);
        ok = m_BackupSettings.Serialize(ar) && m_ScheduleSettings.Serialize(ar) && m_JobOptions.Serialize(ar) &&
             m_LogSettings.Serialize(ar) && m_ReservedSettings.Serialize(ar);
    } else {
        uint16_t schema;
        uint32_t version;
        if (!ar.ReadClassTag("CAppDoc", schema) || !ar.ReadDWord(version)) return false;
        if (!IsSupportedFileVersion(version)) {
            Tell("Error loading backup file: " + platform::FileNamePart(m_strPathName));
            return ar.Fail("the job file has the unknown version " + std::to_string(version));
        }
        m_nFileVersion = static_cast<int>(version);
        ar.SetDocumentVersion(m_nFileVersion);
        ok = (version < 3 || ar.ReadString(m_strJobFile)) && m_BackupSettings.Serialize(ar) &&
             m_ScheduleSettings.Serialize(ar) && m_JobOptions.Serialize(ar) &&
             (version < 2 || m_LogSettings.Serialize(ar)) && m_ReservedSettings.Serialize(ar);
    }
    m_bScheduleEnabledAtLoad = m_ScheduleSettings.m_bScheduleEnabled;
    return ok;
}

void CAppDoc::ApplySaveRules() {
    if (!m_ScheduleSettings.m_bScheduleEnabled) m_ScheduleSettings.m_strTaskName.clear();
    if (!m_JobOptions.m_bUseVolumeName) m_JobOptions.m_strVolumeName.clear();
    m_JobOptions.m_nCompressionLevel = CJobOptions::LevelFromIndex(m_JobOptions.m_nCompressionIndex);
}

void CAppDoc::DeleteContents() {
    m_BackupSettings.Reset();
    m_ScheduleSettings.Reset();
    m_JobOptions.Reset();
    m_LogSettings.Reset();
    m_ReservedSettings.Reset();
    m_bModified = false;
    if (m_host == DocHost::Editor) {
        if (m_pScheduleHooks) m_pScheduleHooks->ResetTask();
        m_bScheduleEnabledAtLoad = m_ScheduleSettings.m_bScheduleEnabled;
    }
}

void CAppDoc::OnDiscardChanges() {
    if (m_host == DocHost::Editor && m_pScheduleHooks && !m_bScheduleEnabledAtLoad) m_pScheduleHooks->DeleteTask();
}

void CAppDoc::ResetSchedule() {
    m_ScheduleSettings.SetDefaults();
    if (m_pScheduleHooks) m_pScheduleHooks->ResetTask();
}

bool CAppDoc::OnNewDocument() {
    DeleteContents();
    m_strPathName.clear();
    m_nFileVersion = kCurrentFileVersion;
    m_nDocKind = kDocJob;
    return true;
}

int CAppDoc::RecogniseKind(const std::string& path) {
    if (EndsWithExtension(path, kJobExtension)) return kDocJob;
    if (EndsWithExtension(path, kBackupExtension)) return kDocBackup;
    if (EndsWithExtension(path, kZipExtension)) return kDocZip;
    return kDocUnrecognised;
}

bool CAppDoc::ReadJobFile(const std::string& path) {
    std::string bytes;
    if (int err = platform::ReadWholeFile(path, bytes)) {
        m_strLastError = "Cannot open " + path + ": " + platform::GetSystemErrorText(err);
        Tell(m_strLastError);
        return false;
    }
    DeleteContents();
    m_strPathName = path;
    CArchive ar = CArchive::ForLoading(bytes);
    if (Serialize(ar)) return true;
    m_strLastError = "Unexpected file format in " + path + ": " + ar.Error() + ".";
    Tell(m_strLastError);
    // A half-read job must not be mistaken for the stored one.
    DeleteContents();
    m_strPathName.clear();
    return false;
}

void CAppDoc::CheckOpenedJob() {
    auto& items = m_BackupSettings.m_items;
    for (int i = 0; i < items.GetCount();) {
        const std::string itemPath = items.GetItemPath(i);
        if (platform::PathExists(itemPath)) {
            ++i;
            continue;
        }
        char text[4096];
        std::snprintf(text, sizeof text,
                      "The folder/file '%s' selected for backup, no longer exists!!\n\nPress YES to delete this "
                      "selection, otherwise press NO to keep it.\n\nDo you wish to remove this selection from the "
                      "backup ?",
                      itemPath.c_str());
        if (platform::Messages().Show(text, "Vellora", platform::MB_YESNO | platform::MB_ICONQUESTION) ==
            platform::IDYES) {
            items.RemoveAt(i);
            m_bModified = true;
        } else {
            ++i;
        }
    }
    if (m_ScheduleSettings.m_bScheduleEnabled) {
        const std::string& taskName = m_ScheduleSettings.m_strTaskName;
        if (!platform::PathExists(GetTasksFolder() + "/" + taskName)) {
            char text[4096];
            std::snprintf(text, sizeof text,
                          "The scheduler task '%s' defined for this job no longer exists!\n\nA new task with this "
                          "name will automatically be created.\n(Please remember to set up new schedules for this "
                          "job)",
                          taskName.c_str());
            Tell(text);
        }
        if (m_pScheduleHooks) m_pScheduleHooks->OpenTask(m_strPathName, taskName);
    }
}

bool CAppDoc::OnOpenDocument(const std::string& path) {
    m_strLastError.clear();
    const int kind = RecogniseKind(path);
    const bool refused = kind == kDocUnrecognised || (m_host == DocHost::Runner && kind != kDocJob);
    if (refused) {
        m_strLastError = "The file " + path + " is not a recognised file type !!\n\n";
        Tell(m_strLastError);
        return false;
    }
    if (kind == kDocJob) {
        if (!ReadJobFile(path)) return false;
        if (m_host == DocHost::Editor) CheckOpenedJob();
    } else {
        OnNewDocument();
        m_BackupSettings.m_strBackupFile = path;
        m_strPathName = path;
    }
    m_nDocKind = kind;
    m_strJobFile = path;
    return true;
}

bool CAppDoc::OnSaveDocument(const std::string& path) {
    m_strLastError.clear();
    if (m_host == DocHost::Editor && m_pScheduleHooks) {
        if (m_ScheduleSettings.m_bScheduleEnabled)
            m_pScheduleHooks->StoreTask(m_BackupSettings.m_strDescription);
        else
            m_pScheduleHooks->DeleteTask();
    }
    CArchive ar = CArchive::ForStoring();
    Serialize(ar);
    if (int err = platform::WriteFileAtomically(path, ar.Bytes())) {
        m_strLastError = "Cannot save " + path + ": " + platform::GetSystemErrorText(err);
        Tell(m_strLastError);
        return false;
    }
    m_strPathName = path;
    m_bModified = false;
    return true;
}

}  // namespace jobmodel
