#include "editor/EditorStartup.h"
#include "editor/MainFrame.h"

#include "editor/Profile.h"
#include "platform/Instances.h"
#include "platform/Registry.h"
#include "tests/support/InstalledMessages.h"
#include "tests/support/IsolatedUser.h"
#include "tests/support/Process.h"

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QProcess>
#include <QMenuBar>
#include <QTest>
#include <QXmlStreamReader>

#include <chrono>
#include <filesystem>
#include <thread>

using namespace editor;
using selection::SelectionNode;
namespace fs = std::filesystem;

namespace {

class MainFrameTest : public ::testing::Test {
protected:
    testsupport::IsolatedUser user;
    testsupport::InstalledMessages messages;
    jobmodel::CAppDoc doc{jobmodel::DocHost::Editor};
    std::string data, job;

    void SetUp() override {
        data = user.Root() + "/data";
        testsupport::WriteFile(data + "/Letters/ann.txt", "a");
        job = user.Root() + "/Jobs/Daily.vlj";
        jobmodel::CAppDoc saved(jobmodel::DocHost::Editor);
        saved.OnNewDocument();
        saved.m_BackupSettings.m_strBackupFile = user.Root() + "/backups/Daily.velarc";
        saved.m_BackupSettings.m_items.AddItem(data + "/Letters", 6, 16);
        fs::create_directories(user.Root() + "/Jobs");
        ASSERT_TRUE(saved.OnSaveDocument(job));
    }
};

}  // namespace

TEST(EditorCommandLine, TheLastParameterDecidesWhetherToRunTheBackup) {
    const struct {
        std::vector<std::string> parameters;
        std::string file;
        bool runBackup;
    } cases[] = {{{"/jobs/a.vlj", "/backup"}, "/jobs/a.vlj", true},
                 {{"/jobs/a.vlj", "/BACKUP"}, "/jobs/a.vlj", true},
                 {{"/backup", "/jobs/a.vlj"}, "/jobs/a.vlj", false},
                 {{"/jobs/a.vlj"}, "/jobs/a.vlj", false},
                 {{}, "", false}};
    for (const auto& c : cases) {
        const auto line = ParseCommandLine(c.parameters);
        EXPECT_EQ(line.file, c.file);
        EXPECT_EQ(line.runBackup, c.runBackup);
    }
}

TEST_F(MainFrameTest, AJobOpensWithItsPagesCommandsAndTitle) {
    CMainFrame frame(doc);
    ASSERT_TRUE(frame.OpenFile(job));
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    EXPECT_EQ(frame.windowTitle(), "Daily.vlj - Vellora");
    EXPECT_EQ(frame.ToolbarTexts(), (QStringList{"New", "Open", "Save", "", "Cut", "Copy", "Paste", "Undo", "", "About",
                                                 "", "Options", "", "Run Backup"}));
    ASSERT_EQ(frame.Tabs()->count(), 5);
    EXPECT_EQ(frame.Tabs()->tabText(0), "Backup");
    EXPECT_EQ(frame.Tabs()->tabText(1), "Scheduler");
    EXPECT_EQ(frame.Tabs()->tabText(2), "Options");
    EXPECT_EQ(frame.Tabs()->tabText(3), "Logging");
    EXPECT_EQ(frame.Tabs()->tabText(4), "Restore");
    EXPECT_TRUE(frame.m_runBackup->isEnabled());
    EXPECT_TRUE(frame.m_saveAs->isEnabled());
    // F1 opens the active tab's page, which the help holds.
    for (int tab = 0; tab < frame.Tabs()->count(); ++tab) {
        frame.Tabs()->setCurrentIndex(tab);
        const QString topic = "Backup/OptionTabs/Tab_" + frame.Tabs()->tabText(tab) + ".htm";
        EXPECT_EQ(frame.HelpTopic(), topic);
        EXPECT_TRUE(fs::exists(VELLORA_SOURCE_DIR "/resources/help/" + topic.toStdString())) << topic.toStdString();
    }
    frame.Tabs()->setCurrentIndex(0);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(GetProfileString("Recent File List", "File1"), job);

    frame.Status()->ShowStatusProgress(40, "Reading backup contents...");
    EXPECT_EQ(frame.Status()->Progress(), 40);
    EXPECT_EQ(frame.Status()->Message(), "Reading backup contents...");
    fs::create_directories(SCREENSHOT_DIR);
    EXPECT_TRUE(frame.grab().save(SCREENSHOT_DIR "/editor-window.png"));
    frame.Status()->ClearStatusProgress();
    EXPECT_EQ(frame.Status()->Progress(), 0);
    EXPECT_EQ(frame.Status()->Message(), "For Help, press F1");

    EXPECT_TRUE(frame.NewJob());
    EXPECT_EQ(frame.windowTitle(), "Untitled - Vellora");
    EXPECT_FALSE(frame.m_saveAs->isEnabled());
}

