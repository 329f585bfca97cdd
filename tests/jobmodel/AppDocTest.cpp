#include "jobmodel/AppDoc.h"

#include "jobmodel/SettingsRegistry.h"
#include "platform/MessageService.h"
#include "tests/support/InstalledMessages.h"
#include "tests/jobmodel/JobFixtures.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace jobmodel;
using testsupport::IsolatedUser;
using testsupport::Job220;

namespace {

class AppDoc : public ::testing::Test {
protected:
    IsolatedUser user;
    testsupport::InstalledMessages messages;
    std::string Path(const std::string& name) const { return user.Root() + "/" + name; }
};

// Writes down what the document asks of the job's task.
class RecordingHooks : public IScheduleHooks {
public:
    std::vector<std::string> calls;
    void OpenTask(const std::string& jobPath, const std::string& taskName) override {
        calls.push_back("open " + jobPath + " " + taskName);
    }
    void StoreTask(const std::string& comment) override { calls.push_back("store " + comment); }
    void DeleteTask() override { calls.push_back("delete"); }
    void ResetTask() override { calls.push_back("reset"); }
};

class RecordingEditorDoc : public CAppDoc {
public:
    RecordingEditorDoc() : CAppDoc(DocHost::Editor) { SetScheduleHooks(&hooks); }
    RecordingHooks hooks;
    std::vector<std::string> Opened() const {
        std::vector<std::string> opened;
        for (const auto& call : hooks.calls)
            if (call.rfind("open ", 0) == 0) opened.push_back(call);
        return opened;
    }
};

}  // namespace

TEST_F(AppDoc, RecognisesFileKindsByExtensionInAnyCase) {
    const std::pair<const char*, int> cases[] = {
        {"/j/Daily.vlj", kDocJob},      {"/j/DAILY.VLJ", kDocJob},     {"/b/Backup.velarc", kDocBackup},
        {"/b/Backup.VelArc", kDocBackup}, {"/b/photos.zip", kDocZip},  {"/b/notes.txt", kDocUnrecognised},
        {"/b/vlj", kDocUnrecognised},   {"/b/Daily.vlj.bak", kDocUnrecognised},
    };
    for (auto [path, kind] : cases) EXPECT_EQ(CAppDoc::RecogniseKind(path), kind) << path;
}

TEST_F(AppDoc, SavedJobOpensInBothProgramsWithCapitalExtension) {
    const std::string path = Path("DAILY.VLJ");
    CAppDoc doc(DocHost::Editor);
    doc.OnNewDocument();
    doc.m_BackupSettings.m_strDescription = "nightly";
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_FALSE(doc.IsModified());

    CAppDoc runner(DocHost::Runner);
    ASSERT_TRUE(runner.OnOpenDocument(path));
    EXPECT_EQ(runner.m_nDocKind, kDocJob);
    EXPECT_EQ(runner.m_strJobFile, path);
    EXPECT_EQ(runner.m_BackupSettings.m_strDescription, "nightly");
    EXPECT_TRUE(messages.Texts().empty());

    // Saving again records where the job was opened from.
    ASSERT_TRUE(runner.OnSaveDocument(path));
    Job220 expected;
    expected.jobFile = path;
    expected.backupFile = user.Documents() + "/My Backups/Backup.velarc";
    expected.description = "nightly";
    EXPECT_EQ(testsupport::Hex(testsupport::ReadFile(path)), testsupport::Hex(expected.Encode()));
}

TEST_F(AppDoc, RunnerRefusesBackupAndZipFilesEditorOpensThemAsNewJobs) {
    for (const char* name : {"Backup.velarc", "photos.zip", "notes.txt"}) {
        const std::string path = Path(name);
        testsupport::WriteFile(path, "PK");
        messages.Clear();
        CAppDoc runner(DocHost::Runner);
        EXPECT_FALSE(runner.OnOpenDocument(path)) << name;
        EXPECT_EQ(messages.Texts(),
                  std::vector<std::string>{"The file " + path + " is not a recognised file type !!\n\n"});
    }
    CAppDoc editor(DocHost::Editor);
    editor.m_BackupSettings.m_strDescription = "left over";
    ASSERT_TRUE(editor.OnOpenDocument(Path("Backup.velarc")));
    EXPECT_EQ(editor.m_nDocKind, kDocBackup);
    EXPECT_EQ(editor.m_BackupSettings.m_strBackupFile, Path("Backup.velarc"));
    EXPECT_EQ(editor.m_BackupSettings.m_strDescription, "");
    EXPECT_EQ(editor.m_strJobFile, Path("Backup.velarc"));
    ASSERT_TRUE(editor.OnOpenDocument(Path("photos.zip")));
    EXPECT_EQ(editor.m_nDocKind, kDocZip);
    EXPECT_FALSE(editor.OnOpenDocument(Path("notes.txt")));
}

