#include "editor/BackupTab.h"

#include "tests/support/InstalledMessages.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <filesystem>

using namespace editor;
using selection::SelectionNode;

namespace {

class BackupTabTest : public ::testing::Test {
protected:
    testsupport::IsolatedUser user;
    testsupport::InstalledMessages messages;
    jobmodel::CAppDoc doc{jobmodel::DocHost::Editor};
    std::string data;
    int modified = 0;

    void SetUp() override {
        data = user.Root() + "/data";
        testsupport::WriteFile(data + "/Letters/ann.txt", "a");
        testsupport::WriteFile(data + "/Letters/2025/bob.txt", "b");
        testsupport::WriteFile(data + "/Photos/cat.jpg", "c");
        testsupport::WriteFile(data + "/notes.md", "n");
        doc.OnNewDocument();
        doc.m_BackupSettings.m_strBackupFile = user.Root() + "/backups/Daily.velarc";
        doc.m_BackupSettings.m_items.AddItem(data + "/Letters", selection::kFolderTree, 16);
    }
    // A real click on the state image of the node's row.
    static void ClickStateImage(selection::CSelectionTreeView& view, const SelectionNode& node) {
        QTreeWidgetItem* item = view.ItemFor(&node);
        view.scrollToItem(item);
        const QRect cell = view.visualItemRect(item);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(cell.left() + 8, cell.center().y()));
    }
};

}  // namespace

TEST_F(BackupTabTest, TheJobsMarksShowAndClicksOnStateImagesChangeThem) {
    CBackupTab tab(doc, [&] { ++modified; });
    tab.resize(900, 560);
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));
    EXPECT_EQ(modified, 0);  // loading is no change
    SelectionNode* letters = tab.Tree().FindPath(data + "/Letters");
    ASSERT_NE(letters, nullptr);
    EXPECT_EQ(letters->state, selection::kFolderTree);
    EXPECT_TRUE(tab.m_view->ItemFor(letters)->font(0).bold());
    EXPECT_EQ(tab.m_backupFile->text().toStdString(), user.Root() + "/backups/Daily.velarc");
    EXPECT_TRUE(tab.m_filter->button(jobmodel::kFilterAll)->isChecked());
    EXPECT_FALSE(tab.m_fileTypes->isEnabled());

    SelectionNode* photos = tab.Tree().FindPath(data + "/Photos");
    ASSERT_NE(photos, nullptr);
    ClickStateImage(*tab.m_view, *photos);
    EXPECT_EQ(photos->state, selection::kFolderTree);
    EXPECT_GT(modified, 0);
    // Expanding a marked folder lists its folders as included.
    tab.m_view->expandItem(tab.m_view->ItemFor(letters));
    const SelectionNode* year = tab.Tree().FindPath(data + "/Letters/2025");
    ASSERT_NE(year, nullptr);
    EXPECT_EQ(year->state, selection::kIncluded);
    EXPECT_NE(tab.m_view->ItemFor(year), nullptr);

    tab.m_filter->button(jobmodel::kFilterExclude)->click();
    tab.m_fileType->setText("*.tmp");
    tab.m_add->click();
    ASSERT_TRUE(tab.SaveToJob());
    const auto& items = doc.m_BackupSettings.m_items;
    ASSERT_EQ(items.GetCount(), 2);
    EXPECT_EQ(items.GetAt(1).m_strPath, data + "/Photos");
    EXPECT_EQ(doc.m_BackupSettings.m_strFileTypes, "*.tmp:");
    EXPECT_EQ(doc.m_BackupSettings.m_nFileFilterMode, jobmodel::kFilterExclude);

    std::filesystem::create_directories(SCREENSHOT_DIR);
    EXPECT_TRUE(tab.grab().save(SCREENSHOT_DIR "/backup-tab.png"));
}

TEST_F(BackupTabTest, FilesStayShownWhileAFileIsMarked) {
    doc.m_BackupSettings.m_items.AddItem(data + "/notes.md", selection::kFileSelected, 32);
    CBackupTab tab(doc, [&] { ++modified; });
    EXPECT_TRUE(tab.m_showFiles->isChecked());
    tab.m_showFiles->setChecked(false);
    EXPECT_TRUE(tab.m_showFiles->isChecked());
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>{"You cannot un-select this item while there are individual files selected !"});
    // With the file unmarked the box may go off; the marks survive the rebuild.
    tab.m_view->ClickStateImage(*tab.Tree().FindPath(data + "/notes.md"));
    tab.m_showFiles->setChecked(false);
    EXPECT_FALSE(tab.m_showFiles->isChecked());
    EXPECT_EQ(tab.Tree().FindPath(data + "/notes.md"), nullptr);
    ASSERT_NE(tab.Tree().FindPath(data + "/Letters"), nullptr);
    EXPECT_EQ(tab.Tree().FindPath(data + "/Letters")->state, selection::kFolderTree);
}
