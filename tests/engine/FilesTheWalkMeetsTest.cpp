// What a Linux home folder holds besides plain files and folders: every item
// under a selection is stored or reported, and a second run of an unchanged
// tree finds nothing to do.

#include "tests/engine/RunFixture.h"

#include "tests/support/Unprivileged.h"
#include "zipcomponent/XceedZip.h"

#include <zip.h>

#include <climits>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace enginetest;

namespace {

class WalkRun : public BackupRun {
protected:
    // The old versions a run kept: none means it found nothing changed.
    std::vector<std::string> ArchiveZips() const {
        std::vector<std::string> found;
        for (const auto& e : fs::directory_iterator(platform::FolderPart(backup)))
            if (Has(e.path().filename().string(), "_Archived_")) found.push_back(e.path().string());
        return found;
    }
    zipcomponent::ZipContents Contents() const {
        zipcomponent::CXceedZip zip;
        zip.m_strArchivePath = backup;
        zipcomponent::ZipContents contents;
        EXPECT_EQ(zip.ListContents(contents, 0), 0);
        return contents;
    }
    const zipcomponent::ZipContentsItem* Entry(const std::string& path) const {
        static zipcomponent::ZipContents contents;
        contents = Contents();
        for (int i = 1; i <= contents.GetCount(); ++i)
            if ("/" + contents.Item(i).name == path) return &contents.Item(i);
        return nullptr;
    }
    // Restores the whole backup below `folder` with our own extraction.
    void Restore(const std::string& folder) const {
        zipcomponent::CXceedZip zip;
        zip.m_strArchivePath = backup;
        zip.m_strExtractFolder = folder;
        ASSERT_EQ(zip.ExtractFiles(), zipcomponent::kResultSuccess);
    }
    // A second run over an unchanged tree: nothing added, updated or archived.
    void ExpectNothingChangesOnTheNextRun(jobmodel::CAppDoc& doc) {
        ASSERT_EQ(Run(doc), "Backup Completed Successfully.");
        EXPECT_TRUE(ArchiveZips().empty());
        const std::string log = LogText();
        EXPECT_TRUE(Has(log, "New Files Added:\n================\n(none)")) << log;
        EXPECT_TRUE(Has(log, "Existing Files Updated:\n=======================\n(none)")) << log;
    }
};

std::string LinkTarget(const std::string& path) {
    std::error_code ec;
    return fs::read_symlink(path, ec).string();
}

}  // namespace

TEST_F(WalkRun, LinksInsideTheTreeAreStoredOnceAsLinksAndSelectedLinksAreFollowed) {
    WriteFile(data + "/docs/a.txt", "a");
    const std::map<std::string, std::string> links = {
        {data + "/loop", "."},          {data + "/up", ".."},    {data + "/dangling", "nowhere"},
        {data + "/out", "/etc"},        {data + "/docs/self", "../docs"},
        {data + "/file-link", "docs/a.txt"}};
    for (const auto& [link, target] : links) fs::create_symlink(target, link);
    // A selected folder that is a link to another disk's folder.
    const std::string elsewhere = user.Root() + "/other-disk/Documents";
    WriteFile(elsewhere + "/deep/down/g.txt", "g");
    const std::string selectedLink = user.Root() + "/Documents";
    fs::create_symlink(elsewhere, selectedLink);
    SetAge(data, 3600);
    auto doc = NewJob({{6, data}, {6, selectedLink}});

    ASSERT_EQ(Run(doc), "Backup Completed Successfully.");
    EXPECT_TRUE(Tested());
    EXPECT_TRUE(Stored(selectedLink + "/deep/down/g.txt"));
    const std::string zipinfo = testsupport::RunProgram("unzip", {"-Z", backup}).out;
    const std::string log = LogText();
    for (const auto& [link, target] : links) {
        const std::string name = link.substr(1);
        const auto line = zipinfo.find(" " + name + "\n");
        ASSERT_NE(line, std::string::npos) << name;
        EXPECT_EQ(zipinfo[zipinfo.rfind('\n', line) + 1], 'l') << name;  // stored as a link
        EXPECT_TRUE(Has(log, link + "\n")) << link;                        // and logged like a file
    }
    EXPECT_FALSE(Stored(data + "/loop/a.txt"));
    EXPECT_FALSE(Stored(data + "/out/passwd"));

    ExpectNothingChangesOnTheNextRun(doc);
    const std::string restored = user.Root() + "/restored";
    Restore(restored);
    for (const auto& [link, target] : links) EXPECT_EQ(LinkTarget(restored + link), target) << link;
    EXPECT_EQ(ReadFile(restored + selectedLink + "/deep/down/g.txt"), "g");
}

