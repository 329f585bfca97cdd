#include "tests/restore/RestoreFixture.h"

#include <unistd.h>

using namespace restoretest;

namespace {

const std::string kOddName = "caf\xe9.txt";  // Latin-1: not UTF-8

class RestoreRoundTrip : public RestoreRun {
protected:
    void SetUp() override {
        RestoreRun::SetUp();
        WriteFile(data + "/letters/" + kOddName, "latin-1 name");
        fs::create_symlink("ann.txt", data + "/letters/to-ann");
        ::chmod((data + "/notes.md").c_str(), 0751);
        SetAge(data, 7200);
        BackUp();
    }
};

TEST_F(RestoreRoundTrip, GivesEverythingBackToTheOriginalFolders) {
    const struct stat notesBefore = Stat(data + "/notes.md");
    fs::remove_all(data);
    auto page = Page(job);
    EXPECT_TRUE(page->m_bHasDriveRoots);
    EXPECT_EQ(page->m_nDestMode, restore::kOriginalFolders);
    page->Tree().Click(*page->Tree().Root());
    EXPECT_EQ(page->RunRestore(), "Restore Successful");

    EXPECT_EQ(ReadFile(data + "/letters/ann.txt"), "Dear Ann,\n");
    EXPECT_EQ(ReadFile(data + "/letters/" + kOddName), "latin-1 name");
    EXPECT_EQ(fs::read_symlink(data + "/letters/to-ann"), "ann.txt");
    EXPECT_TRUE(fs::is_directory(data + "/empty"));
    const struct stat notes = Stat(data + "/notes.md");
    EXPECT_EQ(notes.st_mode & 07777, 0751u);
    EXPECT_EQ(notes.st_mtime, notesBefore.st_mtime);

    const std::string log = RestoreLog();
    EXPECT_TRUE(Has(log, "Starting Restore\nFrom Backup File : " + backup)) << log;
    // Seven files (the odd name and the link among them) and five folders made anew.
    EXPECT_TRUE(Has(log, "Files Added:   \t 12")) << log;
    EXPECT_TRUE(Has(log, data + "/notes.md")) << log;
    EXPECT_TRUE(Has(log, "Restore Successful")) << log;
}

TEST_F(RestoreRoundTrip, ToAnotherFolderWithOrWithoutPaths) {
    auto page = Page(job);
    page->Tree().Click(Node(*page, data + "/letters"));
    const std::string kept = user.Root() + "/kept", flat = user.Root() + "/flat";

    page->m_nDestMode = restore::kAlternateFolder;
    page->m_strDestination = kept;
    EXPECT_EQ(page->RunRestore(), "Restore Successful");
    EXPECT_EQ(ReadFile(kept + data + "/letters/bob.txt"), "Dear Bob,\n");
    EXPECT_FALSE(fs::exists(kept + data + "/notes.md"));

    page->m_nDestMode = restore::kSpecificFolder;
    page->m_strDestination = flat;
    EXPECT_EQ(page->RunRestore(), "Restore Successful");
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(flat)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"ann.txt", "bob.txt", kOddName, "to-ann"}));
}

// One backup, then the disk changed: A older on disk, B gone, C newer on disk.
class OverwriteRules : public RestoreRun {
protected:
    std::string a, b, c;
    void SetUp() override {
        RestoreRun::SetUp();
        a = data + "/letters/ann.txt";
        b = data + "/letters/bob.txt";
        c = data + "/notes.md";
        BackUp();
        WriteFile(a, "older edit");
        SetAge(data + "/letters", 90000);
        fs::remove(b);
        WriteFile(c, "newer edit");
    }
};

