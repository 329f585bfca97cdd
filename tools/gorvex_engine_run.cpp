// gorvex-engine-run: runs one backup job without any window, as cron or a
// script would, printing the run's status lines.
//   gorvex-engine-run JOB
// Exit status: 0 "Backup Completed Successfully.", 1 any other end, 2 when
// the job cannot be opened.

#include "engine/BackupEngine.h"
#include "engine/ConsoleRunView.h"
#include "jobmodel/AppDoc.h"
#include "jobmodel/SettingsRegistry.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "platform/TimeZone.h"

#include <QCoreApplication>

#include <cstdio>
#include <filesystem>


int main(int argc, char** argv) {
    platform::PinLocalTimeZone();
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: gorvex-engine-run JOB\n", stderr);
        return 2;
    }
    platform::StderrMessageService messages;
    platform::SetMessageService(&messages);
    const jobmodel::CSettingsRegistry settings(jobmodel::ChooseSettingsRoot());
    std::error_code ec;
    const std::string path = std::filesystem::absolute(argv[1], ec).lexically_normal().string();
    jobmodel::CAppDoc doc(jobmodel::DocHost::Runner);
    if (!doc.OnOpenDocument(path)) return 2;
    engine::CConsoleRunView view;
    engine::CBackupEngine run(doc, settings, view);
    run.RunBackup();
    const std::string log = logbook::BackupLogPath(settings.GetLogFolder(), path);
    std::printf("Backup: %s\nLog: %s\n", doc.m_BackupSettings.m_strBackupFile.c_str(), log.c_str());
    return run.FinalStatus() == "Backup Completed Successfully." ? 0 : 1;
}