TEST_F(WalkRun, NamesThatAreNotUtf8AreStoredAndRestoredWithTheirBytes) {
    const std::vector<std::string> names = {"caf\xe9.txt", "\xff\xfe", "ok-\xc3\xa9.txt", "tab\there"};
    for (const auto& n : names) WriteFile(data + "/names/" + n, "bytes of " + n);
    SetAge(data, 3600);
    auto doc = NewJob({{6, data}});
    ASSERT_EQ(Run(doc), "Backup Completed Successfully.");
    EXPECT_TRUE(Tested());
    for (const auto& n : names) EXPECT_NE(Entry(data + "/names/" + n), nullptr) << n;
    ExpectNothingChangesOnTheNextRun(doc);
    const std::string restored = user.Root() + "/restored";
    Restore(restored);
    for (const auto& n : names) EXPECT_EQ(ReadFile(restored + data + "/names/" + n), "bytes of " + n) << n;
}

namespace {

// Makes folders below `top` until the path is at least `length` bytes long,
// folder by folder, as no single call could take the whole path, and puts
// a file there. Returns the deepest folder.
std::string MakeDeepFolder(const std::string& top, size_t length, const std::string& fileName) {
    const std::string part(200, 'd');
    std::string deep = top;
    fs::create_directories(deep);
    int fd = ::open(deep.c_str(), O_PATH | O_DIRECTORY);
    while (deep.size() < length) {
        EXPECT_EQ(::mkdirat(fd, part.c_str(), 0755), 0);
        const int next = ::openat(fd, part.c_str(), O_PATH | O_DIRECTORY);
        ::close(fd);
        fd = next;
        deep += "/" + part;
    }
    const int file = ::openat(fd, fileName.c_str(), O_WRONLY | O_CREAT, 0644);
    EXPECT_EQ(::write(file, "leaf", 4), 4);
    ::close(file);
    ::close(fd);
    return deep;
}

}  // namespace

TEST_F(WalkRun, PathsLongerThanTheSystemTakesAreWalkedAndStored) {
    const std::string deep = MakeDeepFolder(data + "/long", PATH_MAX + 500, "leaf.txt");
    auto doc = NewJob({{6, data}});
    ASSERT_EQ(Run(doc), "Backup Completed Successfully.");
    EXPECT_NE(Entry(deep + "/leaf.txt"), nullptr);
    // Info-ZIP's unzip takes no name this long; 7-Zip does.
    EXPECT_EQ(testsupport::RunProgram("7z", {"t", backup}).exitCode, 0);
    ExpectNothingChangesOnTheNextRun(doc);
}

TEST_F(WalkRun, APathTooLongForAZipEntryIsAFileError) {
    const std::string deep = MakeDeepFolder(data + "/longer", 65536, "far.txt");
    auto doc = NewJob({{6, data}});
    EXPECT_EQ(Run(doc), "Backup COMPLETED, Some FILE ERRORS Occurred !!!");
    EXPECT_TRUE(Has(LogText(), deep + "/far.txt : Error Code 24 - The path is too long to be stored in a zip file."));
    EXPECT_TRUE(Stored(data + "/letters/ann.txt"));
    EXPECT_EQ(testsupport::RunProgram("7z", {"t", backup}).exitCode, 0);
}

