#include "desktop/PasswordFields.h"
#include "restore/RestoreTab.h"
#include "restore/VersionsDialog.h"
#include "tests/restore/RestoreFixture.h"

#include <QApplication>
#include <QTest>

using namespace restoretest;

namespace {

class RestoreTabTest : public RestoreRun {
protected:
    void SetUp() override {
        RestoreRun::SetUp();
        WriteFile(data + "/letters/old/1999/eve.txt", "Dear Eve,\n");
        BackUp();
    }
    // Runs the restore window to its end; the texts it showed.
    static std::function<int(QDialog&)> RunToTheEnd(QString& result, bool& viewLog, const char* screenshot = nullptr) {
        return [&result, &viewLog, screenshot](QDialog& dialog) {
            auto* window = dynamic_cast<restore::CdlgRestoringFiles*>(&dialog);
            if (!window) return int(QDialog::Rejected);
            window->show();
            EXPECT_TRUE(QTest::qWaitFor([&] { return window->m_ok->isEnabled(); }, 20000));
            result = window->m_text->text();
            viewLog = window->m_viewLog->isEnabled();
            EXPECT_FALSE(window->m_abort->isEnabled());
            if (screenshot) {
                fs::create_directories(SCREENSHOT_DIR);
                EXPECT_TRUE(window->grab().save(QString(SCREENSHOT_DIR "/") + screenshot));
            }
            window->m_ok->click();
            return dialog.result();
        };
    }
};

TEST_F(RestoreTabTest, LoadsTicksAndRestoresAJobsBackup) {
    restore::CRestoreTab tab(job, nullptr);
    tab.resize(900, 560);
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));
    ASSERT_EQ(tab.m_backupFile->count(), 1);
    EXPECT_EQ(tab.m_backupFile->itemText(0).toStdString(), backup);
    EXPECT_TRUE(tab.m_original->isChecked());
    EXPECT_TRUE(tab.m_original->isEnabled());
    EXPECT_FALSE(tab.m_destination->isEnabled());
    EXPECT_TRUE(tab.m_includeSubfolders->isChecked());

    auto& tree = tab.Page().Tree();
    SelectionNode* letters = tree.FindPath(data + "/letters");
    ASSERT_NE(letters, nullptr);
    QTreeWidgetItem* item = tab.m_view->ItemFor(letters);
    ASSERT_NE(item, nullptr);
    tab.m_view->scrollToItem(item);
    tab.m_view->expandItem(item);
    EXPECT_EQ(item->childCount(), 3);  // old, ann.txt, bob.txt
    tab.m_view->setCurrentItem(item);
    EXPECT_EQ(tab.m_path->toolTip().toStdString(), data + "/letters");
    tab.m_view->ClickStateImage(*letters);
    EXPECT_EQ(letters->state, selection::kFolderTree);
    EXPECT_TRUE(item->font(0).bold());
    fs::create_directories(SCREENSHOT_DIR);
    EXPECT_TRUE(tab.grab().save(SCREENSHOT_DIR "/restore-tab.png"));

    fs::remove_all(data + "/letters");
    QString result;
    bool viewLog = false;
    tab.m_exec = RunToTheEnd(result, viewLog, "restoring-files.png");
    tab.m_restore->click();
    EXPECT_EQ(result, "Restore Successful");
    EXPECT_TRUE(viewLog);
    EXPECT_EQ(ReadFile(data + "/letters/old/1999/eve.txt"), "Dear Eve,\n");
    EXPECT_TRUE(Has(RestoreLog(), data + "/letters/ann.txt"));
}

