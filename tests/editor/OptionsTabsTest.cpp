#include "editor/OptionsTabs.h"

#include "tests/support/InstalledMessages.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <QTest>

#include <cstdlib>
#include <filesystem>

using namespace editor;

namespace {

class OptionsTabsTest : public ::testing::Test {
protected:
    testsupport::IsolatedUser user;
    testsupport::InstalledMessages messages;
    jobmodel::CAppDoc doc{jobmodel::DocHost::Editor};
    int modified = 0;

    void SetUp() override {
        doc.OnNewDocument();
        doc.m_BackupSettings.m_strBackupFile = user.Root() + "/backups/Daily.velarc";
    }
};

}  // namespace

TEST_F(OptionsTabsTest, OnAFixedDiskTheRemovableRulesAreOffAndPasswordsGoThroughTheDialogs) {
    doc.m_JobOptions.m_nDiskSpanning = jobmodel::kSpanAlways;
    COptionsTab tab(doc, [&] { ++modified; });
    EXPECT_EQ(tab.m_spanning->currentText(), "Never");
    EXPECT_FALSE(tab.m_spanning->isEnabled());
    EXPECT_FALSE(tab.m_useVolumeName->isEnabled());
    EXPECT_EQ(tab.m_nonEmpty->currentText(), "Append files");
    EXPECT_TRUE(tab.m_archive->isEnabled());
    EXPECT_TRUE(tab.m_purgeDays->isEnabled());
    EXPECT_FALSE(tab.m_change->isEnabled());

    // Ticking "Use Password" asks for a new one; a mismatch is refused first.
    std::vector<std::string> refusalsSeen;
    tab.m_exec = [&](QDialog& dialog) {
        auto& set = dynamic_cast<CdlgZipSetPassword&>(dialog);
        set.m_new->setText("s3cret");
        set.m_confirm->setText("s3cre");
        set.accept();
        refusalsSeen.push_back(messages.Texts().empty() ? "" : messages.Texts().back());
        set.m_confirm->setText("s3cret");
        set.accept();
        return set.result();
    };
    tab.m_usePassword->click();
    std::filesystem::create_directories(SCREENSHOT_DIR);
    CdlgZipSetPassword change("old");
    change.show();
    EXPECT_TRUE(change.grab().save(SCREENSHOT_DIR "/password-dialog.png"));
    CPasswordPrompt prompt("You must enter the current password to remove it!\nPlease enter the password here...");
    prompt.show();
    EXPECT_TRUE(prompt.grab().save(SCREENSHOT_DIR "/password-prompt.png"));
    EXPECT_EQ(refusalsSeen, std::vector<std::string>{"The New Password does not match the Confirmation Password "
                                                     "!!\n\nPlease re-enter the Passwords."});
    EXPECT_EQ(doc.m_JobOptions.m_strPassword, "s3cret");
    EXPECT_TRUE(tab.m_usePassword->isChecked());
    EXPECT_TRUE(tab.m_change->isEnabled());
    // Unticking it wants the current password; a wrong one keeps it.
    for (const char* entered : {"wrong", "s3cret"}) {
        tab.m_exec = [&](QDialog& dialog) {
            dynamic_cast<CPasswordPrompt&>(dialog).m_password->setText(entered);
            return int(QDialog::Accepted);
        };
        tab.m_usePassword->click();
    }
    EXPECT_FALSE(tab.m_usePassword->isChecked());
    EXPECT_EQ(doc.m_JobOptions.m_strPassword, "");
    EXPECT_EQ(doc.m_JobOptions.m_bPasswordChanged, 1);
    EXPECT_EQ(messages.Texts().back(), "The Password will be removed the next time this backup job runs!\n");

    tab.m_compression->setCurrentIndex(3);
    emit tab.m_compression->activated(3);
    ASSERT_TRUE(tab.SaveToJob());
    EXPECT_EQ(doc.m_JobOptions.m_nCompressionLevel, 9);
    EXPECT_GT(modified, 0);
    tab.resize(620, 420);
    std::filesystem::create_directories(SCREENSHOT_DIR);
    EXPECT_TRUE(tab.grab().save(SCREENSHOT_DIR "/options-tab.png"));
}

TEST_F(OptionsTabsTest, LoggingSectionsFollowTheLogSwitchAndANewJobIsSavedFirst) {
    doc.m_LogSettings.m_bLogSkipped = 0;
    int saves = 0;
    CLoggingTab tab(doc, [&] { ++modified; }, [&] {
        ++saves;
        return true;
    });
    EXPECT_TRUE(tab.m_createLog->isChecked());
    EXPECT_FALSE(tab.m_errors->isEnabled());
    EXPECT_FALSE(tab.m_viewLastLog->isEnabled());  // no log yet
    EXPECT_FALSE(tab.m_sections[5]->isChecked());
    messages.Answer(platform::IDNO);
    tab.m_createLog->click();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{
                                    "This Job must be saved before a Logging can be enabled!\n\nDo you wish to save it now?"});
    EXPECT_EQ(saves, 0);
    for (QCheckBox* box : tab.m_sections) EXPECT_FALSE(box->isEnabled());
    ASSERT_TRUE(tab.SaveToJob());
    EXPECT_EQ(doc.m_LogSettings.m_bCreateLog, 0);
    EXPECT_EQ(doc.m_LogSettings.m_bLogSkipped, 0);
    EXPECT_EQ(doc.m_LogSettings.m_bLogSummary, 1);
    tab.resize(620, 300);
    std::filesystem::create_directories(SCREENSHOT_DIR);
    EXPECT_TRUE(tab.grab().save(SCREENSHOT_DIR "/logging-tab.png"));
}

TEST_F(OptionsTabsTest, ABackupOnADiskThatIsNotInTheDriveKeepsItsRemovableRules) {
    // A removable drive declared, its disk taken out.
    const std::string usb = user.Root() + "/media/usb";
    testsupport::WriteFile(user.Root() + "/media.txt", usb + "\tremovable\tvfat\tUSB\n");
    setenv("VELLORA_MEDIA", (user.Root() + "/media.txt").c_str(), 1);
    doc.m_BackupSettings.m_strBackupFile = usb + "/Daily.velarc";
    doc.m_JobOptions.m_nDiskSpanning = jobmodel::kSpanEnable;
    COptionsTab tab(doc, [&] { ++modified; });
    EXPECT_TRUE(tab.m_spanning->isEnabled());
    EXPECT_EQ(tab.m_spanning->currentText(), "Enable");
    tab.m_useVolumeName->click();
    tab.m_readLabel->click();
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>{"Cannot Read Volume Label from destination path:\n" + usb + "/Daily.velarc"});
    EXPECT_EQ(tab.m_volumeName->text(), "BACKUP");
    unsetenv("VELLORA_MEDIA");
}
