#include "runner/RunnerStartup.h"

#include "jobmodel/AppDoc.h"
#include "jobmodel/SettingsRegistry.h"
#include "platform/FileSystem.h"
#include "platform/Instances.h"
#include "platform/MessageService.h"
#include "platform/TimeZone.h"
#include "runner/DesktopNotifications.h"
#include "runner/RunnerWindow.h"
#include "runner/ScheduledRun.h"
#include "desktop/MessageBoxes.h"
#include "desktop/ProgramStart.h"
#include "desktop/Skin.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

namespace runner {

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitNotSuccessful = 1;
constexpr int kExitNoJob = 2;
constexpr const char* kSuccess = "Backup Completed Successfully.";

std::string AbsoluteJobPath(const char* arg) {
    std::error_code ec;
    return std::filesystem::absolute(arg, ec).lexically_normal().string();
}

}  // namespace

int RunJob(int argc, char** argv) {
    bool headless = false;
    if (!desktop::PrepareProgramStart("gorvex", headless)) return kExitNoJob;
    // A run without a window needs no platform, fonts or styles.
    const std::unique_ptr<QCoreApplication> app =
        headless ? std::make_unique<QCoreApplication>(argc, argv) : std::make_unique<QApplication>(argc, argv);
    platform::StderrMessageService printed;
    desktop::BoxMessageService boxes;
    platform::SetMessageService(headless ? static_cast<platform::IMessageService*>(&printed) : &boxes);
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

    std::string finalStatus;
    if (headless) {
        CNotifyingRunView view(settings.GetShowBalloonTips() != 0);
        engine::CBackupEngine run(doc, settings, view);
        run.RunBackup();
        finalStatus = run.FinalStatus();
        const std::string log = logbook::BackupLogPath(settings.GetLogFolder(), doc.GetPathName());
        if (view.Terminal()) {
            std::printf("Backup: %s\nLog: %s\n", doc.m_BackupSettings.m_strBackupFile.c_str(), log.c_str());
        } else if (finalStatus != kSuccess) {
            std::fprintf(stderr, "%s\nJob: %s\nBackup: %s\nLog: %s\n", finalStatus.c_str(), doc.GetPathName().c_str(),
                         doc.m_BackupSettings.m_strBackupFile.c_str(), log.c_str());
        }
    } else {
        desktop::ApplySkin();
        RunnerWindow window(doc, settings);
        showWindow = [&] { window.BringToFront(); };
        window.ShowUnlessSilent();
        // The run starts from the event loop, once the window is painted.
        QTimer::singleShot(0, &window, [&] { window.StartBackup(); });
        QCoreApplication::exec();
        finalStatus = window.Engine().FinalStatus();
    }
    platform::SetMessageService(nullptr);
    const int exitCode = finalStatus == kSuccess ? kExitSuccess : kExitNotSuccessful;
    task.Finished(exitCode);
    return exitCode;
}

}  // namespace runner
