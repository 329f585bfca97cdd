#include "jobmodel/DeleteJob.h"

#include "jobmodel/AppDoc.h"
#include "jobmodel/BackupIndexFile.h"
#include "jobmodel/SettingsRegistry.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "tests/support/InstalledMessages.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

using namespace jobmodel;
using testsupport::IsolatedUser;

namespace {

class DeleteJob : public ::testing::Test {
protected:
    IsolatedUser user;
    testsupport::InstalledMessages messages;
    std::string jobPath;
    std::string backupPath;

    void SetUp() override {
        jobPath = user.Root() + "/Jobs/Daily.vlj";
        backupPath = user.Root() + "/Backups/Daily.velarc";
        platform::CreateFolderPath(user.Root() + "/Jobs");
        CAppDoc doc(DocHost::Editor);
        doc.OnNewDocument();
        doc.m_BackupSettings.m_strBackupFile = backupPath;
        doc.m_ScheduleSettings.m_bScheduleEnabled = 1;
        doc.m_ScheduleSettings.m_strTaskName = "Daily.vlj.job";
        ASSERT_TRUE(doc.OnSaveDocument(jobPath));
        testsupport::WriteFile(GetTasksFolder() + "/Daily.vlj.job", "task");
        ASSERT_EQ(CBackupIndexFile(jobPath, backupPath).Save(), 1);
    }
};

}  // namespace

TEST_F(DeleteJob, MovesJobTaskAndIndexToTheTrash) {
    EXPECT_TRUE(DeleteJobFiles(jobPath, user.Root() + "/Jobs/Other.vlj"));
    EXPECT_FALSE(platform::PathExists(jobPath));
    EXPECT_FALSE(platform::PathExists(GetTasksFolder() + "/Daily.vlj.job"));
    EXPECT_FALSE(platform::PathExists(CBackupIndexFile(jobPath, backupPath).GetPath()));
    EXPECT_TRUE(platform::PathExists(user.TrashFiles() + "/Daily.vlj"));
    EXPECT_TRUE(platform::PathExists(user.TrashFiles() + "/Daily.vlj.job"));
    EXPECT_TRUE(platform::PathExists(user.TrashFiles() + "/Daily.velarc.velidx"));
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(DeleteJob, RefusesTheJobThatIsOpen) {
    EXPECT_FALSE(DeleteJobFiles(jobPath, jobPath));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{
                                    "You cannot delete this job while it is open!\nPlease close it then try again."});
    EXPECT_TRUE(platform::PathExists(jobPath));
    EXPECT_TRUE(platform::PathExists(GetTasksFolder() + "/Daily.vlj.job"));
}