TEST_F(RestoreTabTest, AZipOfAnotherToolRestoresOnlyElsewhere) {
    const std::string zipPath = user.Root() + "/other.zip";
    ASSERT_EQ(testsupport::RunProgram("sh", {"-c", "cd '" + data + "' && zip -qr '" + zipPath + "' ."}).exitCode, 0);
    jobmodel::CAppDoc zipDoc(jobmodel::DocHost::Editor);
    ASSERT_TRUE(zipDoc.OnOpenDocument(zipPath));
    restore::CRestoreTab tab(zipDoc, nullptr);
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));
    EXPECT_FALSE(tab.m_original->isEnabled());
    EXPECT_TRUE(tab.m_alternate->isChecked());
    EXPECT_TRUE(tab.m_destination->isEnabled());

    tab.m_restore->click();
    EXPECT_EQ(messages.Texts().back(), "There are no files selected to restore !!");
    tab.m_view->ClickStateImage(*tab.Page().Tree().Root());
    tab.m_restore->click();
    EXPECT_EQ(messages.Texts().back(), "The restore destination path is invalid.");
    EXPECT_TRUE(tab.m_destination->hasFocus() || QApplication::focusWidget() == tab.m_destination);

    const std::string out = user.Root() + "/out";
    tab.m_destination->setText(QString::fromStdString(out));
    tab.m_specific->click();
    QString result;
    bool viewLog = false;
    tab.m_exec = RunToTheEnd(result, viewLog);
    tab.m_restore->click();
    EXPECT_EQ(result, "Restore Successful");
    EXPECT_EQ(ReadFile(out + "/eve.txt"), "Dear Eve,\n");
}

TEST_F(RestoreTabTest, TheListIsReadAgainOnlyWhenStaleOrRefreshed) {
    restore::CRestoreTab tab(job, nullptr);
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));
    ASSERT_EQ(tab.m_backupFile->count(), 1);
    WriteFile(data + "/letters/ann.txt", "Dear Ann, again\n");
    jobmodel::CAppDoc run = NewJob({{6, data}});
    ASSERT_EQ(Run(run), "Backup Completed Successfully.");
    tab.RefreshIfStale();
    EXPECT_EQ(tab.m_backupFile->count(), 1);
    tab.MarkStale();
    tab.RefreshIfStale();
    ASSERT_EQ(tab.m_backupFile->count(), 2);
    EXPECT_NE(tab.m_backupFile->itemText(1).indexOf("_Archived_"), -1);

    // Refresh keeps the chosen line.
    tab.m_backupFile->setCurrentIndex(1);
    emit tab.m_backupFile->activated(1);
    EXPECT_NE(tab.Page().m_zip.m_strArchivePath.find("_Archived_"), std::string::npos);
    tab.m_refresh->click();
    EXPECT_EQ(tab.m_backupFile->currentIndex(), 1);

    // A line whose file went meanwhile: its error, and a root that cannot be ticked.
    fs::remove(tab.Page().m_zip.m_strArchivePath);
    emit tab.m_backupFile->activated(1);
    EXPECT_EQ(messages.Texts().back().rfind("Error: Backup file does not exist\n", 0), 0u);
    EXPECT_EQ(tab.Page().Tree().Root()->state, selection::kNotSelectable);
    EXPECT_FALSE(tab.m_view->rootIsDecorated());
}

TEST_F(RestoreTabTest, APasswordIsAskedWithThePrompt) {
    jobmodel::CAppDoc run = NewJob({{6, data}});
    run.m_JobOptions.m_bUsePassword = 1;
    run.m_JobOptions.m_strPassword = "s3cret";
    fs::remove(backup);
    ASSERT_EQ(Run(run), "Backup Completed Successfully.");
    fs::remove(data + "/notes.md");
    restore::CRestoreTab tab(job, nullptr);
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));
    tab.m_view->ClickStateImage(*tab.Page().Tree().FindPath(data + "/notes.md"));
    QString result, prompt;
    bool viewLog = false;
    auto finish = RunToTheEnd(result, viewLog);
    tab.m_exec = [&](QDialog& dialog) {
        if (auto* ask = dynamic_cast<desktop::CPasswordPrompt*>(&dialog)) {
            prompt = ask->windowTitle();
            ask->m_password->setText("s3cret");
            return int(QDialog::Accepted);
        }
        return finish(dialog);
    };
    tab.m_restore->click();
    EXPECT_EQ(prompt, "Enter Password");
    EXPECT_EQ(result, "Restore Successful");
    EXPECT_EQ(ReadFile(data + "/notes.md"), "# notes\n");
}

