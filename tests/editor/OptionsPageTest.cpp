#include "editor/OptionsPage.h"

#include "tests/support/InstalledMessages.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace editor;

namespace {

class OptionsPageTest : public ::testing::Test {
protected:
    testsupport::IsolatedUser user;
    testsupport::InstalledMessages messages;
    jobmodel::CAppDoc doc{jobmodel::DocHost::Editor};
    std::string usb;

    void SetUp() override {
        doc.OnNewDocument();
        usb = user.Root() + "/media/usb";
        std::filesystem::create_directories(usb);
        testsupport::WriteFile(user.Root() + "/media.txt", usb + "\tremovable\tvfat\tHOLIDAYS2026\n");
        setenv("VELLORA_MEDIA", (user.Root() + "/media.txt").c_str(), 1);
    }
    void TearDown() override { unsetenv("VELLORA_MEDIA"); }
};

}  // namespace

TEST_F(OptionsPageTest, EnablingFollowsTheDestinationSpanningPasswordAndArchive) {
    const struct {
        bool removable;
        int spanning;
        bool useVolumeName, usePassword, archive;
        OptionsEnabling expected;
        bool archiveAfter;
    } cases[] = {
        // volumeNameBox, volumeName, spanning, nonEmpty, archive, change, purgeDays
        {false, jobmodel::kSpanNever, true, false, true, {false, false, false, false, true, false, true}, true},
        {true, jobmodel::kSpanNever, true, true, true, {true, true, true, false, true, true, true}, true},
        {true, jobmodel::kSpanEnable, false, false, true, {true, false, true, true, false, false, false}, false},
        {true, jobmodel::kSpanAlways, false, false, false, {true, false, true, true, false, false, false}, false},
        {false, jobmodel::kSpanNever, false, false, false, {false, false, false, false, true, false, false}, false},
    };
    for (const auto& c : cases) {
        OptionsPageFields f;
        f.spanning = c.spanning;
        f.useVolumeName = c.useVolumeName;
        f.usePassword = c.usePassword;
        f.archive = c.archive;
        const OptionsEnabling e = UpdateEnabling(f, c.removable);
        const bool got[] = {e.volumeNameBox, e.volumeName, e.spanning, e.nonEmpty, e.archive, e.change, e.purgeDays};
        const bool want[] = {c.expected.volumeNameBox, c.expected.volumeName, c.expected.spanning, c.expected.nonEmpty,
                             c.expected.archive, c.expected.change, c.expected.purgeDays};
        for (int i = 0; i < 7; ++i) EXPECT_EQ(got[i], want[i]) << "case spanning " << c.spanning << " control " << i;
        EXPECT_EQ(f.archive, c.archiveAfter);
    }
}

TEST_F(OptionsPageTest, LoadingAndSavingTheJobsOptions) {
    auto& o = doc.m_JobOptions;
    o.m_nCompressionLevel = 9;
    o.m_nDiskSpanning = jobmodel::kSpanEnable;
    o.m_nNonEmptyDiskAction = jobmodel::kAbortBackup;
    // On a fixed disk the job never spans and appends.
    doc.m_BackupSettings.m_strBackupFile = user.Root() + "/Daily.velarc";
    OptionsPageFields f = LoadOptionsPage(doc, RemovableDestination(doc));
    EXPECT_EQ(f.compressionIndex, 3);
    EXPECT_EQ(f.spanning, jobmodel::kSpanNever);
    EXPECT_EQ(f.nonEmpty, jobmodel::kAppendFiles);
    doc.m_BackupSettings.m_strBackupFile = usb + "/Daily.velarc";
    ASSERT_TRUE(RemovableDestination(doc));
    f = LoadOptionsPage(doc, true);
    EXPECT_EQ(f.spanning, jobmodel::kSpanEnable);
    EXPECT_EQ(f.nonEmpty, jobmodel::kAbortBackup);

    f.useVolumeName = true;
    f.volumeName.clear();
    EXPECT_FALSE(SaveOptionsPage(f, doc));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Please Enter the Volume Label Name"});
    std::string label;
    ASSERT_TRUE(ReadDestinationLabel(doc, label));
    EXPECT_EQ(label, "HOLIDAYS2");  // an 11-character label, cut to 9
    f.volumeName = label;
    f.compressionIndex = 1;
    ASSERT_TRUE(SaveOptionsPage(f, doc));
    EXPECT_EQ(o.m_nCompressionLevel, 1);
    EXPECT_EQ(o.m_strVolumeName, "HOLIDAYS2");
    doc.m_BackupSettings.m_strBackupFile = "";
    EXPECT_FALSE(ReadDestinationLabel(doc, label));
    EXPECT_EQ(messages.Texts().back(), "Cannot Read Volume Label from destination path:\n");
}

TEST_F(OptionsPageTest, PasswordsChangeAndGoOnlyWithTheRightOldOne) {
    auto& o = doc.m_JobOptions;
    EXPECT_EQ(PasswordRefusal("", "", "pw", "pw"), "");
    EXPECT_EQ(PasswordRefusal("", "", "pw", "pv"),
              "The New Password does not match the Confirmation Password !!\n\nPlease re-enter the Passwords.");
    EXPECT_EQ(PasswordRefusal("pw", "PW", "new", "new"),
              "The Old Password is incorrect !!\n\nPlease re-enter the Old Password");
    bool use = true;
    TakeNewPassword(doc, "pw", use);
    EXPECT_EQ(o.m_strPassword, "pw");
    EXPECT_EQ(o.m_bPasswordChanged, 1);
    EXPECT_TRUE(doc.IsModified());
    // The same password again changes nothing and says nothing.
    o.m_bPasswordChanged = 0;
    const size_t told = messages.Texts().size();
    TakeNewPassword(doc, "pw", use);
    EXPECT_EQ(o.m_bPasswordChanged, 0);
    EXPECT_EQ(messages.Texts().size(), told);
    EXPECT_FALSE(RemovePassword(doc, "wrong"));
    EXPECT_EQ(o.m_strPassword, "pw");
    EXPECT_TRUE(RemovePassword(doc, "pw"));
    EXPECT_EQ(o.m_strPassword, "");
    TakeNewPassword(doc, "x", use);
    TakeNewPassword(doc, "", use);
    EXPECT_FALSE(use);
    EXPECT_EQ(messages.Texts(),
              (std::vector<std::string>{"The Password will be changed the next time this backup job runs!\n",
                                        "Invalid Password entered, cannot remove Password!!!",
                                        "The Password will be removed the next time this backup job runs!\n",
                                        "The Password will be changed the next time this backup job runs!\n",
                                        "No password entered, the password will be\nremoved the next time this "
                                        "backup job runs!."}));
}