TEST_F(OverwriteRules, EachRuleWritesWhatItSays) {
    struct Case {
        int mode;
        bool writesA, writesB, writesC;
    };
    const Case cases[] = {
        {restore::kRestoreAll, true, true, true},
        {restore::kOnlyExisting, true, false, true},
        {restore::kOnlyMissing, false, true, false},
        {restore::kOnlyNewer, true, true, false},  // a missing file is older than any copy
    };
    for (const Case& k : cases) {
        SetUp();
        auto page = Page(job);
        page->Tree().Click(Node(*page, data + "/letters"));
        page->Tree().Click(Node(*page, c));
        page->m_nOverwriteMode = k.mode;
        EXPECT_EQ(page->RunRestore(), "Restore Successful") << k.mode;
        EXPECT_EQ(ReadFile(a) == "Dear Ann,\n", k.writesA) << k.mode;
        EXPECT_EQ(fs::exists(b), k.writesB) << k.mode;
        EXPECT_EQ(ReadFile(c) == "# notes\n", k.writesC) << k.mode;
        const std::string log = RestoreLog();
        if (k.mode == restore::kOnlyExisting) {
            EXPECT_TRUE(Has(log, "Files Skipped:\n==============\n" + b)) << log;
        }
        if (k.mode == restore::kOnlyNewer) {
            EXPECT_TRUE(Has(log, "Existing Files Not Updated:\n===========================\n" + c)) << log;
        }
        if (k.mode == restore::kOnlyMissing) {
            EXPECT_TRUE(Has(log, "Files Added:   \t 1\nFiles Updated: \t 0")) << log;
        }
        TearDown();
    }
}

class ContentsTree : public RestoreRun {
protected:
    void SetUp() override {
        RestoreRun::SetUp();
        WriteFile(data + "/letters/old/1999/eve.txt", "Dear Eve,\n");
        BackUp();
    }
};

TEST_F(ContentsTree, AJobListsItsTopLevelFirstAndFoldersWhenOpened) {
    auto page = Page(job);
    auto& tree = page->Tree();
    EXPECT_TRUE(tree.m_bLazyTree);
    SelectionNode* root = tree.Root();
    EXPECT_EQ(root->name, "Daily.velarc");
    EXPECT_EQ(root->state, selection::kNotSelected);  // loaded: the whole backup can be ticked
    ASSERT_EQ(root->children.size(), 1u);
    EXPECT_EQ(tree.GetItemPath(*root->children[0]), "/");

    SelectionNode& letters = Node(*page, data + "/letters");
    EXPECT_EQ(tree.GetItemPath(letters), data + "/letters");
    EXPECT_FALSE(restore::CRestoreTree::Expanded(letters));
    tree.ExpandNode(letters);
    std::vector<std::string> names;
    for (const auto& child : letters.children) names.push_back(child->name);
    EXPECT_EQ(names, (std::vector<std::string>{"old", "ann.txt", "bob.txt"}));  // folders first
    EXPECT_FALSE(restore::CRestoreTree::Expanded(*letters.children[0]));

    // A zip opened for itself is read whole.
    jobmodel::CAppDoc zipDoc(jobmodel::DocHost::Editor);
    ASSERT_TRUE(zipDoc.OnOpenDocument(backup));
    auto whole = Page(zipDoc);
    EXPECT_FALSE(whole->Tree().m_bLazyTree);
    EXPECT_TRUE(restore::CRestoreTree::Expanded(Node(*whole, data + "/letters/old")));
    EXPECT_TRUE(whole->m_bHasDriveRoots);
}

TEST_F(ContentsTree, AFolderTickedWholeRestoresFoldersNeverOpened) {
    auto page = Page(job);
    SelectionNode& letters = Node(*page, data + "/letters");
    page->Tree().ExpandNode(letters);
    ASSERT_FALSE(letters.children.empty());
    EXPECT_FALSE(restore::CRestoreTree::Expanded(*letters.children[0]));  // "old", never opened
    page->Tree().Click(letters);
    page->m_nDestMode = restore::kAlternateFolder;
    page->m_strDestination = user.Root() + "/out";
    EXPECT_EQ(page->RunRestore(), "Restore Successful");
    EXPECT_EQ(ReadFile(user.Root() + "/out" + data + "/letters/old/1999/eve.txt"), "Dear Eve,\n");
}

TEST_F(ContentsTree, ExclusionsAndAFolderOfItsOwnFiles) {
    const std::string out = user.Root() + "/out";
    {
        auto page = Page(job);
        page->Tree().Click(Node(*page, data));
        page->Tree().Click(Node(*page, data + "/letters/old"));  // 7 -> 8
        page->Tree().Click(Node(*page, data + "/notes.md"));     // 7 -> 12
        page->m_nDestMode = restore::kAlternateFolder;
        page->m_strDestination = out;
        EXPECT_EQ(page->RunRestore(), "Restore Successful");
    }
    EXPECT_TRUE(fs::exists(out + data + "/letters/ann.txt"));
    EXPECT_TRUE(fs::exists(out + data + "/cache/big/blob.bin"));
    EXPECT_FALSE(fs::exists(out + data + "/letters/old"));
    EXPECT_FALSE(fs::exists(out + data + "/notes.md"));

    fs::remove_all(out);
    auto page = Page(job);
    page->Tree().m_bIncludeSubfolders = false;
    page->Tree().Click(Node(*page, data + "/letters"));  // 5: its own files
    page->m_nDestMode = restore::kAlternateFolder;
    page->m_strDestination = out;
    EXPECT_EQ(page->RunRestore(), "Restore Successful");
    EXPECT_TRUE(fs::exists(out + data + "/letters/bob.txt"));
    EXPECT_FALSE(fs::exists(out + data + "/letters/old/1999/eve.txt"));
}