TEST_F(RestoreTabTest, FindRevealsAndTicksAName) {
    restore::CRestoreTab tab(job, nullptr);
    tab.resize(900, 600);
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));
    tab.m_find->setText("EVE");
    QTest::keyClick(tab.m_find, Qt::Key_Return);
    ASSERT_EQ(tab.m_found->count(), 1);
    EXPECT_EQ(tab.m_foundCount->text(), "1 found");
    EXPECT_TRUE(tab.m_found->item(0)->text().startsWith("eve.txt"));
    emit tab.m_found->itemActivated(tab.m_found->item(0));
    SelectionNode* eve = tab.Page().Tree().FindPath(data + "/letters/old/1999/eve.txt");
    ASSERT_NE(eve, nullptr);
    EXPECT_EQ(eve->state, selection::kFileSelected);
    EXPECT_EQ(tab.m_view->currentItem(), tab.m_view->ItemFor(eve));
    fs::create_directories(SCREENSHOT_DIR);
    EXPECT_TRUE(tab.grab().save(SCREENSHOT_DIR "/restore-find.png"));
}

TEST_F(RestoreTabTest, PreviewTellsThenRestoresOnOk) {
    restore::CRestoreTab tab(job, nullptr);
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));
    tab.m_view->ClickStateImage(*tab.Page().Tree().FindPath(data + "/letters"));
    fs::remove(data + "/letters/ann.txt");
    messages.Answer(platform::IDCANCEL);
    tab.m_preview->click();
    ASSERT_FALSE(messages.Texts().empty());
    EXPECT_EQ(messages.Texts().back().rfind("This restore will add 1 file, overwrite 2 files", 0), 0u)
        << messages.Texts().back();
    EXPECT_FALSE(fs::exists(data + "/letters/ann.txt"));
    messages.Answer(platform::IDOK);
    QString result;
    bool viewLog = false;
    tab.m_exec = RunToTheEnd(result, viewLog);
    tab.m_preview->click();
    EXPECT_EQ(result, "Restore Successful");
    EXPECT_EQ(ReadFile(data + "/letters/ann.txt"), "Dear Ann,\n");
}

TEST_F(RestoreTabTest, VersionsOfAFileInTheirDialog) {
    WriteFile(data + "/letters/ann.txt", "Dear Ann, once more\n");
    jobmodel::CAppDoc run = NewJob({{6, data}});
    ASSERT_EQ(Run(run), "Backup Completed Successfully.");
    restore::CRestoreTab tab(job, nullptr);
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));
    int rows = 0;
    QString result;
    tab.m_exec = [&](QDialog& dialog) {
        auto* versions = dynamic_cast<restore::CdlgVersions*>(&dialog);
        if (!versions) return int(QDialog::Rejected);
        versions->show();
        rows = versions->m_list->topLevelItemCount();
        versions->m_list->setCurrentItem(versions->m_list->topLevelItem(1));
        EXPECT_TRUE(versions->m_beside->isChecked());
        fs::create_directories(SCREENSHOT_DIR);
        EXPECT_TRUE(versions->grab().save(SCREENSHOT_DIR "/versions.png"));
        versions->m_restore->click();
        result = versions->m_result->text();
        return int(QDialog::Accepted);
    };
    tab.ShowVersions(*tab.Page().Tree().FindPath(data + "/letters/ann.txt"));
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(result, "Restore Successful");
    int dated = 0;
    for (const auto& e : fs::directory_iterator(data + "/letters"))
        if (e.path().filename().string().rfind("ann (", 0) == 0) {
            ++dated;
            EXPECT_EQ(ReadFile(e.path().string()), "Dear Ann,\n");
        }
    EXPECT_EQ(dated, 1);
    EXPECT_EQ(ReadFile(data + "/letters/ann.txt"), "Dear Ann, once more\n");
}

}  // namespace
