#include "editor/BackupTree.h"

#include "tests/support/InstalledMessages.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <filesystem>

using editor::CBackupTree;
using namespace selection;
namespace fs = std::filesystem;

namespace {

class BackupTreeTest : public ::testing::Test {
protected:
    testsupport::IsolatedUser user;
    testsupport::InstalledMessages messages;
    CBackupTree tree;
    std::string data;

    void SetUp() override {
        data = user.Root() + "/data";
        testsupport::WriteFile(data + "/Letters/ann.txt", "a");
        testsupport::WriteFile(data + "/letters2/bob.txt", "b");
        testsupport::WriteFile(data + "/.hidden/c.txt", "c");
        testsupport::WriteFile(data + "/backup.zip", "zip");
        fs::create_directories(data + "/Zeta");
        fs::create_directory_symlink(data + "/Zeta", data + "/zeta-link");
    }
    std::vector<std::string> Children(const std::string& path) {
        SelectionNode* node = tree.FindPath(path);
        EXPECT_NE(node, nullptr) << path;
        tree.Expand(*node);
        std::vector<std::string> names;
        for (const auto& child : node->children) names.push_back(child->name);
        return names;
    }
};

}  // namespace

TEST_F(BackupTreeTest, TheComputerHoldsOneDriveAndFoldersListSortedWithHiddenOnes) {
    tree.InitRoot();
    ASSERT_EQ(tree.Root()->name, "Computer");
    EXPECT_EQ(tree.Root()->state, kNotSelectable);
    ASSERT_EQ(tree.Root()->children.size(), 1u);
    EXPECT_EQ(tree.GetItemPath(*tree.Root()->children[0]), "/");
    ASSERT_NE(tree.SelectPath(data, kNotSelected, false), nullptr);
    EXPECT_EQ(Children(data), (std::vector<std::string>{".hidden", "Letters", "letters2", "Zeta", "zeta-link"}));
    tree.m_bShowFiles = true;
    tree.InitRoot();
    tree.SelectPath(data, kNotSelected, false);
    EXPECT_EQ(Children(data),
              (std::vector<std::string>{".hidden", "backup.zip", "Letters", "letters2", "Zeta", "zeta-link"}));
    EXPECT_FALSE(tree.FindPath(data + "/backup.zip")->IsFolder());  // a zip file is a file
    EXPECT_TRUE(tree.FindPath(data + "/zeta-link")->IsFolder());
    EXPECT_TRUE(Children(data + "/Zeta").empty());
}

TEST_F(BackupTreeTest, TheJobsItemsAreAppliedAndStoredBackInOrder) {
    jobmodel::CBackupItemArray items;
    items.AddItem(data + "/Letters", kFolderTree, 16);
    items.AddItem(data + "/Letters/ann.txt", kFileExcludedInTree, 32);
    items.AddItem(data + "/letters2/bob.txt", kFileSelected, 32);
    items.AddItem(user.Root() + "/gone", kFolderTree, 16);
    tree.m_pItems = &items;
    tree.InitRoot();
    EXPECT_TRUE(messages.Texts().empty());  // missing paths are not reported on loading
    ASSERT_NE(tree.m_pFirstSelected, nullptr);
    EXPECT_EQ(tree.GetItemPath(*tree.m_pFirstSelected), data + "/Letters");
    EXPECT_EQ(tree.FindPath(data + "/Letters/ann.txt")->state, kFileExcludedInTree);
    EXPECT_EQ(tree.FindPath(data)->state, kSomethingBelow);
    EXPECT_EQ(tree.Root()->state, kNotSelectable);
    jobmodel::CBackupItemArray stored;
    tree.StoreSelection(stored);
    ASSERT_EQ(stored.GetCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(stored.GetAt(i).m_strPath, items.GetAt(i).m_strPath);
        EXPECT_EQ(stored.GetAt(i).m_nState, items.GetAt(i).m_nState);
        EXPECT_EQ(stored.GetAt(i).m_dwAttributes, items.GetAt(i).m_dwAttributes);
    }
}

TEST_F(BackupTreeTest, RefusalsAndMessages) {
    tree.InitRoot();
    int modified = 0;
    tree.m_onModified = [&] { ++modified; };
    EXPECT_EQ(tree.SelectPath(user.Root() + "/gone", kFolderTree, true), nullptr);
    SelectionNode* letters = tree.SelectPath(data + "/Letters", kFolderTree, true);
    ASSERT_NE(letters, nullptr);
    EXPECT_EQ(modified, 1);
    // The same path as a second node, as a second drive would give.
    SelectionNode duplicate;
    duplicate.name = "Letters";
    duplicate.parent = tree.FindPath(data);
    duplicate.attributes = kFolderAttribute;
    duplicate.state = kNotSelected;
    EXPECT_EQ(tree.SetItemState(duplicate, kFolderTree), kNotSelected);
    EXPECT_EQ(tree.SetItemState(*tree.Root(), kExcludedFolder), kNotSelectable);
    const std::vector<std::string> expected = {
        "Path not found.\n" + user.Root() + "/gone",
        "Error: The folder path you selected (" + data + "/Letters" +
            ") already exists !\n\n(This path may be the same as one you have selected on another drive.)\nZip "
            "compatible files (Such as Vellora files) do not\nallow duplicate paths, therefore this selection will be "
            "cancelled.",
        "This item cannot be excluded !"};
    EXPECT_EQ(messages.Texts(), expected);
    EXPECT_EQ(messages.Messages()[1].style, platform::MB_OK | platform::MB_ICONSTOP);
    EXPECT_EQ(tree.ExplicitNodes().size(), 1u);
}

TEST_F(BackupTreeTest, QuickSelectMarksTheUsersFoldersAndExcludesMediaInsideDocuments) {
    // Music kept inside the documents folder, videos beside it.
    testsupport::WriteFile(user.Home() + "/.config/user-dirs.dirs",
                           "XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\nXDG_MUSIC_DIR=\"$HOME/Documents/Music\"\n"
                           "XDG_VIDEOS_DIR=\"$HOME/Videos\"\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n");
    for (const char* folder : {"/Documents/Music", "/Documents/My Backups", "/Videos", "/Desktop"})
        fs::create_directories(user.Home() + folder);
    tree.InitRoot();
    const auto marked = tree.QuickSelect(CBackupTree::kMyDocuments);
    ASSERT_EQ(marked.size(), 3u);
    EXPECT_EQ(tree.GetItemPath(*marked[0]), user.Documents());
    EXPECT_EQ(marked[0]->state, kFolderTree);
    EXPECT_EQ(tree.FindPath(user.Documents() + "/Music")->state, kExcludedFolder);
    EXPECT_EQ(tree.FindPath(user.Documents() + "/My Backups")->state, kExcludedFolder);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{
                                    "NOTE: The following folders have been excluded. \nThese folders are not "
                                    "recommended for general backups.\n\nMy Music\nMy Backups\n\n(You may still "
                                    "click the red 'X' on the tree to select them if required.)"});
    messages.Clear();
    ASSERT_EQ(tree.QuickSelect(CBackupTree::kDesktop).size(), 1u);
    EXPECT_EQ(tree.FindPath(user.Home() + "/Desktop")->state, kFolderTree);
    EXPECT_TRUE(tree.QuickSelect(CBackupTree::kFavourites).empty());
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Path not found.\n" + user.Home() + "/Favorites"});
}