TEST_F(AppDoc, UnknownDocumentVersionNamesTheFileAndLeavesItUntouched) {
    const std::string path = Path("future.vlj");
    std::string bytes = Job220().Encode();
    bytes[13] = 7;
    testsupport::WriteFile(path, bytes);
    CAppDoc doc(DocHost::Runner);
    EXPECT_FALSE(doc.OnOpenDocument(path));
    ASSERT_EQ(messages.Texts().size(), 2u);
    EXPECT_EQ(messages.Texts()[0], "Error loading backup file: future.vlj");
    EXPECT_NE(messages.Texts()[1].find("unknown version 7"), std::string::npos);
    EXPECT_EQ(testsupport::ReadFile(path), bytes);
    EXPECT_EQ(doc.m_BackupSettings.m_items.GetCount(), 0);
}

TEST_F(AppDoc, EditorAsksAboutMissingSelectionsAndRemovesOnYes) {
    std::filesystem::create_directories(Path("kept"));
    Job220 job;
    job.backupFile = "/b.velarc";
    job.items = {{6, Path("gone1"), 16}, {6, Path("gone2"), 16}, {6, Path("kept"), 16}, {4, Path("gone3"), 32}};
    const std::string path = Path("job.vlj");
    testsupport::WriteFile(path, job.Encode());
    messages.Answer(platform::IDYES);
    messages.Answer(platform::IDNO);
    messages.Answer(platform::IDYES);
    RecordingEditorDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    const auto texts = messages.Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], "The folder/file '" + Path("gone1") +
                            "' selected for backup, no longer exists!!\n\nPress YES to delete this selection, "
                            "otherwise press NO to keep it.\n\nDo you wish to remove this selection from the "
                            "backup ?");
    EXPECT_NE(texts[1].find(Path("gone2")), std::string::npos);
    EXPECT_NE(texts[2].find(Path("gone3")), std::string::npos);
    const auto& items = doc.m_BackupSettings.m_items;
    ASSERT_EQ(items.GetCount(), 2);
    EXPECT_EQ(items.GetItemPath(0), Path("gone2"));
    EXPECT_EQ(items.GetItemPath(1), Path("kept"));
    EXPECT_TRUE(doc.Opened().empty());

    CAppDoc runner(DocHost::Runner);
    messages.Clear();
    ASSERT_TRUE(runner.OnOpenDocument(path));
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_EQ(runner.m_BackupSettings.m_items.GetCount(), 4);
}

TEST_F(AppDoc, EditorReportsAMissingSchedulerTaskAndHandsTheJobOn) {
    Job220 job;
    job.backupFile = "/b.velarc";
    job.scheduleEnabled = 1;
    job.taskName = "Nightly.vlj.job";
    const std::string path = Path("Nightly.vlj");
    testsupport::WriteFile(path, job.Encode());
    RecordingEditorDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>{"The scheduler task 'Nightly.vlj.job' defined for this job no longer "
                                       "exists!\n\nA new task with this name will automatically be created.\n"
                                       "(Please remember to set up new schedules for this job)"});
    EXPECT_EQ(doc.Opened(), std::vector<std::string>{"open " + path + " Nightly.vlj.job"});

    testsupport::WriteFile(GetTasksFolder() + "/Nightly.vlj.job", "task");
    messages.Clear();
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_EQ(doc.Opened().size(), 2u);
}

TEST_F(AppDoc, TheEditorsSavesAndDiscardsReachTheJobsTask) {
    RecordingEditorDoc doc;
    doc.OnNewDocument();
    doc.m_BackupSettings.m_strDescription = "nightly";
    ASSERT_TRUE(doc.OnSaveDocument(Path("a.vlj")));  // scheduling off: no task
    doc.m_ScheduleSettings.m_bScheduleEnabled = 1;
    doc.m_ScheduleSettings.m_strTaskName = "a.vlj.job";
    ASSERT_TRUE(doc.OnSaveDocument(Path("a.vlj")));
    // Discarding keeps a task that was on at the load, drops one made since.
    doc.OnDiscardChanges();
    doc.m_bScheduleEnabledAtLoad = 0;
    doc.OnDiscardChanges();
    doc.ResetSchedule();
    EXPECT_EQ(doc.m_ScheduleSettings.m_bScheduleEnabled, 0);
    EXPECT_EQ(doc.hooks.calls, (std::vector<std::string>{"reset", "delete", "store nightly", "delete", "reset"}));
    // The runner's document asks nothing.
    RecordingHooks runnerHooks;
    CAppDoc runner(DocHost::Runner);
    runner.SetScheduleHooks(&runnerHooks);
    runner.OnNewDocument();
    ASSERT_TRUE(runner.OnSaveDocument(Path("b.vlj")));
    runner.OnDiscardChanges();
    EXPECT_TRUE(runnerHooks.calls.empty());
}

TEST_F(AppDoc, FailedSaveKeepsThePreviousFile) {
    const std::string path = Path("job.vlj");
    CAppDoc doc(DocHost::Editor);
    doc.OnNewDocument();
    ASSERT_TRUE(doc.OnSaveDocument(path));
    const std::string before = testsupport::ReadFile(path);
    doc.SetModifiedFlag();
    EXPECT_FALSE(doc.OnSaveDocument(Path("no/such/folder/job.vlj")));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(testsupport::ReadFile(path), before);
}