TEST_F(MainFrameTest, ChangesAreSavedOrDiscardedOnlyAsTheUserSays) {
    CMainFrame frame(doc);
    ASSERT_TRUE(frame.OpenFile(job));
    const std::string before = testsupport::ReadFile(job);
    frame.BackupTab()->m_description->setText("changed");
    emit frame.BackupTab()->m_description->textEdited("changed");
    ASSERT_TRUE(doc.IsModified());
    for (const int answer : {platform::IDCANCEL, platform::IDNO}) {
        messages.Answer(answer);
        QCloseEvent close;
        QApplication::sendEvent(&frame, &close);
        EXPECT_EQ(close.isAccepted(), answer == platform::IDNO);
        EXPECT_EQ(messages.Texts().back(), "Save changes to Daily.vlj?");
        EXPECT_EQ(messages.Messages().back().style, platform::MB_YESNOCANCEL | platform::MB_ICONEXCLAMATION);
    }
    EXPECT_EQ(testsupport::ReadFile(job), before);
    // Yes saves; a page that refuses its data keeps the job unsaved.
    ASSERT_TRUE(frame.Save());
    jobmodel::CAppDoc saved(jobmodel::DocHost::Editor);
    ASSERT_TRUE(saved.OnOpenDocument(job));
    EXPECT_EQ(saved.m_BackupSettings.m_strDescription, "changed");
    frame.BackupTab()->m_view->ClickStateImage(*frame.BackupTab()->Tree().FindPath(data + "/Letters"));
    messages.Clear();
    EXPECT_FALSE(frame.Save());
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"There are no files selected for backup !!"});
}

TEST_F(MainFrameTest, ANewJobIsSavedWhereTheUserSaysAndSaveAsDropsTheSchedule) {
    CMainFrame frame(doc);
    ASSERT_TRUE(frame.NewJob());
    const std::string first = user.Root() + "/Jobs/Weekly.vlj", second = user.Root() + "/Jobs/Monthly.vlj";
    std::string answer = first;
    frame.m_askSavePath = [&](const QString&, const std::string&) { return answer; };
    frame.BackupTab()->Tree().SelectPath(data, selection::kFolderTree, true);
    frame.BackupTab()->m_backupFile->setText(QString::fromStdString(user.Root() + "/backups/Weekly.velarc"));
    ASSERT_TRUE(frame.Save());
    EXPECT_TRUE(fs::exists(first));
    EXPECT_EQ(frame.windowTitle(), "Weekly.vlj - Vellora");
    answer = second;
    ASSERT_TRUE(frame.SaveAs());
    EXPECT_EQ(messages.Texts().back(), "Scheduling details have not been copied to the new backup job.\nPlease "
                                       "remember to create a new schedule for this job if required.");
    EXPECT_EQ(frame.windowTitle(), "Monthly.vlj - Vellora");
    EXPECT_EQ(GetProfileString("Recent File List", "File1"), second);
    EXPECT_EQ(GetProfileString("Recent File List", "File2"), first);
}

