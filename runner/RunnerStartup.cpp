#include "runner/RunnerStartup.h"

#include "engine/BackupEngine.h"
#include "logbook/LogContent.h"
#include "platform/FileSystem.h"
#include "platform/Instances.h"
#include "runner/DesktopNotifications.h"
#include "runner/ScheduledRun.h"

#include <cstdio>
#include <filesystem>

namespace runner {

namespace {

constexpr const char* kSuccess = "Backup Completed Successfully.";

std::string AbsoluteJobPath(const char* arg) {
    std::error_code ec;
    return std::filesystem::absolute(arg, ec).lexically_normal().string();
}

}  // namespace

int RunJob(int argc, char** argv, IRunFront& front) {
    platform::SetMessageService(&front.Messages());
    struct ServiceReset {
        ~ServiceReset() { platform::SetMessageService(nullptr); }
    } serviceReset;
    // The editor finds a running backup of a job by this class and title.
    platform::InstanceRegistration instance;
    std::function<void()> showWindow;
    if (!instance.Register("Run Backup", "Vellora", [&] {
            if (showWindow) showWindow();
        })) {
        std::fprintf(stderr, "gorvex: %s\n", instance.Error().c_str());
        return kExitNoJob;
    }
    if (argc < 2) {
        platform::Messages().Show("Cannot run Backup!!! - No Backup file defined", "Vellora",
                                  platform::MB_OK | platform::MB_ICONSTOP);
        return kExitNoJob;
    }
    const jobmodel::CSettingsRegistry settings(jobmodel::ChooseSettingsRoot());
    jobmodel::CAppDoc doc(jobmodel::DocHost::Runner);
    if (!doc.OnOpenDocument(AbsoluteJobPath(argv[1]))) return kExitNoJob;
    instance.SetTitle(platform::FileNamePart(doc.GetPathName()) + " - Vellora");

    // A run its task started records itself in the task file; a cron line
    // fires on days its trigger may not, which the task decides.
    ScheduledRun task;
    if (!task.Due()) return kExitSuccess;
    task.Started();
    const std::string finalStatus = front.RunBackup(doc, settings, showWindow);
    const int exitCode = finalStatus == kSuccess ? kExitSuccess : kExitNotSuccessful;
    task.Finished(exitCode);
    return exitCode;
}

std::string CHeadlessFront::RunBackup(jobmodel::CAppDoc& doc, const jobmodel::CSettingsRegistry& settings,
                                      std::function<void()>&) {
    CNotifyingRunView view(settings.GetShowBalloonTips() != 0);
    engine::CBackupEngine run(doc, settings, view);
    run.RunBackup();
    const std::string finalStatus = run.FinalStatus();
    const std::string log = logbook::BackupLogPath(settings.GetLogFolder(), doc.GetPathName());
    if (view.Terminal()) {
        std::printf("Backup: %s\nLog: %s\n", doc.m_BackupSettings.m_strBackupFile.c_str(), log.c_str());
    } else if (finalStatus != kSuccess) {
        std::fprintf(stderr, "%s\nJob: %s\nBackup: %s\nLog: %s\n", finalStatus.c_str(), doc.GetPathName().c_str(),
                     doc.m_BackupSettings.m_strBackupFile.c_str(), log.c_str());
    }
    return finalStatus;
}

}  // namespace runner
