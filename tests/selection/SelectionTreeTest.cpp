#include "selection/SelectionTree.h"

#include "tests/support/InstalledMessages.h"

#include <gtest/gtest.h>

#include <map>

using namespace selection;

namespace {

// A small fixed tree, named by paths:
//   /            (root folder)
//   /docs        folder with a.txt, b.txt and sub/ (with c.txt)
//   /music       folder
class FixedTree : public CSelectionTree {
public:
    void InitRoot() override {
        Reset();
        SelectionNode& root = AddNode(nullptr, "", kFolderAttribute);
        SelectionNode& docs = AddNode(&root, "docs", kFolderAttribute);
        AddNode(&docs, "a.txt", 0);
        AddNode(&docs, "b.txt", 0);
        SelectionNode& sub = AddNode(&docs, "sub", kFolderAttribute);
        AddNode(&sub, "c.txt", 0);
        AddNode(&root, "music", kFolderAttribute);
    }
    std::string GetItemPath(const SelectionNode& node) const override {
        return node.parent ? GetItemPath(*node.parent) + "/" + node.name : "";
    }
    SelectionNode& At(const std::string& path) { return *Find(*Root(), path); }
    std::map<std::string, int> States() {
        std::map<std::string, int> states;
        Collect(*Root(), states);
        return states;
    }
    std::vector<std::string> ExplicitPaths() const {
        std::vector<std::string> paths;
        for (const auto* node : ExplicitNodes()) paths.push_back(GetItemPath(*node));
        return paths;
    }

private:
    SelectionNode* Find(SelectionNode& node, const std::string& path) {
        if (GetItemPath(node) == path) return &node;
        for (auto& child : node.children)
            if (SelectionNode* found = Find(*child, path)) return found;
        return nullptr;
    }
    void Collect(const SelectionNode& node, std::map<std::string, int>& states) const {
        states[GetItemPath(node)] = node.state;
        for (const auto& child : node.children) Collect(*child, states);
    }
};

class SelectionTreeTest : public ::testing::Test {
protected:
    testsupport::InstalledMessages messages;
    FixedTree tree;
    void SetUp() override { tree.InitRoot(); }
};

}  // namespace

TEST_F(SelectionTreeTest, ClicksFollowTheStateTable) {
    struct Step {
        const char* node;
        bool includeSubfolders;
        std::map<std::string, int> changed;  // states after the click that differ from all-2
    };
    const std::vector<std::vector<Step>> sequences = {
        // A whole folder, an excluded file and folder inside it, and back.
        {{"/docs", true, {{"", 3}, {"/docs", 6}, {"/docs/a.txt", 7}, {"/docs/b.txt", 7}, {"/docs/sub", 7},
                          {"/docs/sub/c.txt", 7}}},
         {"/docs/a.txt", true, {{"", 3}, {"/docs", 6}, {"/docs/a.txt", 12}, {"/docs/b.txt", 7}, {"/docs/sub", 7},
                                {"/docs/sub/c.txt", 7}}},
         {"/docs/sub", true, {{"", 3}, {"/docs", 6}, {"/docs/a.txt", 12}, {"/docs/b.txt", 7}, {"/docs/sub", 8},
                              {"/docs/sub/c.txt", 9}}},
         {"/docs/sub", true, {{"", 3}, {"/docs", 6}, {"/docs/a.txt", 12}, {"/docs/b.txt", 7}, {"/docs/sub", 7},
                              {"/docs/sub/c.txt", 7}}},
         {"/docs", true, {}}},
        // A folder with its own files only, one of them excluded.
        {{"/docs", false, {{"", 3}, {"/docs", 5}, {"/docs/a.txt", 10}, {"/docs/b.txt", 10}}},
         {"/docs/b.txt", false, {{"", 3}, {"/docs", 5}, {"/docs/a.txt", 10}, {"/docs/b.txt", 11}}},
         {"/docs/b.txt", false, {{"", 3}, {"/docs", 5}, {"/docs/a.txt", 10}, {"/docs/b.txt", 10}}},
         {"/docs", false, {}}},
        // Single files mark their folders as holding something.
        {{"/docs/sub/c.txt", true, {{"", 3}, {"/docs", 3}, {"/docs/sub", 3}, {"/docs/sub/c.txt", 4}}},
         {"/docs/sub/c.txt", true, {}}},
    };
    for (size_t s = 0; s < sequences.size(); ++s) {
        tree.InitRoot();
        for (const auto& step : sequences[s]) {
            tree.m_bIncludeSubfolders = step.includeSubfolders;
            tree.Click(tree.At(step.node));
            for (const auto& [path, state] : tree.States()) {
                const auto expected = step.changed.count(path) ? step.changed.at(path) : kNotSelected;
                EXPECT_EQ(state, expected) << "sequence " << s << " after " << step.node << ": " << path;
            }
        }
        EXPECT_TRUE(tree.ExplicitNodes().empty()) << s;
        EXPECT_EQ(tree.ExplicitFiles() + tree.ExplicitFolders(), 0) << s;
    }
}

