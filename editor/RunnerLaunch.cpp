#include "editor/RunnerLaunch.h"

#include "jobmodel/SettingsRegistry.h"
#include "platform/FileSystem.h"
#include "platform/Instances.h"
#include "platform/MessageService.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <cerrno>

namespace editor {

namespace {

constexpr const char* kCaption = "Vellora";
constexpr const char* kRunnerProgram = "gorvex";

bool IsFile(const std::string& path) { return !path.empty() && platform::PathExists(path) && !platform::IsFolder(path); }

}  // namespace

StartProgram StartDetached() {
    return [](const std::string& program, const std::string& argument, int& error) {
        // One argument, whatever spaces it holds: no shell is involved.
        if (QProcess::startDetached(QString::fromStdString(program), {QString::fromStdString(argument)})) return true;
        error = platform::PathExists(program) ? EACCES : ENOENT;
        return false;
    };
}

void LaunchRunner(const std::string& jobPath, const std::string& editorFolder, const StartProgram& start) {
    // 1, 2.
    if (const auto running = platform::FindInstance("Run Backup", platform::FileNamePart(jobPath))) {
        platform::Messages().Show("Backup job already running!\nPress OK to view.", kCaption,
                                  platform::MB_OK | platform::MB_ICONINFORMATION);
        platform::AskToShow(*running);
        return;
    }
    // 3.
    std::string runner = jobmodel::GetRunnerPath(false);
    if (!IsFile(runner)) runner = editorFolder + "/" + kRunnerProgram;
    if (!IsFile(runner)) {
        platform::Messages().Show(std::string("Error: Cannot run the Backup !\nUnable to find application ") +
                                      kRunnerProgram + "\n",
                                  kCaption, platform::MB_OK);
        return;
    }
    // 4 to 6.
    int error = 0;
    if (!start(runner, jobPath, error))
        platform::Messages().Show("Error Starting Application - " + platform::FileNamePart(runner) + "\n\n" +
                                      platform::GetSystemErrorText(error),
                                  kCaption, platform::MB_OK);
}

void RunBackup(jobmodel::CAppDoc& doc, const std::function<bool()>& save, const std::string& editorFolder,
               const StartProgram& start) {
    if (doc.m_nDocKind != jobmodel::kDocJob) return;
    if (doc.GetPathName().empty()) {
        if (platform::Messages().Show("You must save the job before invoking the Backup !\nDo you wish to do this now?",
                                      kCaption, platform::MB_YESNO) != platform::IDYES)
            return;
        if (!save() || doc.GetPathName().empty()) return;
    }
    if (doc.IsModified() &&
        platform::Messages().Show("Do you wish to save changes before invoking the Backup ?\n", kCaption,
                                  platform::MB_YESNO | platform::MB_ICONQUESTION) == platform::IDYES)
        save();
    LaunchRunner(doc.GetPathName(), editorFolder, start);
}

}  // namespace editor