TEST_F(ContentsTree, ArchiveZipsAreListedAndRestoreTheirOldVersions) {
    WriteFile(data + "/letters/ann.txt", "Dear Ann, again\n");
    jobmodel::CAppDoc run = NewJob({{6, data}});
    ASSERT_EQ(Run(run), "Backup Completed Successfully.");
    auto page = Page(job);
    ASSERT_EQ(page->BackupList().size(), 2u);
    page->SelectBackup(1);
    EXPECT_NE(page->SelectedPath().find("_Archived_"), std::string::npos);
    page->Tree().Click(Node(*page, data + "/letters/ann.txt"));
    EXPECT_EQ(page->RunRestore(), "Restore Successful");
    EXPECT_EQ(ReadFile(data + "/letters/ann.txt"), "Dear Ann,\n");
}

class RestoreResults : public RestoreRun {
protected:
    void SetUp() override {
        RestoreRun::SetUp();
        BackUp();
    }
};

TEST_F(RestoreResults, RefusalsBeforeTheRunLeaveTheLogAlone) {
    auto page = Page(job);
    bool focus = false;
    EXPECT_FALSE(page->CheckRestoreInput(focus));
    EXPECT_EQ(page->RunRestore(), "There are no files selected to restore !!");
    page->Tree().Click(*page->Tree().Root());
    page->m_nDestMode = restore::kAlternateFolder;
    page->m_strDestination = "relative/folder";
    EXPECT_FALSE(page->CheckRestoreInput(focus));
    EXPECT_TRUE(focus);
    EXPECT_EQ(page->RunRestore(), "The restore destination path is invalid.");
    WriteFile(user.Root() + "/a-file", "x");
    page->m_strDestination = user.Root() + "/a-file/below";
    EXPECT_EQ(page->RunRestore(), platform::GetSystemErrorText(ENOTDIR));
    page->m_nDestMode = 7;
    EXPECT_FALSE(page->CheckRestoreInput(focus));
    EXPECT_EQ(page->RunRestore(), "An Internal Error occured !!");
    EXPECT_FALSE(fs::exists(logFolder + "/RestoreLog.rtf"));
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"There are no files selected to restore !!",
                                                          "The restore destination path is invalid.",
                                                          "An Internal Error occurred while trying to restore !!"}));
}

TEST_F(RestoreResults, CodesOfTheExtraction) {
    // Nothing left that matches: 509, a message and success.
    {
        auto page = Page(job);
        page->Tree().Click(Node(*page, data + "/notes.md"));
        jobmodel::CAppDoc other = NewJob({{6, data + "/letters"}});
        fs::remove(backup);
        ASSERT_EQ(Run(other), "Backup Completed Successfully.");
        EXPECT_EQ(page->RunRestore(), "Restore Successful");
        EXPECT_EQ(messages.Texts().back(), "There are no files to Restore !!!");
    }
    // A damaged backup fails with the component's text.
    {
        auto page = Page(job);
        page->Tree().Click(*page->Tree().Root());
        WriteFile(backup, "not a zip any more");
        EXPECT_EQ(page->RunRestore(), "Restore Failed !");
        EXPECT_TRUE(Has(RestoreLog(), "Error 50")) << RestoreLog();
        EXPECT_TRUE(Has(messages.Texts().back(), "Error 50"));
    }
}

