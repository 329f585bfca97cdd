#include "jobmodel/DeleteJob.h"

#include "jobmodel/AppDoc.h"
#include "jobmodel/BackupIndexFile.h"
#include "jobmodel/SettingsRegistry.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"

namespace jobmodel {

bool DeleteJobFiles(const std::string& jobPath, const std::string& openJobPath) {
    if (jobPath.empty()) return false;
    if (!openJobPath.empty() && platform::SamePath(jobPath, openJobPath)) {
        platform::Messages().Show("You cannot delete this job while it is open!\nPlease close it then try again.",
                                  "Vellora", platform::MB_OK | platform::MB_ICONEXCLAMATION);
        return false;
    }
    CAppDoc job(DocHost::Editor);
    const bool loaded = job.OnOpenDocument(jobPath);
    const bool deleted = platform::DeleteToRecycleBin(jobPath);
    // An unreadable job names no task or index; its file still goes, to the Trash.
    if (!loaded) return deleted;
    const std::string& taskName = job.m_ScheduleSettings.m_strTaskName;
    if (!taskName.empty()) platform::DeleteToRecycleBin(GetTasksFolder() + "/" + taskName);
    CBackupIndexFile(jobPath, job.m_BackupSettings.m_strBackupFile).Delete();
    return deleted;
}

}  // namespace jobmodel
