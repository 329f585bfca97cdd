#include "editor/BackupPage.h"

#include "tests/support/InstalledMessages.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace editor;

namespace {

class BackupPageTest : public ::testing::Test {
protected:
    testsupport::IsolatedUser user;
    testsupport::InstalledMessages messages;
    CBackupTree tree;
    jobmodel::CAppDoc doc{jobmodel::DocHost::Editor};
    std::string usb;

    void SetUp() override {
        doc.OnNewDocument();
        testsupport::WriteFile(user.Root() + "/data/a.txt", "a");
        usb = user.Root() + "/media/usb";
        std::filesystem::create_directories(usb + "/deep");
        testsupport::WriteFile(user.Root() + "/media.txt", usb + "\tremovable\tvfat\tUSB\n");
        setenv("VELLORA_MEDIA", (user.Root() + "/media.txt").c_str(), 1);
        tree.InitRoot();
        tree.SelectPath(user.Root() + "/data", selection::kFolderTree, false);
    }
    void TearDown() override { unsetenv("VELLORA_MEDIA"); }
};

}  // namespace

TEST_F(BackupPageTest, SavingChecksTheBackupFileInOrder) {
    const std::string here = user.Root() + "/backups/";
    const struct {
        std::string file;
        int answer;  // to a question, when one is asked
        bool saved;
        std::string message;
        std::string stored;
    } cases[] = {
        {"", 0, false, "Backup destination filename incomplete!!", ""},
        {"relative/Daily.velarc", 0, false, "Backup destination filename incomplete!!", ""},
        {here + "Da|ly.velarc", 0, false,
         "There are invalid characters in the Backup Destination File\nDa|ly.velarc\nNote: The following characters "
         "are not permitted \\ / : * ? \" < > |\n\nPlease re-enter the filename",
         ""},
        {here + "Daily.VELARC", 0, true, "", here + "Daily.VELARC"},
        {here + "Daily.zip", 0, true, "", here + "Daily.zip"},
        {here + "Daily.bak", platform::IDYES, true,
         "The Backup Destination Filename 'Daily.bak' is invalid !!\nThe file extension must be .velarc (default) or "
         ".zip\n\nPress 'Yes' to use the default extension or 'No' to Edit it",
         here + "Daily.bak.velarc"},
        {here + "Daily.bak", platform::IDNO, false,
         "The Backup Destination Filename 'Daily.bak' is invalid !!\nThe file extension must be .velarc (default) or "
         ".zip\n\nPress 'Yes' to use the default extension or 'No' to Edit it",
         ""},
        {usb + "/deep/Daily.velarc", 0, true,
         "The backup destination file must be in the Root Folder\non a removable disk!\n\nThe Path " + usb +
             "/deep/Daily.velarc will be modified to " + usb + "/Daily.velarc",
         usb + "/Daily.velarc"},
    };
    for (const auto& c : cases) {
        messages.Clear();
        if (c.answer) messages.Answer(c.answer);
        doc.m_BackupSettings.m_strBackupFile = "unchanged";
        BackupPageFields fields = LoadBackupPage(doc);
        fields.backupFile = c.file;
        EXPECT_EQ(SaveBackupPage(fields, tree, doc), c.saved) << c.file;
        EXPECT_EQ(messages.Texts().empty() ? "" : messages.Texts()[0], c.message) << c.file;
        EXPECT_EQ(doc.m_BackupSettings.m_strBackupFile, c.saved ? c.stored : "unchanged") << c.file;
    }
}

TEST_F(BackupPageTest, SavingStoresTheFieldsAndTheMarks) {
    BackupPageFields fields = LoadBackupPage(doc);
    fields.backupFile = user.Root() + "/Daily.velarc";
    fields.description = "letters";
    ChooseFilterMode(fields, jobmodel::kFilterExclude);
    EXPECT_TRUE(AddFileType(fields, "*.tmp"));
    EXPECT_FALSE(AddFileType(fields, ""));
    EXPECT_FALSE(AddFileType(fields, "cache/*.tmp"));
    EXPECT_TRUE(AddFileType(fields, "~*"));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"The File Specification 'cache/*.tmp' is invalid"});
    ASSERT_TRUE(SaveBackupPage(fields, tree, doc));
    const auto& backup = doc.m_BackupSettings;
    EXPECT_EQ(backup.m_strDescription, "letters");
    EXPECT_EQ(backup.m_nFileFilterMode, jobmodel::kFilterExclude);
    EXPECT_EQ(backup.m_strFileTypes, "*.tmp:~*:");
    ASSERT_EQ(backup.m_items.GetCount(), 1);
    EXPECT_EQ(backup.m_items.GetAt(0).m_strPath, user.Root() + "/data");
    EXPECT_EQ(backup.m_items.GetAt(0).m_nState, selection::kFolderTree);

    // Nothing marked: the save is refused.
    tree.InitRoot();
    messages.Clear();
    EXPECT_FALSE(SaveBackupPage(fields, tree, doc));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"There are no files selected for backup !!"});

    ChooseFilterMode(fields, jobmodel::kFilterAll);
    EXPECT_EQ(fields.fileTypes, std::vector<std::string>{"*"});
    doc.m_BackupSettings.m_nFileFilterMode = 7;
    EXPECT_EQ(LoadBackupPage(doc).filterMode, jobmodel::kFilterAll);
}

TEST_F(BackupPageTest, FilesAreShownWhenTheJobSelectsOne) {
    jobmodel::CBackupItemArray folders, withFile;
    folders.AddItem("/home/ann/Docs", selection::kFolderTree, 16);
    withFile.AddItem("/home/ann/Docs", selection::kFolderTree, 16);
    withFile.AddItem("/home/ann/a.txt", selection::kFileSelected, 32);
    EXPECT_FALSE(InitialShowFiles(folders, false));
    EXPECT_TRUE(InitialShowFiles(folders, true));
    EXPECT_TRUE(InitialShowFiles(withFile, false));
}