TEST_F(MainFrameTest, BackupSwitchStartsTheRunnerAndShowsNoWindow) {
    // The registered runner writes down its arguments.
    const std::string runner = user.Root() + "/bin/gorvex";
    testsupport::WriteFile(runner, "#!/bin/sh\necho \"[$1]\" > \"" + user.Root() + "/arguments\"\n");
    fs::permissions(runner, fs::perms::owner_all);
    platform::registry::SetValue(platform::registry::Hive::LocalMachine,
                                 "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Gorvex.exe", "",
                                 platform::RegValue::String(runner));
    const auto result = testsupport::RunProgram(VELLORA_PROGRAM, {job, "/backup"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    for (int i = 0; i < 500 && testsupport::ReadFile(user.Root() + "/arguments").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(testsupport::ReadFile(user.Root() + "/arguments"), "[" + job + "]\n");
}

TEST_F(MainFrameTest, TheSkinMenuShowsAndKeepsTheLook) {
    const std::string key = "Software\\Vellora Ltd.\\Vellora\\Vellora\\Settings";
    platform::registry::SetValue(platform::registry::Hive::CurrentUser, key, "Skin", platform::RegValue::DWord(0));
    CMainFrame frame(doc);
    QMenu* skins = nullptr;
    for (QAction* menu : frame.menuBar()->actions())
        if (menu->text() == "&View")
            for (QAction* item : menu->menu()->actions())
                if (item->text() == "S&kin") skins = item->menu();
    ASSERT_NE(skins, nullptr);
    const auto items = skins->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_TRUE(items[1]->isChecked());  // 0 is no look: 2003 Style, written back
    platform::RegValue value;
    ASSERT_EQ(platform::registry::QueryValue(platform::registry::Hive::CurrentUser, key, "Skin", value), 0);
    EXPECT_EQ(value, platform::RegValue::DWord(2));
    items[2]->trigger();
    EXPECT_TRUE(items[2]->isChecked());
    ASSERT_EQ(platform::registry::QueryValue(platform::registry::Hive::CurrentUser, key, "Skin", value), 0);
    EXPECT_EQ(value, platform::RegValue::DWord(3));
}

TEST(DesktopEntry, TheMenuEntryStartsTheEditorForTheFilesTheMimeTypesName) {
    const std::string entry = testsupport::ReadFile(VELLORA_SOURCE_DIR "/resources/desktop/vellora.desktop");
    const std::string mime = testsupport::ReadFile(VELLORA_SOURCE_DIR "/resources/desktop/vellora-mime.xml");
    EXPECT_NE(entry.find("\nExec=vellora %f\n"), std::string::npos);
    EXPECT_NE(entry.find("\nIcon=vellora\n"), std::string::npos);
    for (const std::string type : {"application/x-vellora-job", "application/x-vellora-backup"}) {
        EXPECT_NE(entry.find(type + ";"), std::string::npos) << type;
        EXPECT_NE(mime.find("<mime-type type=\"" + type + "\">"), std::string::npos) << type;
    }
    for (const char* glob : {"*.vlj", "*.velarc"}) EXPECT_NE(mime.find(glob), std::string::npos) << glob;
    EXPECT_NE(entry.find("application/zip;"), std::string::npos);
    EXPECT_NE(entry.find("[Desktop Action RunBackup]\nName=Run Backup\nExec=vellora %f /backup\n"), std::string::npos);
    const auto validated =
        testsupport::RunProgram("desktop-file-validate", {VELLORA_SOURCE_DIR "/resources/desktop/vellora.desktop"});
    EXPECT_EQ(validated.exitCode, 0) << validated.out << validated.err;
    EXPECT_EQ(validated.out + validated.err, "");
    // The mime types and the icon are well-formed XML, or the desktop ignores them.
    for (const char* file : {"vellora-mime.xml", "vellora.svg"}) {
        QXmlStreamReader xml(QByteArray::fromStdString(
            testsupport::ReadFile(std::string(VELLORA_SOURCE_DIR "/resources/desktop/") + file)));
        while (!xml.atEnd()) xml.readNext();
        EXPECT_FALSE(xml.hasError()) << file << ": " << xml.errorString().toStdString();
    }
}

TEST_F(MainFrameTest, OpeningAJobAnotherEditorShowsBringsThatEditorForward) {
    int shown = 0;
    platform::InstanceRegistration other;
    ASSERT_TRUE(other.Register("Vellora", "Daily.vlj - Vellora", [&] { ++shown; }));
    QProcess second;
    second.start(VELLORA_PROGRAM, {QString::fromStdString(job)});
    ASSERT_TRUE(second.waitForStarted());
    for (int i = 0; i < 1000 && second.state() != QProcess::NotRunning; ++i) {
        QCoreApplication::processEvents();
        second.waitForFinished(10);
    }
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    EXPECT_EQ(shown, 1);
}

TEST_F(MainFrameTest, AJobTickedInTheEditorIsRunByTheRunnerWithTheTickedFiles) {
    testsupport::WriteFile(data + "/Photos/cat.jpg", "cat");
    testsupport::WriteFile(data + "/Letters/draft.tmp", "draft");
    CMainFrame frame(doc);
    ASSERT_TRUE(frame.NewJob());
    CBackupTab& tab = *frame.BackupTab();
    // Ticked as a user does: Letters whole, and the tree shows what that includes.
    SelectionNode* letters = tab.Tree().SelectPath(data + "/Letters", selection::kNotSelected, false);
    ASSERT_NE(letters, nullptr);
    tab.m_view->Rebuild();
    tab.m_view->ClickStateImage(*letters);
    ASSERT_EQ(letters->state, selection::kFolderTree);
    tab.m_filter->button(jobmodel::kFilterExclude)->click();
    tab.m_fileType->setText("*.tmp");
    tab.m_add->click();
    const std::string backup = user.Root() + "/backups/Made.velarc";
    tab.m_backupFile->setText(QString::fromStdString(backup));
    const std::string made = user.Root() + "/Jobs/Made.vlj";
    frame.m_askSavePath = [&](const QString&, const std::string&) { return made; };
    ASSERT_TRUE(frame.Save());

    const auto run = testsupport::RunProgram(GORVEX_PROGRAM, {made});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    const std::string listing = testsupport::RunProgram("unzip", {"-Z1", backup}).out;
    EXPECT_NE(listing.find((data + "/Letters/ann.txt").substr(1)), std::string::npos) << listing;
    EXPECT_EQ(listing.find("draft.tmp"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("cat.jpg"), std::string::npos) << listing;

    // The backup opened for itself, as the runner's Restore command does: the Restore tab alone.
    ASSERT_TRUE(frame.OpenFile(backup));
    ASSERT_EQ(frame.Tabs()->count(), 1);
    EXPECT_EQ(frame.Tabs()->tabText(0), "Restore");
    EXPECT_FALSE(frame.m_runBackup->isEnabled());
    frame.resize(980, 640);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    restore::CRestoreTab& restoreTab = *frame.RestoreTab();
    ASSERT_EQ(restoreTab.m_backupFile->count(), 1);
    EXPECT_EQ(restoreTab.m_backupFile->itemText(0).toStdString(), backup);
    EXPECT_TRUE(restoreTab.m_original->isChecked());
    SelectionNode* ann = restoreTab.Page().Tree().FindPath(data + "/Letters/ann.txt");
    ASSERT_NE(ann, nullptr);
    restoreTab.m_view->scrollToItem(restoreTab.m_view->ItemFor(ann));
    restoreTab.m_view->ClickStateImage(*ann);
    EXPECT_EQ(frame.HelpTopic(), "Backup/OptionTabs/Tab_Restore.htm");
    fs::create_directories(SCREENSHOT_DIR);
    EXPECT_TRUE(frame.grab().save(SCREENSHOT_DIR "/editor-restore.png"));
}

TEST_F(MainFrameTest, DeleteJobRefusesTheOpenJobAndTrashesAnother) {
    const std::string other = user.Root() + "/Jobs/Other.vlj";
    fs::copy_file(job, other);
    CMainFrame frame(doc);
    ASSERT_TRUE(frame.OpenFile(job));
    std::string picked = job;
    frame.m_pickJobToDelete = [&] { return picked; };
    frame.m_deleteJob->trigger();
    EXPECT_TRUE(fs::exists(job));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{
                                    "You cannot delete this job while it is open!\nPlease close it then try again."});
    picked = other;
    frame.m_deleteJob->trigger();
    EXPECT_FALSE(fs::exists(other));
    EXPECT_TRUE(fs::exists(user.TrashFiles() + "/Other.vlj"));
}

TEST_F(MainFrameTest, BadInputIsToldAndLosesNothing) {
    // A job whose item is gone: the user decides, and No keeps it.
    fs::remove_all(data + "/Letters");
    messages.Answer(platform::IDNO);
    CMainFrame frame(doc);
    ASSERT_TRUE(frame.OpenFile(job));
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0].rfind("The folder/file '" + data + "/Letters' selected for backup, no longer exists!!", 0),
              0u);
    EXPECT_EQ(doc.m_BackupSettings.m_items.GetCount(), 1);
    // A damaged job file: told, kept as it was, and a new job in its place.
    const std::string damaged = user.Root() + "/Jobs/Damaged.vlj";
    testsupport::WriteFile(damaged, "not a job");
    messages.Clear();
    EXPECT_FALSE(frame.OpenFile(damaged));
    EXPECT_EQ(testsupport::ReadFile(damaged), "not a job");
    EXPECT_FALSE(messages.Texts().empty());
    EXPECT_EQ(frame.windowTitle(), "Untitled - Vellora");
    // A job saved where no file can be: told, and the job stays unsaved.
    testsupport::WriteFile(user.Root() + "/blocker", "a file where a folder should be");
    frame.BackupTab()->Tree().SelectPath(data, selection::kFolderTree, false);
    frame.BackupTab()->m_backupFile->setText(QString::fromStdString(user.Root() + "/backups/B.velarc"));
    frame.m_askSavePath = [&](const QString&, const std::string&) { return user.Root() + "/blocker/Job.vlj"; };
    messages.Clear();
    EXPECT_FALSE(frame.Save());
    EXPECT_FALSE(messages.Texts().empty());
    EXPECT_EQ(doc.GetPathName(), "");
    // A settings hive that cannot be written: the profile keeps nothing, the job still saves.
    user.WriteHive("user.reg", "REGEDIT4\n");
    fs::permissions(user.RegistryDir() + "/user.reg", fs::perms::owner_read);
    const std::string hive = user.ReadHive("user.reg");
    frame.m_askSavePath = [&](const QString&, const std::string&) { return user.Root() + "/Jobs/Kept.vlj"; };
    EXPECT_TRUE(frame.Save());
    frame.BackupTab()->m_showFiles->setChecked(true);
    EXPECT_EQ(user.ReadHive("user.reg"), hive);
    EXPECT_TRUE(fs::exists(user.Root() + "/Jobs/Kept.vlj"));
}

TEST_F(MainFrameTest, AFileDroppedOnTheWindowOpensLikeOpen) {
    CMainFrame frame(doc);
    ASSERT_TRUE(frame.NewJob());
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(QString::fromStdString(job))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &drop);
    EXPECT_EQ(frame.windowTitle(), "Daily.vlj - Vellora");
    EXPECT_EQ(doc.GetPathName(), job);
}
