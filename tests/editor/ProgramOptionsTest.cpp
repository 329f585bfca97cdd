#include "editor/ProgramOptionsDialog.h"

#include "platform/FileSystem.h"

#include "tests/support/InstalledMessages.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace editor;
namespace fs = std::filesystem;

namespace {

class ProgramOptionsTest : public ::testing::Test {
protected:
    testsupport::IsolatedUser user;
    testsupport::InstalledMessages messages;
    const jobmodel::CSettingsRegistry settings{jobmodel::Hive::CurrentUser};

    void SetUp() override {
        settings.SetJobFolder(user.Root() + "/Jobs");
        settings.SetLogFolder(user.Root() + "/Log");
        settings.SetTempFolder(user.Root() + "/Temp");
        settings.SetUseTempFile(0);
        settings.SetCloseBackupWindows(1);
        settings.SetCloseIfSuccess(1);
        for (const char* folder : {"/Jobs", "/Log", "/Temp"}) fs::create_directories(user.Root() + folder);
    }
};

}  // namespace

TEST_F(ProgramOptionsTest, OkWithoutChangesRewritesEverySettingWithTheTempFileOn) {
    CProgramOptionsDialog dialog(settings);
    EXPECT_EQ(dialog.windowTitle(), "Vellora Options");
    EXPECT_EQ(dialog.m_jobFolder->text().toStdString(), user.Root() + "/Jobs");
    EXPECT_TRUE(dialog.m_useTempFile->isChecked());
    EXPECT_FALSE(dialog.m_hideErrors->isEnabled());  // "Hide Backup Windows" is off
    EXPECT_TRUE(dialog.m_onlyIfSuccess->isEnabled());
    EXPECT_TRUE(dialog.m_tempFolder->isEnabled());
    dialog.m_closeWindows->click();
    EXPECT_FALSE(dialog.m_onlyIfSuccess->isEnabled());
    EXPECT_TRUE(dialog.m_onlyIfSuccess->isChecked());
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(settings.GetUseTempFile(), 1);
    EXPECT_EQ(settings.GetCloseBackupWindows(), 0);
    EXPECT_EQ(settings.GetCloseIfSuccess(), 1);  // greyed out, still saved
    EXPECT_TRUE(messages.Texts().empty());
    dialog.resize(480, dialog.sizeHint().height());
    dialog.show();
    fs::create_directories(SCREENSHOT_DIR);
    EXPECT_TRUE(dialog.grab().save(SCREENSHOT_DIR "/options-dialog.png"));
}

TEST_F(ProgramOptionsTest, MissingFoldersAreOfferedAndNoKeepsTheDialogOpen) {
    CProgramOptionsDialog dialog(settings);
    const std::string jobs = user.Root() + "/New Jobs", logs = user.Root() + "/New Log";
    dialog.m_jobFolder->setText(QString::fromStdString(jobs));
    dialog.m_logFolder->setText(QString::fromStdString(logs));
    messages.Answer(platform::IDYES);
    messages.Answer(platform::IDNO);
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(fs::is_directory(jobs));
    EXPECT_FALSE(fs::exists(logs));
    EXPECT_EQ(messages.Texts(),
              (std::vector<std::string>{"The Job Folder '" + jobs + "'\n does not exist!\n\nDo You wish to create it?",
                                        "The Log Folder '" + logs + "'\n does not exist!\n\nDo You wish to create it?"}));
    EXPECT_EQ(messages.Messages()[0].style, platform::MB_YESNO);
    EXPECT_EQ(messages.Messages()[1].style, platform::MB_YESNO | platform::MB_ICONQUESTION);
    EXPECT_EQ(settings.GetLogFolder(), user.Root() + "/Log");  // nothing written
    // The system's temporary folder needs no question.
    messages.Clear();
    dialog.m_logFolder->setText(QString::fromStdString(user.Root() + "/Log"));
    dialog.m_tempFolder->setText(QString::fromStdString(user.Root() + "/gone"));
    dialog.m_winTemp->click();
    EXPECT_FALSE(dialog.m_tempFolder->isEnabled());
    EXPECT_EQ(dialog.m_tempFolder->text().toStdString(), platform::GetWindowsTempFolder());
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_EQ(settings.GetJobFolder(), jobs);
    EXPECT_EQ(settings.GetUseWinTempFolder(), 1);
}

TEST_F(ProgramOptionsTest, TheSystemTempFolderAndTheSoundSettingsMayBeMissing) {
    ProgramOptions options;
    options.tempFolder = "/kept";
    EXPECT_FALSE(FillSystemTempFolder(options, ""));
    EXPECT_EQ(options.tempFolder, "/kept");
    const std::string path = std::getenv("PATH");
    setenv("PATH", "/nonexistent", 1);
    EXPECT_FALSE(OpenSoundSettings());
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Unable to locate Temp Folder!",
                                                          "Error Opening Control Panel - \n\nNo sound settings "
                                                          "program was found."}));
}
