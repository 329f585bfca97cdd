// gorvex-engine-run: runs one backup job without any window, as cron or a
// script would, printing the run's status lines.
//   gorvex-engine-run JOB
// Exit status: 0 "Backup Completed Successfully.", 1 any other end, 2 when
// the job cannot be opened.

#include "engine/BackupEngine.h"
#include "jobmodel/AppDoc.h"
#include "jobmodel/SettingsRegistry.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"

#include <QCoreApplication>

#include <cstdio>
#include <filesystem>

namespace {

class ConsoleRunView : public engine::IRunView {
public:
    explicit ConsoleRunView(std::string title) : m_title(std::move(title)) {}
    void SetStatus(const std::string& text, int, bool) override {
        if (text != m_lastStatus) std::printf("%s\n", text.c_str());
        m_lastStatus = text;
        std::fflush(stdout);
    }
    void SetCurrentFile(const std::string&) override {}
    void SetProgress(int, int) override {}
    void RaiseErrorIndication() override {}
    void SetViewLogEnabled(bool) override {}
    void RunFinished(bool) override {}
    void ShowBalloon(const std::string&, const std::string&, int) override {}
    void PlaySound(const std::string&) override {}
    void RequestClose() override {}
    void BringToFront() override {}
    std::string WindowTitle() const override { return m_title; }

private:
    std::string m_title;
    std::string m_lastStatus;
};

}  // namespace

int main(int argc, char** argv) {
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
    ConsoleRunView view(platform::FileNamePart(path) + " - Vellora");
    engine::CBackupEngine run(doc, settings, view);
    run.RunBackup();
    const std::string log = logbook::BackupLogPath(settings.GetLogFolder(), path);
    std::printf("Backup: %s\nLog: %s\n", doc.m_BackupSettings.m_strBackupFile.c_str(), log.c_str());
    return run.FinalStatus() == "Backup Completed Successfully." ? 0 : 1;
}
