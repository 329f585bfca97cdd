#include "restore/Versions.h"
#include "tests/restore/RestoreFixture.h"

using namespace restoretest;

namespace {

// A file changed, deleted and made again over four real runs: the backup
// holds the third text, the archive zips the first two.
class FileVersions : public RestoreRun {
protected:
    std::string report;
    void SetUp() override {
        RestoreRun::SetUp();
        report = data + "/letters/report.odt";
        jobmodel::CAppDoc run = NewJob({{6, data}});
        const time_t now = time(nullptr);
        WriteVersion("first", now - 30000);
        ASSERT_EQ(Run(run), "Backup Completed Successfully.");
        WriteVersion("second text", now - 20000);
        ASSERT_EQ(Run(run), "Backup Completed Successfully.");
        fs::remove(report);
        ASSERT_EQ(Run(run), "Backup Completed Successfully.");
        WriteVersion("third", now - 10000);
        ASSERT_EQ(Run(run), "Backup Completed Successfully.");
        ASSERT_TRUE(job.OnOpenDocument(jobPath));
    }
    void WriteVersion(const std::string& text, time_t when) {
        WriteFile(report, text);
        const struct timespec times[2] = {{when, 0}, {when, 0}};
        utimensat(AT_FDCWD, report.c_str(), times, 0);
    }
    std::vector<restore::FileVersion> Versions() {
        restore::CVersionCatalog catalog;
        return catalog.FindVersions(restore::ListBackupFiles(backup), report);
    }
};

TEST_F(FileVersions, EveryCopyNewestFirstFromTheBackupAndItsArchives) {
    const auto versions = Versions();
    ASSERT_EQ(versions.size(), 3u);
    EXPECT_EQ(versions[0].label, "Current backup");
    EXPECT_EQ(versions[0].zipPath, backup);
    EXPECT_EQ(versions[0].size, 5u);
    for (size_t i = 1; i < versions.size(); ++i) {
        EXPECT_NE(versions[i].zipPath.find("_Archived_"), std::string::npos);
        EXPECT_EQ(versions[i].zipPath.find(versions[i].label), versions[i].zipPath.find("_Archived_") + 10);
        EXPECT_LT(versions[i].modified, versions[i - 1].modified);
    }
    EXPECT_EQ(versions[1].size, 11u);
    EXPECT_EQ(versions[2].size, 5u);
    // Nothing of a path no zip holds.
    restore::CVersionCatalog catalog;
    EXPECT_TRUE(catalog.FindVersions(restore::ListBackupFiles(backup), data + "/none.txt").empty());
}

TEST_F(FileVersions, ACopyGoesBackWhereverTheUserSays) {
    const auto versions = Versions();
    ASSERT_EQ(versions.size(), 3u);
    auto page = std::make_unique<restore::CRestorePage>(job, jobmodel::CSettingsRegistry(jobmodel::Hive::CurrentUser));

    const std::string dated = data + "/letters/" + restore::DatedName("report.odt", versions[2].modified);
    EXPECT_EQ(restore::RestoreVersion(*page, versions[2], report, restore::VersionTarget::BesideOriginal, ""),
              "Restore Successful");
    EXPECT_EQ(ReadFile(report), "third");
    EXPECT_EQ(ReadFile(dated), "first");
    EXPECT_TRUE(Has(RestoreLog(), dated)) << RestoreLog();
    for (const auto& e : fs::directory_iterator(data + "/letters"))
        EXPECT_NE(e.path().filename().string().rfind(".vellora-version-", 0), 0u) << e.path();

    const std::string folder = user.Root() + "/chosen";
    EXPECT_EQ(restore::RestoreVersion(*page, versions[1], report, restore::VersionTarget::Folder, folder),
              "Restore Successful");
    EXPECT_EQ(ReadFile(folder + "/report.odt"), "second text");

    EXPECT_EQ(restore::RestoreVersion(*page, versions[1], report, restore::VersionTarget::OriginalFolder, ""),
              "Restore Successful");
    EXPECT_EQ(ReadFile(report), "second text");
}

TEST_F(FileVersions, TheCommandListsVersionsAndRestoresFromAnArchive) {
    auto r = testsupport::RunProgram(VELLORA_RESTORE_PROGRAM, {backup, "--versions", report});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto lines = Split(r.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("Current backup\t", 0), 0u);
    EXPECT_TRUE(Has(lines[1], "\t11\t"));
    const std::string archive = lines[2].substr(lines[2].rfind('\t') + 1);

    const std::string out = user.Root() + "/out";
    r = testsupport::RunProgram(VELLORA_RESTORE_PROGRAM,
                                {backup, "--from", platform::FileNamePart(archive), "--flat", out, report});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(ReadFile(out + "/report.odt"), "first");
    r = testsupport::RunProgram(VELLORA_RESTORE_PROGRAM, {backup, "--from", "nothing.velarc", "--flat", out});
    EXPECT_EQ(r.exitCode, 2);
    r = testsupport::RunProgram(VELLORA_RESTORE_PROGRAM, {backup, "--versions", data + "/none.txt"});
    EXPECT_EQ(r.exitCode, 1);
}

// The preview's figures are what the restore then does.
TEST_F(RestoreRun, APreviewCountsWhatTheRestoreThenDoes) {
    BackUp();
    fs::remove(data + "/letters/bob.txt");        // will be added
    WriteFile(data + "/notes.md", "newer edit");  // newer on disk
    SetAge(data + "/letters", 90000);             // ann.txt older on disk than the backup
    struct Case {
        int mode;
        int add, overwrite, newer, skip;
    };
    // letters/ann.txt, letters/bob.txt, notes.md
    const Case cases[] = {
        {restore::kRestoreAll, 1, 2, 1, 0},
        {restore::kOnlyExisting, 0, 2, 1, 1},
        {restore::kOnlyMissing, 1, 0, 0, 2},
        {restore::kOnlyNewer, 1, 1, 0, 1},
    };
    for (const Case& k : cases) {
        auto page = Page(job);
        page->Tree().Click(Node(*page, data + "/letters"));
        page->Tree().Click(Node(*page, data + "/notes.md"));
        page->m_nOverwriteMode = k.mode;
        page->m_nDestMode = restore::kAlternateFolder;
        page->m_strDestination = user.Root() + "/never-made";
        const restore::RestorePreview elsewhere = page->PreviewRestore();
        EXPECT_EQ(elsewhere.add + elsewhere.skip, 3) << k.mode;
        EXPECT_EQ(elsewhere.add, k.mode == restore::kOnlyExisting ? 0 : 3) << k.mode;
        EXPECT_FALSE(fs::exists(user.Root() + "/never-made"));

        page->m_nDestMode = restore::kOriginalFolders;
        const restore::RestorePreview p = page->PreviewRestore();
        EXPECT_EQ(p.add, k.add) << k.mode;
        EXPECT_EQ(p.overwrite, k.overwrite) << k.mode;
        EXPECT_EQ(p.newerOnDisk, k.newer) << k.mode;
        EXPECT_EQ(p.skip, k.skip) << k.mode;
        EXPECT_EQ(ReadFile(data + "/notes.md"), "newer edit");  // nothing written yet
        if (k.add + k.overwrite) {
            EXPECT_EQ(p.example.rfind(data + "/", 0), 0u) << p.example;
        }
        const std::string text = restore::PreviewText(p);
        EXPECT_TRUE(Has(text, "add " + std::to_string(k.add) + " ")) << text;

        EXPECT_EQ(page->RunRestore(), "Restore Successful");
        EXPECT_EQ(page->Log().m_nFilesAdded, k.add) << k.mode;
        EXPECT_EQ(page->Log().m_nFilesUpdated, k.overwrite) << k.mode;
        // Put the disk back as it was for the next rule.
        fs::remove(data + "/letters/bob.txt");
        WriteFile(data + "/notes.md", "newer edit");
        WriteFile(data + "/letters/ann.txt", "Dear Ann,\n");
        SetAge(data + "/letters", 90000);
    }
}

TEST_F(RestoreRun, SearchFindsNamesAcrossTheWholeBackup) {
    for (int i = 0; i < 30; ++i) WriteFile(data + "/year/month" + std::to_string(i) + "/Report-" + std::to_string(i) + ".ODT", "r");
    BackUp();
    auto page = Page(job);
    struct Case {
        std::string pattern;
        size_t total;
    };
    const Case cases[] = {{"report", 30}, {"*.odt", 30}, {"report-1?.odt", 10}, {"MONTH2*", 11}, {"ann.txt", 1},
                          {"nothing here", 0}};
    for (const Case& c : cases) {
        size_t total = 0;
        const auto hits = page->Search(c.pattern, 1000, total);
        EXPECT_EQ(total, c.total) << c.pattern;
        EXPECT_EQ(hits.size(), c.total) << c.pattern;
    }
    size_t total = 0;
    const auto some = page->Search("report", 5, total);
    EXPECT_EQ(total, 30u);
    ASSERT_EQ(some.size(), 5u);
    EXPECT_EQ(some[0].path.rfind(data + "/year/month", 0), 0u) << some[0].path;
    EXPECT_NE(page->Tree().FindPath(some[0].path), nullptr);
    const auto folders = page->Search("month2*", 100, total);
    ASSERT_FALSE(folders.empty());
    EXPECT_TRUE(folders[0].folder);  // folders only files below them name
}

}  // namespace
