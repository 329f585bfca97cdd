#include "editor/EditorStartup.h"

#include "desktop/MessageBoxes.h"
#include "platform/ProgramStart.h"
#include "editor/MainFrame.h"
#include "editor/RunnerLaunch.h"
#include "editor/TipOfTheDay.h"
#include "jobmodel/SettingsRegistry.h"
#include "platform/FileSystem.h"
#include "platform/Instances.h"

#include <QApplication>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <strings.h>

namespace editor {

namespace {

constexpr int kExitCannotStart = 2;

bool IsBackupSwitch(const std::string& parameter) {
    // "/backup" on the system the editor comes from; "-backup" and
    // "--backup" as Linux programs spell switches.
    for (const char* spelling : {"/backup", "-backup", "--backup"})
        if (::strcasecmp(parameter.c_str(), spelling) == 0) return true;
    return false;
}


}  // namespace

EditorCommandLine ParseCommandLine(const std::vector<std::string>& parameters) {
    EditorCommandLine line;
    for (const auto& parameter : parameters) {
        line.runBackup = IsBackupSwitch(parameter);
        if (!line.runBackup && line.file.empty()) {
            std::error_code ec;
            line.file = std::filesystem::absolute(parameter, ec).lexically_normal().string();
        }
    }
    return line;
}

int RunEditor(int argc, char** argv) {
    bool headless = false;
    if (!platform::PrepareProgramStart("vellora", headless)) return kExitCannotStart;
    QApplication app(argc, argv);
    platform::StderrMessageService printed;
    desktop::BoxMessageService boxes;
    platform::SetMessageService(headless ? static_cast<platform::IMessageService*>(&printed) : &boxes);
    const EditorCommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    const std::string editorFolder = QCoreApplication::applicationDirPath().toStdString();
    if (line.runBackup) {
        if (!line.file.empty()) LaunchRunner(line.file, editorFolder, StartDetached());
        return 0;
    }
    // Another editor showing the file is brought forward instead.
    if (!line.file.empty()) {
        if (const auto other = platform::FindInstance("Vellora", platform::FileNamePart(line.file))) {
            platform::AskToShow(*other);
            return 0;
        }
    }
    std::setlocale(LC_ALL, "");
    CMainFrame* shown = nullptr;
    platform::InstanceRegistration instance;
    if (!instance.Register("Vellora", "Vellora", [&] {
            if (!shown) return;
            shown->showNormal();
            shown->raise();
            shown->activateWindow();
        })) {
        std::fprintf(stderr, "vellora: %s\n", instance.Error().c_str());
        return kExitCannotStart;
    }
    jobmodel::ChooseSettingsRoot();
    jobmodel::CAppDoc doc(jobmodel::DocHost::Editor);
    CMainFrame frame(doc);
    QObject::connect(&frame, &QWidget::windowTitleChanged, &frame,
                     [&](const QString& title) { instance.SetTitle(title.toStdString()); });
    if (line.file.empty() ? !frame.NewJob() : !frame.OpenFile(line.file)) return kExitCannotStart;
    instance.SetTitle(frame.windowTitle().toStdString());
    shown = &frame;
    frame.show();
    if (!headless && CTipOfTheDay::ShowAtStartUp()) frame.ShowTip();
    return app.exec();
}

}  // namespace editor