TEST_F(WalkRun, TimesOutsideThe32BitRangeDoNotMakeAFileChangeOnEveryRun) {
    const struct {
        const char* name;
        time_t mtime;
        time_t stored;
    } cases[] = {
        {"2040.txt", 2208988800, 2208988800},      // after 2038-01-19
        {"1960.txt", -315619200, -315619200},      // before 1970
        {"2150.txt", 5602953600, 4294967295},      // past what the field holds: its last second
    };
    for (const auto& c : cases) {
        WriteFile(data + "/times/" + c.name, c.name);
        const struct timespec times[2] = {{c.mtime, 0}, {c.mtime, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, (data + "/times/" + c.name).c_str(), times, 0), 0);
    }
    auto doc = NewJob({{6, data + "/times"}});
    ASSERT_EQ(Run(doc), "Backup Completed Successfully.");
    for (const auto& c : cases) {
        const auto* entry = Entry(data + "/times/" + c.name);
        ASSERT_NE(entry, nullptr) << c.name;
        EXPECT_EQ(entry->modified, c.stored) << c.name;
    }
    ExpectNothingChangesOnTheNextRun(doc);
    const std::string restored = user.Root() + "/restored";
    Restore(restored);
    struct stat st {};
    ASSERT_EQ(::stat((restored + data + "/times/2040.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 2208988800);
}

TEST_F(WalkRun, AFileReplacedByAFifoAfterTheSurveyIsExcludedNotOpened) {
    auto doc = NewJob({{6, data}});
    const std::string victim = data + "/notes.md";
    const std::string status = Run(doc, [&](CBackupEngine&) {
        view.onCurrentFile = [&](const std::string& path) {
            if (path != victim || !fs::is_regular_file(victim)) return;
            fs::remove(victim);
            ASSERT_EQ(::mkfifo(victim.c_str(), 0644), 0);
        };
    });
    EXPECT_EQ(status, "Backup Completed Successfully.");
    EXPECT_FALSE(Stored(victim));
    EXPECT_TRUE(Stored(data + "/letters/ann.txt"));
    const std::string log = LogText();
    EXPECT_TRUE(Has(log, "Files Excluded:\n===============\n" + victim)) << log;
    EXPECT_FALSE(Has(log, "New Files Added:\n================\n" + victim)) << log;
}

TEST_F(WalkRun, ExcludePatternsMatchTheSameWayWhenWritingAndWhenArchiving) {
    WriteFile(data + "/F.TMP", "upper case");
    WriteFile(data + "/README", "no dot");
    SetAge(data, 3600);
    const struct {
        const char* types;
        std::vector<std::string> left, kept;
    } cases[] = {
        {"*.tmp:", {"/F.TMP", "/scratch.tmp"}, {"/README", "/notes.md"}},
        {"*.MD:", {"/notes.md"}, {"/README", "/F.TMP"}},
    };
    for (const auto& c : cases) {
        fs::remove_all(platform::FolderPart(backup));
        auto doc = NewJob({{6, data}});
        doc.m_BackupSettings.m_nFileFilterMode = jobmodel::kFilterExclude;
        doc.m_BackupSettings.m_strFileTypes = c.types;
        ASSERT_EQ(Run(doc), "Backup Completed Successfully.") << c.types;
        for (const auto& f : c.left) EXPECT_FALSE(Stored(data + f)) << c.types << f;
        for (const auto& f : c.kept) EXPECT_TRUE(Stored(data + f)) << c.types << f;
        ExpectNothingChangesOnTheNextRun(doc);
    }
}

// Permissions bind only a user without special rights: these runs go through
// the real runner as such a user.
class UnprivilegedRun : public WalkRun {
protected:
    std::string runner;

    void SetUp() override {
        std::string why;
        if (!testsupport::Unprivileged::Available(why)) GTEST_SKIP() << "cannot run unprivileged: " << why;
        WalkRun::SetUp();
        // Beside the tree, so the unprivileged user can start it wherever the build is.
        runner = user.Root() + "/bin/gorvex";
        fs::create_directories(user.Root() + "/bin");
        fs::copy_file(GORVEX_PROGRAM, runner);
    }
    testsupport::ProcessResult RunAsUser() {
        testsupport::Unprivileged::Prepare(user.Root());
        // The tree's owner lost the rights the test took away; root kept them.
        for (const auto& [path, mode] : modes) fs::permissions(path, mode);
        auto result = testsupport::Unprivileged::Run(runner, {jobPath});
        return result;
    }
    std::vector<std::pair<std::string, fs::perms>> modes;
};

TEST_F(UnprivilegedRun, FoldersThatCannotBeListedOrEnteredAreFileErrorsWithTheirReason) {
    WriteFile(data + "/closed/x.txt", "x");
    WriteFile(data + "/no-search/y.txt", "y");
    WriteFile(data + "/no-read/z.txt", "z");
    WriteFile(data + "/no-read/below/w.txt", "w");
    const std::string locked = user.Root() + "/locked";
    WriteFile(locked + "/v.txt", "v");
    modes = {{data + "/closed", fs::perms::none},
             {data + "/no-search", fs::perms::owner_read | fs::perms::owner_write},
             {data + "/no-read", fs::perms::owner_write | fs::perms::owner_exec},
             {locked, fs::perms::none}};
    NewJob({{6, data}, {6, locked}});
    const auto result = RunAsUser();
    EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
    EXPECT_TRUE(Has(result.err, "Backup COMPLETED, Some FILE ERRORS Occurred !!!")) << result.out << result.err;
    EXPECT_TRUE(Stored(data + "/letters/ann.txt"));
    const std::string log = LogText();
    for (const std::string& folder : {data + "/closed", data + "/no-read", locked})
        EXPECT_TRUE(Has(log, folder + " : Error Code 23 - The folder cannot be listed. (Permission denied)"))
            << folder << "\n" << log;
    EXPECT_TRUE(Has(log, data + "/no-search/y.txt : Error Code 16 - The file cannot be opened for reading. "
                                "(Permission denied)"))
        << log;
}

TEST_F(UnprivilegedRun, AChangedFileThatCannotBeOpenedKeepsItsStoredCopy) {
    auto doc = NewJob({{6, data}});
    ASSERT_EQ(RunAsUser().exitCode, 0);
    const std::string secret = data + "/notes.md";
    WriteFile(secret, "# notes, changed\n");
    modes = {{secret, fs::perms::none}};
    for (int run = 0; run < 2; ++run) {
        const auto result = RunAsUser();
        EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
        EXPECT_TRUE(ArchiveZips().empty()) << run;
        EXPECT_TRUE(Stored(secret)) << run;
        EXPECT_TRUE(Has(LogText(), secret + " : Error Code 16 - The file cannot be opened for reading. "
                                            "(Permission denied)"));
    }
}

namespace {

// Adds entries no run of ours would write: an absolute name, a name with a
// control character, and a second entry of a stored file's name.
void AddStrangeEntries(const std::string& backup, const std::string& storedName) {
    int error = 0;
    zip_t* za = zip_open(backup.c_str(), 0, &error);
    ASSERT_NE(za, nullptr);
    std::string twin = storedName;
    twin.back() = '#';
    for (const std::string& name : {std::string("/abs/name.txt"), std::string("home/bad\x01name.txt"), twin}) {
        zip_source_t* data = zip_source_buffer(za, "stranger", 8, 0);
        ASSERT_GE(zip_file_add(za, name.c_str(), data, ZIP_FL_ENC_RAW), 0) << name;
    }
    ASSERT_EQ(zip_close(za), 0);
    // The twin takes the stored name in both of its headers.
    std::string bytes = ReadFile(backup);
    for (size_t at; (at = bytes.find(twin)) != std::string::npos;) bytes.replace(at, twin.size(), storedName);
    WriteFile(backup, bytes);
}

}  // namespace

TEST_F(WalkRun, EntriesThatNameNoSelectedPathLeaveTheBackupOnce) {
    auto doc = NewJob({{6, data}});
    ASSERT_EQ(Run(doc), "Backup Completed Successfully.");
    const std::string notes = (data + "/notes.md").substr(1);
    AddStrangeEntries(backup, notes);
    const auto before = Entries();
    ASSERT_EQ(std::count(before.begin(), before.end(), notes), 2);

    ASSERT_EQ(Run(doc), "Backup Completed Successfully.");
    const std::string log = LogText();
    for (const std::string removed : {"//abs/name.txt", "/home/bad\x01name.txt"})
        EXPECT_TRUE(Has(log, removed + "\n")) << removed << "\n" << log;
    const auto names = Entries();
    EXPECT_EQ(std::count(names.begin(), names.end(), notes), 1);
    EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string& n) { return Has(n, "name.txt"); }), 0);
    ASSERT_EQ(ArchiveZips().size(), 1u);
    // Nothing of them is left to archive again: the next run keeps no old
    // versions beside the one archive zip.
    fs::remove(ArchiveZips()[0]);
    ExpectNothingChangesOnTheNextRun(doc);
}