TEST_F(SelectionTreeTest, MarkingAWholeFolderAsksBeforeItOverwritesMarksBelow) {
    tree.Click(tree.At("/docs/a.txt"));
    tree.Click(tree.At("/docs/sub/c.txt"));
    for (const int answer : {platform::IDNO, platform::IDYES}) {
        messages.Answer(answer);
        tree.Click(tree.At("/docs"));
        ASSERT_EQ(messages.Texts().size(), answer == platform::IDNO ? 1u : 2u);
        EXPECT_EQ(messages.Texts().back(),
                  "You have chosen to select all subfolders/files\nHowever, there are already some subfolders/files "
                  "selected.\nThese will be overwritten if you continue\n\nDo you wish to continue ?");
        EXPECT_EQ(messages.Messages().back().style, platform::MB_YESNO | platform::MB_ICONQUESTION);
    }
    // Yes: the folder is marked whole and the marks below became part of it.
    EXPECT_EQ(tree.ExplicitPaths(), std::vector<std::string>{"/docs"});
    EXPECT_EQ(tree.At("/docs/a.txt").state, kIncluded);
    EXPECT_EQ(tree.At("/docs/sub/c.txt").state, kIncluded);
    EXPECT_EQ(tree.ExplicitFolders(), 1);
    EXPECT_EQ(tree.ExplicitFiles(), 0);
    // With subfolders off no question is needed: the folder keeps its marks.
    tree.InitRoot();
    tree.Click(tree.At("/docs/sub/c.txt"));
    tree.m_bIncludeSubfolders = false;
    tree.Click(tree.At("/docs"));
    EXPECT_EQ(messages.Texts().size(), 2u);
    EXPECT_EQ(tree.ExplicitPaths(), (std::vector<std::string>{"/docs/sub/c.txt", "/docs"}));
}

TEST_F(SelectionTreeTest, CountsAndOrderOfExplicitMarks) {
    tree.Click(tree.At("/music"));
    tree.Click(tree.At("/docs/b.txt"));
    tree.Click(tree.At("/docs/a.txt"));
    EXPECT_EQ(tree.ExplicitPaths(), (std::vector<std::string>{"/music", "/docs/b.txt", "/docs/a.txt"}));
    EXPECT_EQ(tree.ExplicitFiles(), 2);
    EXPECT_EQ(tree.ExplicitFolders(), 1);
    EXPECT_EQ(tree.Root()->explicitBelow, 3);
    EXPECT_EQ(tree.At("/docs").explicitBelow, 2);
    tree.Click(tree.At("/docs/b.txt"));
    EXPECT_EQ(tree.At("/docs").state, kSomethingBelow);
    tree.Click(tree.At("/docs/a.txt"));
    EXPECT_EQ(tree.At("/docs").state, kNotSelected);
    EXPECT_EQ(tree.Root()->state, kSomethingBelow);
    EXPECT_TRUE(tree.At("/music").Bold());
    EXPECT_FALSE(tree.At("/docs").Bold());
}

TEST_F(SelectionTreeTest, NodesListedLaterTakeTheirStateFromTheirParent) {
    const struct {
        int parentState;
        uint32_t attributes;
        bool fileSystemObject;
        int expected;
    } cases[] = {
        {kFolderOnly, 0, true, kFileIncluded},   {kFolderOnly, kFolderAttribute, true, kNotSelected},
        {kFolderTree, 0, true, kIncluded},       {kIncluded, kFolderAttribute, true, kIncluded},
        {kExcludedFolder, 0, true, kInsideExcluded}, {kInsideExcluded, kFolderAttribute, true, kInsideExcluded},
        {kNotSelected, 0, true, kNotSelected},   {kNotSelected, kFolderAttribute, false, kNotSelectable},
    };
    for (const auto& c : cases) {
        SelectionNode& parent = tree.At("/music");
        parent.state = c.parentState;
        EXPECT_EQ(tree.AddNode(&parent, "new", c.attributes, c.fileSystemObject).state, c.expected)
            << c.parentState << " " << c.attributes;
        parent.children.pop_back();
    }
}

TEST_F(SelectionTreeTest, NodesThatCannotBeSelectedStayAsTheyAre) {
    SelectionNode& computer = tree.AddNode(tree.Root(), "Computer", kFolderAttribute, false);
    tree.Click(computer);
    EXPECT_EQ(computer.state, kNotSelectable);
    tree.Click(tree.At("/docs"));
    tree.Click(tree.At("/docs/sub"));
    tree.Click(tree.At("/docs/sub/c.txt"));  // inside an excluded folder: no change
    EXPECT_EQ(tree.At("/docs/sub/c.txt").state, kInsideExcluded);
}