TEST_F(RestoreResults, AbortStopsBetweenFiles) {
    fs::remove_all(data);
    auto page = Page(job);
    page->Tree().Click(*page->Tree().Root());
    int added = 0;
    page->m_onLogEntry = [&](const std::string&, int kind) {
        if (kind == logbook::kLogFileAdded && ++added == 3) page->RequestAbort();
    };
    EXPECT_EQ(page->RunRestore(), "Restore Aborted !");
    EXPECT_TRUE(Has(RestoreLog(), "User Aborted the Restore Process:\nSome files listed were NOT Restored."));
    EXPECT_FALSE(fs::exists(data + "/scratch.tmp") && fs::exists(data + "/notes.md") &&
                 fs::exists(data + "/letters/bob.txt"));
}

TEST_F(RestoreResults, PasswordAskedCancelledAndGiven) {
    jobmodel::CAppDoc run = NewJob({{6, data}});
    run.m_JobOptions.m_bUsePassword = 1;
    run.m_JobOptions.m_strPassword = "s3cret";
    run.m_JobOptions.m_bPasswordChanged = 1;
    fs::remove(backup);
    ASSERT_EQ(Run(run), "Backup Completed Successfully.");
    fs::remove(data + "/notes.md");

    auto page = Page(job);
    page->Tree().Click(Node(*page, data + "/notes.md"));
    int asked = 0;
    page->m_askPassword = [&]() -> std::optional<std::string> {
        ++asked;
        return std::nullopt;
    };
    EXPECT_EQ(page->RunRestore(), "Restore Aborted !");
    EXPECT_FALSE(fs::exists(data + "/notes.md"));
    EXPECT_TRUE(Has(RestoreLog(), "User Aborted the Restore Process:\nSome files listed were NOT Restored."));

    std::vector<std::string> answers{"wrong", "s3cret"};
    page->m_askPassword = [&]() -> std::optional<std::string> { return answers.at(asked++ - 1); };
    EXPECT_EQ(page->RunRestore(), "Restore Successful");
    EXPECT_EQ(ReadFile(data + "/notes.md"), "# notes\n");
    EXPECT_EQ(asked, 3);
}

TEST_F(RestoreResults, ADamagedEntryNeverReplacesTheFileOnDisk) {
    jobmodel::CAppDoc run = NewJob({{6, data}});
    run.m_JobOptions.m_nCompressionIndex = 0;
    run.m_JobOptions.m_nCompressionLevel = 0;
    fs::remove(backup);
    ASSERT_EQ(Run(run), "Backup Completed Successfully.");
    std::string bytes = ReadFile(backup);
    // Stored, not deflated: the file's text is in the zip as it is.
    const size_t at = bytes.find("# notes");
    ASSERT_NE(at, std::string::npos);
    bytes[at] = '%';
    WriteFile(backup, bytes);
    WriteFile(data + "/notes.md", "kept");
    auto page = Page(job);
    page->Tree().Click(Node(*page, data + "/notes.md"));
    EXPECT_EQ(page->RunRestore(), "Some File Errors ocurred!");
    EXPECT_EQ(ReadFile(data + "/notes.md"), "kept");
    const std::string log = RestoreLog();
    EXPECT_TRUE(Has(log, data + "/notes.md   (Error Code ")) << log;
    EXPECT_FALSE(Has(log, "Files Updated: \t 1")) << log;
    for (const auto& e : fs::directory_iterator(data)) EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
}

TEST_F(RestoreResults, OwnerAndGroupComeBackForRootInTheOriginalFolders) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give files away";
    ASSERT_EQ(::chown((data + "/notes.md").c_str(), 1234, 5678), 0);
    jobmodel::CAppDoc run = NewJob({{6, data}});
    fs::remove(backup);
    ASSERT_EQ(Run(run), "Backup Completed Successfully.");
    fs::remove(data + "/notes.md");
    auto page = Page(job);
    page->Tree().Click(Node(*page, data + "/notes.md"));
    EXPECT_EQ(page->RunRestore(), "Restore Successful");
    EXPECT_EQ(Stat(data + "/notes.md").st_uid, 1234u);
    EXPECT_EQ(Stat(data + "/notes.md").st_gid, 5678u);
    // Elsewhere the files belong to whoever restores them.
    page->m_nDestMode = restore::kAlternateFolder;
    page->m_strDestination = user.Root() + "/out";
    EXPECT_EQ(page->RunRestore(), "Restore Successful");
    EXPECT_EQ(Stat(user.Root() + "/out" + data + "/notes.md").st_uid, 0u);
    // Other tools read the owner too.
    EXPECT_TRUE(Has(testsupport::RunProgram("unzip", {"-Zv", backup}).out, "Unix UID/GID"));
}

}  // namespace
