#include "tests/restore/RestoreFixture.h"

#include <zip.h>

#include <deque>

using namespace restoretest;

namespace {

class ZipOfAnotherTool : public RestoreRun {
protected:
    jobmodel::CAppDoc zipDoc{jobmodel::DocHost::Editor};
    std::string zipPath, out;

    void SetUp() override {
        RestoreRun::SetUp();
        fs::create_symlink("ann.txt", data + "/letters/to-ann");
        zipPath = user.Root() + "/other.zip";
        out = user.Root() + "/out";
    }
    void Open() { ASSERT_TRUE(zipDoc.OnOpenDocument(zipPath)); }
    // Restores the whole zip into `out`, keeping its paths.
    std::string RestoreAll() {
        auto page = Page(zipDoc);
        EXPECT_FALSE(page->m_bHasDriveRoots);
        EXPECT_EQ(page->m_nDestMode, restore::kAlternateFolder);
        page->Tree().Click(*page->Tree().Root());
        page->m_strDestination = out;
        return page->RunRestore();
    }
};

TEST_F(ZipOfAnotherTool, InfoZipAnd7ZipArchivesRestoreBelowAChosenFolder) {
    struct Maker {
        const char* name;
        std::string command;
    };
    const Maker makers[] = {
        {"zip", "cd '" + data + "' && zip -qry '" + zipPath + "' ."},
        {"7z", "cd '" + data + "' && 7z a -tzip -snl -bso0 -bsp0 '" + zipPath + "' ."},
    };
    const time_t annTime = Stat(data + "/letters/ann.txt").st_mtime;
    for (const Maker& m : makers) {
        fs::remove(zipPath);
        fs::remove_all(out);
        ASSERT_EQ(testsupport::RunProgram("sh", {"-c", m.command}).exitCode, 0) << m.name;
        Open();
        EXPECT_EQ(RestoreAll(), "Restore Successful") << m.name;
        EXPECT_EQ(ReadFile(out + "/letters/ann.txt"), "Dear Ann,\n") << m.name;
        EXPECT_EQ(ReadFile(out + "/cache/big/blob.bin"), "cached") << m.name;
        EXPECT_EQ(Stat(out + "/letters/ann.txt").st_mtime, annTime) << m.name;
        EXPECT_EQ(fs::read_symlink(out + "/letters/to-ann"), "ann.txt") << m.name;
        EXPECT_TRUE(fs::is_directory(out + "/empty")) << m.name;
    }
}

// A zip written to attack the restore: names that climb out, absolute
// names, a link that points away and an entry written through it, and an
// entry through a link already in the destination.
class HostileZip : public RestoreRun {
protected:
    std::string zipPath, out, outside;
    void SetUp() override {
        RestoreRun::SetUp();
        zipPath = user.Root() + "/hostile.zip";
        out = user.Root() + "/out";
        outside = user.Root() + "/outside";
        fs::create_directories(outside);
    }
    std::deque<std::string> m_kept;  // libzip reads the data at zip_close
    void Add(zip_t* za, const std::string& name, const std::string& bytes, bool link = false,
             const std::string& basePath = "") {
        const std::string& kept = m_kept.emplace_back(bytes);
        zip_source_t* source = zip_source_buffer(za, kept.data(), kept.size(), 0);
        const zip_int64_t i = zip_file_add(za, name.c_str(), source, ZIP_FL_ENC_RAW);
        ASSERT_GE(i, 0) << name;
        if (link)
            zip_file_set_external_attributes(za, static_cast<zip_uint64_t>(i), 0, ZIP_OPSYS_UNIX,
                                             static_cast<zip_uint32_t>(0120777) << 16);
        if (!basePath.empty())
            zip_file_extra_field_set(za, static_cast<zip_uint64_t>(i), 0x6C76, ZIP_EXTRA_FIELD_NEW,
                                     reinterpret_cast<const zip_uint8_t*>(basePath.data()),
                                     static_cast<zip_uint16_t>(basePath.size()), ZIP_FL_CENTRAL);
    }
};

TEST_F(HostileZip, NothingIsWrittenOutsideTheChosenFolder) {
    fs::create_directories(out);
    fs::create_directory_symlink(outside, out + "/pre");
    {
        int error = 0;
        zip_t* za = zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        ASSERT_NE(za, nullptr);
        Add(za, "good.txt", "fine");
        Add(za, "../climb.txt", "escaped");
        Add(za, "a/../../climb2.txt", "escaped");
        Add(za, "/abs.txt", "escaped");
        Add(za, "away", outside, true);
        Add(za, "away/through.txt", "escaped");
        Add(za, "pre/already.txt", "escaped");
        ASSERT_EQ(zip_close(za), 0);
    }
    jobmodel::CAppDoc doc(jobmodel::DocHost::Editor);
    ASSERT_TRUE(doc.OnOpenDocument(zipPath));
    auto page = Page(doc);
    page->Tree().Click(*page->Tree().Root());
    page->m_strDestination = out;
    EXPECT_EQ(page->RunRestore(), "Some File Errors ocurred!");
    EXPECT_EQ(ReadFile(out + "/good.txt"), "fine");
    EXPECT_EQ(fs::read_symlink(out + "/away"), outside);  // a link is only a link
    EXPECT_TRUE(fs::is_empty(outside));
    for (const std::string& escaped : {user.Root() + "/climb.txt", user.Root() + "/climb2.txt", std::string("/abs.txt")})
        EXPECT_FALSE(fs::exists(escaped)) << escaped;
    const std::string log = RestoreLog();
    for (const char* name : {"climb.txt", "climb2.txt", "abs.txt", "through.txt", "already.txt"})
        EXPECT_TRUE(Has(log, std::string(name) + "   (Error Code 18")) << name << "\n" << log;
    EXPECT_TRUE(Has(log, "File Errors:   \t 5")) << log;
}

TEST_F(HostileZip, OriginalFoldersRefuseALinkTheZipPlaced) {
    // A zip that claims to be one of ours, so that it restores into "/".
    const std::string target = out.substr(1);
    {
        int error = 0;
        zip_t* za = zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        ASSERT_NE(za, nullptr);
        Add(za, target + "/away", outside, true, "/");
        Add(za, target + "/away/through.txt", "escaped", false, "/");
        Add(za, target + "/../climb.txt", "escaped", false, "/");
        ASSERT_EQ(zip_close(za), 0);
    }
    jobmodel::CAppDoc doc(jobmodel::DocHost::Editor);
    ASSERT_TRUE(doc.OnOpenDocument(zipPath));
    auto page = Page(doc);
    ASSERT_TRUE(page->m_bHasDriveRoots);
    page->Tree().Click(*page->Tree().Root());
    EXPECT_EQ(page->RunRestore(), "Some File Errors ocurred!");
    EXPECT_TRUE(fs::is_symlink(out + "/away"));
    EXPECT_TRUE(fs::is_empty(outside));
    EXPECT_FALSE(fs::exists(user.Root() + "/climb.txt"));
}

class RestoreCommand : public RestoreRun {
protected:
    void SetUp() override {
        RestoreRun::SetUp();
        BackUp();
    }
    static testsupport::ProcessResult Restore(const std::vector<std::string>& args) {
        return testsupport::RunProgram(VELLORA_RESTORE_PROGRAM, args);
    }
};

TEST_F(RestoreCommand, ListsTheBackupAsTheTreeNamesIt) {
    const auto all = Split(Restore({backup, "--list"}).out);
    for (const std::string& path : {data + "/", data + "/letters/", data + "/letters/ann.txt", data + "/empty/"})
        EXPECT_NE(std::find(all.begin(), all.end(), path), all.end()) << path;
    EXPECT_EQ(Split(Restore({backup, "--list", data + "/letters"}).out),
              (std::vector<std::string>{data + "/letters/ann.txt", data + "/letters/bob.txt"}));
}

TEST_F(RestoreCommand, RestoresWithTheEditorsOptions) {
    const std::string out = user.Root() + "/out";
    auto r = Restore({backup, "--to", out, "--exclude", data + "/letters/bob.txt", data + "/letters"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Restore Successful\nLog: " + logFolder + "/RestoreLog.rtf\n");
    EXPECT_TRUE(fs::exists(out + data + "/letters/ann.txt"));
    EXPECT_FALSE(fs::exists(out + data + "/letters/bob.txt"));

    WriteFile(data + "/notes.md", "changed");
    r = Restore({backup, "--only-missing"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(data + "/notes.md"), "changed");
    r = Restore({backup, data + "/notes.md"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(data + "/notes.md"), "# notes\n");

    r = Restore({backup, "--flat", out + "/flat", data + "/letters"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(out + "/flat/bob.txt"));
}

TEST_F(RestoreCommand, ExitCodesTellUsageFailureAndSuccess) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
    };
    const std::string out = user.Root() + "/out";
    WriteFile(user.Root() + "/junk.zip", "not a zip");
    const Case cases[] = {
        {{}, 2},
        {{backup, "--to"}, 2},
        {{backup, "--to", out, "--flat", out}, 2},
        {{backup, "--only-newer", "--only-missing"}, 2},
        {{backup, "--bogus"}, 2},
        {{backup, "--to", out, "/no/such/path"}, 2},
        {{user.Root() + "/missing.velarc", "--to", out}, 2},
        {{user.Root() + "/junk.zip", "--to", out}, 2},
        {{user.Root() + "/junk.zip", "--list"}, 2},
        {{backup, "--to", "/proc/cannot-make-this"}, 1},
        {{backup, "--to", out}, 0},
    };
    for (const Case& c : cases) {
        const auto r = Restore(c.args);
        std::string shown;
        for (const auto& a : c.args) shown += a + " ";
        EXPECT_EQ(r.exitCode, c.exitCode) << shown << "\n" << r.out << r.err;
    }
}

}  // namespace
