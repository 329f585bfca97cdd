#include "engine/BackupEngine.h"

#include "platform/FileSystem.h"
#include "platform/Volumes.h"
#include "tests/support/InstalledMessages.h"
#include "tests/support/IsolatedUser.h"
#include "tests/support/Process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace engine;
using testsupport::WriteFile;

namespace {


class RemovableMedia : public ::testing::Test {
protected:
    testsupport::IsolatedUser user;
    testsupport::InstalledMessages messages;
    CNullRunView view;
    std::string usb, media, data;

    void SetUp() override {
        usb = user.Root() + "/media/usb";
        media = user.Root() + "/media.txt";
        data = user.Root() + "/data";
        std::filesystem::create_directories(usb);
        WriteFile(data + "/a.txt", "a");
        Declare("OTHER");
        setenv("VELLORA_MEDIA", media.c_str(), 1);
        jobmodel::CSettingsRegistry(jobmodel::Hive::CurrentUser).SetLogFolder(user.Root());
    }
    void TearDown() override { unsetenv("VELLORA_MEDIA"); }
    void Declare(const std::string& label) { WriteFile(media, usb + "\tremovable\tvfat\t" + label + "\n"); }
    std::string Label() {
        std::string label;
        EXPECT_EQ(platform::GetVolumeLabel(usb, label), 0);
        return label;
    }
    std::string Run(bool withMissingItem = false) {
        jobmodel::CAppDoc doc(jobmodel::DocHost::Runner);
        doc.OnNewDocument();
        doc.m_BackupSettings.m_strBackupFile = usb + "/Backups/Daily.velarc";
        doc.m_BackupSettings.m_items.AddItem(data, jobmodel::kStateFolderTree, 16);
        if (withMissingItem) doc.m_BackupSettings.m_items.AddItem(user.Root() + "/gone", jobmodel::kStateFile, 32);
        doc.m_JobOptions.m_bUseVolumeName = 1;
        doc.m_JobOptions.m_strVolumeName = "BACKUP";
        doc.m_JobOptions.m_bVerify = 0;
        doc.OnSaveDocument(user.Root() + "/Daily.vlj");
        const jobmodel::CSettingsRegistry settings(jobmodel::Hive::CurrentUser);
        CBackupEngine run(doc, settings, view);
        run.RunBackup();
        return run.FinalStatus();
    }
};

}  // namespace

TEST(VolumeNames, NineCharactersTrailingSpacesAndCase) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {{"BACKUPDISK1", "backupdisk", true}, {"BACKUP   01", "BACKUP", true}, {"BACKUP", "backup  ", true},
                 {"BACKUP", "BACKUPS", false},         {"", "", true},                  {"A", "", false}};
    for (const auto& c : cases) EXPECT_EQ(CBackupEngine::SameVolumeName(c.a, c.b), c.same) << c.a << "|" << c.b;
}

TEST(Volumes, TheRootFileSystemIsAFixedDrive) {
    platform::VolumeInfo info;
    ASSERT_EQ(platform::GetVolumeInfo("/", info), 0);
    EXPECT_EQ(info.root, "/");
    EXPECT_NE(info.type, platform::DriveType::Removable);
    EXPECT_FALSE(info.fileSystem.empty());
}

TEST_F(RemovableMedia, IgnoreLabelsTheDiskAndACleanRunKeepsTheLabel) {
    messages.Answer(platform::IDIGNORE);
    EXPECT_EQ(Run(), "Backup Completed Successfully.");
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0],
              "The Volume Name ' OTHER ' currently in drive " + usb +
                  "\ndoes not match the Volume Name ' BACKUP ' required for this backup !\n\n- Insert the backup disk "
                  "with the volume name ' BACKUP '\n  and press Retry to continue.\n- Press Ignore to rename the "
                  "volume and use this disk.\n- Press Abort to Cancel.\n");
    EXPECT_EQ(Label(), "BACKUP   01");
    EXPECT_EQ(testsupport::RunProgram("unzip", {"-tq", usb + "/Backups/Daily.velarc"}).exitCode, 0);
}

TEST_F(RemovableMedia, ARunThatIsNotCleanPutsTheOldLabelBack) {
    messages.Answer(platform::IDIGNORE);
    EXPECT_EQ(Run(true), "Backup COMPLETED, Some FILE WARNINGS Occurred !!!");
    EXPECT_EQ(Label(), "OTHER");
}

TEST_F(RemovableMedia, MatchingDiskRunsWithoutQuestionsAndAbortEndsTheRun) {
    Declare("backup");
    EXPECT_EQ(Run(), "Backup Completed Successfully.");
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_EQ(Label(), "backup");

    Declare("OTHER");
    messages.Answer(platform::IDABORT);
    EXPECT_EQ(Run(), "Backup ABORTED !!!");
}

TEST_F(RemovableMedia, AMissingDiskIsNotAccessibleAndNothingLandsInTheMountPoint) {
    std::filesystem::remove_all(usb);
    messages.Answer(platform::IDRETRY);
    EXPECT_EQ(Run(), "Backup ABORTED !!!");
    ASSERT_EQ(messages.Texts().size(), 2u);
    EXPECT_EQ(messages.Texts()[0].rfind(usb + " is not accessible.\n", 0), 0u);
    EXPECT_FALSE(platform::PathExists(usb));
}
