#include "editor/ProgramOptions.h"

#include "platform/FileSystem.h"
#include "platform/MessageService.h"

#include <QProcess>
#include <QStandardPaths>

namespace editor {

namespace {

constexpr const char* kCaption = "Vellora";

// A folder that is there, or that the user let us make.
bool FolderReady(const std::string& folder, const std::string& question, unsigned icon) {
    if (platform::IsFolder(folder)) return true;
    if (platform::Messages().Show(question, kCaption, platform::MB_YESNO | icon) != platform::IDYES) return false;
    if (const int err = platform::CreateFolderPath(folder)) {
        platform::Messages().Show(platform::GetSystemErrorText(err), kCaption, platform::MB_OK | platform::MB_ICONSTOP);
        return false;
    }
    return true;
}

}  // namespace

ProgramOptions LoadProgramOptions(const jobmodel::CSettingsRegistry& s) {
    ProgramOptions o;
    o.jobFolder = s.GetJobFolder();
    o.logFolder = s.GetLogFolder();
    o.tempFolder = s.GetTempFolder();
    o.useTempFile = true;
    o.useWinTempFolder = s.GetUseWinTempFolder();
    o.playSounds = s.GetPlaySounds();
    o.showBalloonTips = s.GetShowBalloonTips();
    o.useIndexFiles = s.GetUseIndexFiles();
    o.hideBackupWindows = s.GetHideBackupWindows();
    o.hideErrorMessages = s.GetHideErrorMessages();
    o.closeBackupWindows = s.GetCloseBackupWindows();
    o.closeIfSuccess = s.GetCloseIfSuccess();
    return o;
}

ProgramOptionsEnabling OptionsEnabling(const ProgramOptions& o) {
    return {o.hideBackupWindows, o.closeBackupWindows, o.useTempFile, o.useTempFile && !o.useWinTempFolder};
}

bool FillSystemTempFolder(ProgramOptions& o, const std::string& systemTemp) {
    if (systemTemp.empty()) {
        platform::Messages().Show("Unable to locate Temp Folder!", kCaption, platform::MB_OK | platform::MB_ICONSTOP);
        return false;
    }
    o.tempFolder = systemTemp;
    return true;
}

FolderField CheckFolders(const ProgramOptions& o) {
    if (!FolderReady(o.jobFolder, "The Job Folder '" + o.jobFolder + "'\n does not exist!\n\nDo You wish to create it?", 0))
        return FolderField::Jobs;
    if (!FolderReady(o.logFolder, "The Log Folder '" + o.logFolder + "'\n does not exist!\n\nDo You wish to create it?",
                     platform::MB_ICONQUESTION))
        return FolderField::Log;
    if (!o.useWinTempFolder &&
        !FolderReady(o.tempFolder, "The Temp Folder " + o.tempFolder + "\n does not exist!\n\nDo You wish to create it?",
                     platform::MB_ICONQUESTION))
        return FolderField::Temp;
    return FolderField::None;
}

void SaveProgramOptions(const ProgramOptions& o, const jobmodel::CSettingsRegistry& s) {
    s.SetJobFolder(o.jobFolder);
    s.SetLogFolder(o.logFolder);
    s.SetUseTempFile(o.useTempFile);
    s.SetUseWinTempFolder(o.useWinTempFolder);
    s.SetTempFolder(o.tempFolder);
    s.SetPlaySounds(o.playSounds);
    s.SetShowBalloonTips(o.showBalloonTips);
    s.SetUseIndexFiles(o.useIndexFiles);
    s.SetHideBackupWindows(o.hideBackupWindows);
    s.SetHideErrorMessages(o.hideErrorMessages);
    s.SetCloseBackupWindows(o.closeBackupWindows);
    s.SetCloseIfSuccess(o.closeIfSuccess);
}

bool OpenSoundSettings() {
    const std::pair<const char*, QStringList> programs[] = {{"gnome-control-center", {"sound"}},
                                                            {"systemsettings", {"kcm_notifications"}}};
    for (const auto& [program, arguments] : programs) {
        const QString found = QStandardPaths::findExecutable(program);
        if (!found.isEmpty() && QProcess::startDetached(found, arguments)) return true;
    }
    platform::Messages().Show("Error Opening Control Panel - \n\nNo sound settings program was found.", kCaption,
                              platform::MB_OK | platform::MB_ICONSTOP);
    return false;
}

}  // namespace editor
