#include "tests/zipcomponent/ZipFixture.h"

#include "platform/FileSystem.h"
#include "zipcomponent/PackingPipeline.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zipcomponent;
using testsupport::ReadFile;
using testsupport::ZipTest;

namespace {

size_t FilesIn(const std::string& folder) {
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder)) n += e.is_regular_file();
    return n;
}

// The archive files this process still holds open, replaced ones included.
size_t OpenArchiveFiles(const std::string& archive) {
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        const std::string target = std::filesystem::read_symlink(e.path(), ec).string();
        n += !ec && target.rfind(archive, 0) == 0;
    }
    return n;
}

}  // namespace

TEST_F(ZipTest, BackupIsAStandardZipThatPeersAccept) {
    zip.m_strArchivePath = archive;
    AddTreeSpecs();
    events.description = "Nightly backup of Ann's letters";
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);

    const std::string prefix = EntryName(data);
    EXPECT_EQ(Listing(), prefix + "/\n" + prefix + "/a.txt\n" + prefix + "/bin.dat\n" + prefix + "/empty/\n" +
                             prefix + "/n\xc3\xa9v \xc3\xbc.txt\n" + prefix + "/sub/\n" + prefix + "/sub/b.txt\n");
    EXPECT_EQ(events.totalFiles, 4u);
    EXPECT_EQ(events.totalBytes, std::filesystem::file_size(data + "/a.txt") + 200000 + 4 + 8);
    EXPECT_EQ(events.overallPercents.back(), 100);

    auto unzip = Peer("unzip", {"-t", archive});
    EXPECT_EQ(unzip.exitCode, 0) << unzip.out;
    EXPECT_NE(unzip.out.find("Nightly backup of Ann's letters"), std::string::npos);
    auto sevenZip = Peer("7z", {"t", archive});
    EXPECT_EQ(sevenZip.exitCode, 0) << sevenZip.out;
    auto bsdtar = Peer("bsdtar", {"-tvf", archive});
    ASSERT_EQ(bsdtar.exitCode, 0) << bsdtar.err;
    EXPECT_NE(bsdtar.out.find("drwx"), std::string::npos);
    EXPECT_NE(bsdtar.out.find("-rw-r-----"), std::string::npos);  // sub/b.txt keeps 0640

    // Info-ZIP restores the exact times from the extended timestamps.
    const std::string out = user.Root() + "/unzipped";
    ASSERT_EQ(Peer("unzip", {"-q", archive, "-d", out}).exitCode, 0);
    struct stat st {};
    ASSERT_EQ(stat((out + data + "/sub/b.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1700000005);
    EXPECT_TRUE(platform::IsFolder(out + data + "/empty"));
    EXPECT_EQ(ReadFile(out + data + "/bin.dat"), ReadFile(data + "/bin.dat"));

    for (const auto& p : events.prepared) {
        EXPECT_FALSE(p.skipped) << p.path;
        EXPECT_FALSE(p.entryExists) << p.path;
    }
}

TEST_F(ZipTest, PackingLevelsFromStoredToMaximum) {
    uint64_t previous = UINT64_MAX;
    for (int level : {0, 1, 6, 9}) {
        const std::string path = user.Root() + "/level" + std::to_string(level) + ".zip";
        CXceedZip z;
        z.m_strArchivePath = path;
        z.m_nPackingLevel = level;
        z.AddFileSpec(data + "/a.txt");
        ASSERT_EQ(z.WriteArchive(), kResultSuccess);
        ZipContents contents;
        ASSERT_EQ(z.ListContents(contents, 0), 0);
        ASSERT_EQ(contents.GetCount(), 1);
        const auto& item = contents.Item(1);
        if (level == 0)
            EXPECT_EQ(item.compressedSize, item.size);
        else
            EXPECT_LT(item.compressedSize, item.size / 3);
        EXPECT_LE(item.compressedSize, previous) << level;
        previous = item.compressedSize;
        auto verbose = Peer("unzip", {"-v", path});
        EXPECT_NE(verbose.out.find(level == 0 ? "Stored" : "Defl:"), std::string::npos) << verbose.out;
    }
}

TEST_F(ZipTest, UpdateRewritesOnlyWhatChangedAndKeepsTheRest) {
    zip.m_strArchivePath = archive;
    AddTreeSpecs();
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    const std::string first = ReadFile(archive);

    // Nothing changed: nothing is written.
    zip.m_bSkipNotNewer = true;
    events.prepared.clear();
    ASSERT_EQ(zip.WriteArchive(), kResultUnchanged);
    EXPECT_EQ(ReadFile(archive), first);
    const auto* a = events.Prepared(data + "/a.txt");
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->skipped);
    EXPECT_EQ(a->skipReason, kSkipNotNewer);
    EXPECT_TRUE(a->entryExists);

    // One file changed, one is no longer selected: the first is replaced,
    // the second stays as stored.
    testsupport::WriteFile(data + "/sub/b.txt", "bee, second edition\n");
    SetTime(data + "/sub/b.txt", 1700000105);
    zip.SetFileSpecList(data + "/sub/*");
    events.prepared.clear();
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    const auto* b = events.Prepared(data + "/sub/b.txt");
    ASSERT_NE(b, nullptr);
    EXPECT_FALSE(b->skipped);
    EXPECT_TRUE(b->entryExists);
    const std::string out = user.Root() + "/out";
    ASSERT_EQ(Peer("unzip", {"-q", archive, "-d", out}).exitCode, 0);
    EXPECT_EQ(ReadFile(out + data + "/sub/b.txt"), "bee, second edition\n");
    EXPECT_EQ(ReadFile(out + data + "/bin.dat"), ReadFile(data + "/bin.dat"));
    EXPECT_EQ(FilesIn(user.Root() + "/backup"), 1u);
}

TEST_F(ZipTest, UpdatesAndAbortsLetGoOfEveryOldBackup) {
    zip.m_strArchivePath = archive;
    AddTreeSpecs();
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    for (time_t t : {1700000200, 1700000300, 1700000400}) {
        SetTime(data + "/a.txt", t);
        ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    }
    testsupport::WriteFile(data + "/big.bin", std::string(4 << 20, 'z'));
    events.onProgress = [&](const OverallProgressArgs&) { zip.m_bAbortRequest = true; };
    EXPECT_EQ(zip.WriteArchive(), kResultAborted);
    // Replaced backups are let go in the background, so give that a moment.
    for (int i = 0; i < 100 && OpenArchiveFiles(archive) > 0; ++i) usleep(10000);
    EXPECT_EQ(OpenArchiveFiles(archive), 0u);
}

// A file is stored as it is when it is read, not as the survey saw it.
TEST_F(ZipTest, FilesThatChangeAfterTheSurveyAreStoredAsOpenedWithAWarning) {
    zip.m_strArchivePath = archive;
    zip.AddFileSpec(data + "/sub/*");
    testsupport::WriteFile(data + "/sub/grows.txt", "short");
    testsupport::WriteFile(data + "/sub/shrinks.txt", "a longer text than it will be");
    ASSERT_EQ(zip.SurveyFiles(false), kResultSuccess);
    testsupport::WriteFile(data + "/sub/grows.txt", "short, and then a good deal longer");
    testsupport::WriteFile(data + "/sub/shrinks.txt", "short");
    ASSERT_EQ(zip.WriteArchive(), kResultWarnings);
    for (const char* name : {"grows.txt", "shrinks.txt"}) {
        const std::string path = data + "/sub/" + name;
        auto stored = Peer("unzip", {"-p", archive, EntryName(path)});
        EXPECT_EQ(stored.out, ReadFile(path)) << name;
        EXPECT_NE(std::find(events.warnings.begin(), events.warnings.end(), std::pair{path, int(kWarnFileChanged)}),
                  events.warnings.end())
            << name;
    }
}

TEST_F(ZipTest, AFileThatGrowsWhileReadIsStoredUpToItsSizeAtOpen) {
    const std::string path = data + "/sub/log.bin";
    std::string original(4 << 20, 'a');
    testsupport::WriteFile(path, original);
    zip.m_strArchivePath = archive;
    zip.m_nPackingLevel = 0;
    zip.AddFileSpec(path);
    // Appends while the component is reading it, as a log being written does.
    bool appended = false;
    events.onProgress = [&](const OverallProgressArgs&) {
        if (appended) return;
        appended = true;
        std::ofstream(path, std::ios::app) << std::string(1 << 20, 'b');
    };
    ASSERT_EQ(zip.WriteArchive(), kResultWarnings);
    ASSERT_TRUE(appended);
    EXPECT_EQ(Peer("unzip", {"-p", archive, EntryName(path)}).out, original);
    ASSERT_EQ(events.warnings.size(), 1u);
    EXPECT_EQ(events.warnings[0], std::make_pair(path, int(kWarnFileChanged)));
}

// Files are packed ahead of libzip on worker threads: whole files with
// libdeflate, or stored when that does not make them smaller; files over the
// whole-file limit in pieces that must join into one exact stream.
TEST_F(ZipTest, PackedFilesOfEverySizeAreExactAndNoLargerThanInfoZips) {
    const std::string folder = user.Root() + "/sizes";
    std::filesystem::create_directories(folder);
    std::string text;
    for (uint64_t i = 0; text.size() < (24u << 20); ++i)
        text += "line " + std::to_string(i * 7919 % 100003) + " of a letter to Ann about the garden\n";
    std::string noise(CPackingPipeline::kWholeFileLimit + 1, '\0');
    uint64_t x = 88172645463325252ull;
    for (auto& ch : noise) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        ch = static_cast<char>(x);
    }
    const struct {
        const char* name;
        std::string content;
        const char* method;  // as unzip -v shows it
    } files[] = {
        {"empty", "", "Stored"},
        {"one", "x", "Stored"},
        {"letter.txt", text.substr(0, 100000), "Defl:"},
        {"photo.raw", noise.substr(0, 100000), "Stored"},
        {"at-limit.txt", text.substr(0, CPackingPipeline::kWholeFileLimit), "Defl:"},
        {"over-limit.raw", noise, "Defl:"},
        {"pieces.txt", text.substr(0, 20 * CPackingPipeline::kPieceSize + 123), "Defl:"},
    };
    for (const auto& f : files) testsupport::WriteFile(folder + "/" + f.name, f.content);
    zip.m_strArchivePath = archive;
    zip.AddFileSpec(folder + "/*");
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    EXPECT_EQ(events.overallPercents.back(), 100);

    EXPECT_EQ(Peer("unzip", {"-tqq", archive}).exitCode, 0);
    EXPECT_EQ(Peer("7z", {"t", archive}).exitCode, 0);
    const std::string out = user.Root() + "/out";
    std::filesystem::create_directories(out);
    ASSERT_EQ(Peer("bsdtar", {"-xf", archive, "-C", out}).exitCode, 0);
    const auto verbose = Peer("unzip", {"-v", archive}).out;
    for (const auto& f : files) {
        EXPECT_EQ(ReadFile(out + folder + "/" + f.name), f.content) << f.name;
        const size_t line = verbose.find(EntryName(folder + "/" + f.name) + "\n");
        ASSERT_NE(line, std::string::npos) << f.name;
        const size_t start = verbose.rfind('\n', line) + 1;
        EXPECT_NE(verbose.substr(start, line - start).find(f.method), std::string::npos) << verbose;
    }
    const std::string peer = user.Root() + "/peer.zip";
    ASSERT_EQ(Peer("sh", {"-c", "cd / && zip -qr -6 '" + peer + "' '" + folder.substr(1) + "'"}).exitCode, 0);
    EXPECT_LE(std::filesystem::file_size(archive), std::filesystem::file_size(peer));
}

TEST_F(ZipTest, AFileInPiecesThatGrowsWhilePackedIsStoredAsOpenedWithAWarning) {
    const std::string path = data + "/sub/growing.log";
    std::string original;
    while (original.size() < 3 * CPackingPipeline::kWholeFileLimit) original += "a line of the log, ";
    testsupport::WriteFile(path, original);
    zip.m_strArchivePath = archive;
    zip.AddFileSpec(path);
    bool appended = false;
    events.onProgress = [&](const OverallProgressArgs&) {
        if (appended) return;
        appended = true;
        std::ofstream(path, std::ios::app) << "and one more line";
    };
    ASSERT_EQ(zip.WriteArchive(), kResultWarnings);
    ASSERT_TRUE(appended);
    EXPECT_EQ(Peer("unzip", {"-p", archive, EntryName(path)}).out, original);
    ASSERT_EQ(events.warnings.size(), 1u);
    EXPECT_EQ(events.warnings[0], std::make_pair(path, int(kWarnFileChanged)));
}

TEST_F(ZipTest, PasswordWritesAes256ThatPeersCheck) {
    zip.m_strArchivePath = archive;
    zip.m_strArchivePassword = "s3cret p\xc3\xa4ss";
    AddTreeSpecs();
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    EXPECT_EQ(Peer("7z", {"t", "-ps3cret p\xc3\xa4ss", archive}).exitCode, 0);
    EXPECT_NE(Peer("7z", {"t", "-pwrong", archive}).exitCode, 0);
    auto tech = Peer("7z", {"l", "-slt", "-ps3cret p\xc3\xa4ss", archive});
    EXPECT_NE(tech.out.find("AES-256"), std::string::npos) << tech.out;
    ZipContents contents;
    ASSERT_EQ(zip.ListContents(contents, 0), 0);
    for (int i = 1; i <= contents.GetCount(); ++i)
        EXPECT_EQ(contents.Item(i).encrypted, contents.Item(i).attributes != 16) << contents.Item(i).name;
    EXPECT_EQ(zip.TestArchive(true), kResultSuccess);
}

TEST_F(ZipTest, ExclusionsSpecialFilesAndTheArchiveItselfAreSkipped) {
    testsupport::WriteFile(data + "/scratch.tmp", "x");
    mkfifo((data + "/pipe").c_str(), 0600);
    zip.m_strArchivePath = data + "/self.zip";
    zip.AddFileSpec(data + "/*");
    zip.AddExcludeSpec("*.tmp");
    zip.AddExcludeSpec(data + "/bin.dat");
    testsupport::WriteFile(data + "/self.zip", "");
    std::filesystem::remove(data + "/self.zip");
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    zip.m_bSkipNotNewer = true;
    ASSERT_EQ(zip.WriteArchive(), kResultUnchanged);  // now the zip itself is a candidate
    struct Case {
        const char* name;
        int reason;
    } cases[] = {{"/scratch.tmp", kSkipExcluded}, {"/bin.dat", kSkipExcluded}, {"/pipe", kSkipSpecialFile},
                 {"/self.zip", kSkipArchiveItself}};
    for (const auto& c : cases) {
        const auto* p = events.Prepared(data + c.name);
        ASSERT_NE(p, nullptr) << c.name;
        EXPECT_TRUE(p->skipped) << c.name;
        EXPECT_EQ(p->skipReason, c.reason) << c.name;
    }
    EXPECT_EQ(Listing().find("scratch.tmp"), std::string::npos);
}

TEST_F(ZipTest, AFileThatCannotBeReadFailsAloneAndTheRestIsWritten) {
    zip.m_strArchivePath = archive;
    AddTreeSpecs();
    events.onPrepare = [&](PrepareFileArgs& a) {
        if (a.path == data + "/a.txt") std::filesystem::remove(a.path);
    };
    EXPECT_EQ(zip.WriteArchive(), kResultFileErrors);
    ASSERT_EQ(events.failed.size(), 1u);
    EXPECT_EQ(events.failed[0].name, data + "/a.txt");
    EXPECT_GT(events.failed[0].reason, 15);
    EXPECT_EQ(Listing().find("a.txt"), std::string::npos);
    EXPECT_NE(Listing().find("bin.dat"), std::string::npos);
    EXPECT_EQ(Peer("unzip", {"-tq", archive}).exitCode, 0);
}

TEST_F(ZipTest, AbortLeavesThePreviousBackupIntact) {
    zip.m_strArchivePath = archive;
    zip.AddFileSpec(data + "/*");
    events.onProgress = [&](const OverallProgressArgs&) { zip.m_bAbortRequest = true; };
    EXPECT_EQ(zip.WriteArchive(), kResultAborted) << "a new backup";
    EXPECT_EQ(FilesIn(user.Root() + "/backup"), 0u);
    events.onProgress = nullptr;
    zip.m_bAbortRequest = false;
    zip.SetFileSpecList(data + "/sub/*");
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    const std::string before = ReadFile(archive);
    std::string big(8 << 20, 'x');
    for (size_t i = 0; i < big.size(); i += 7) big[i] = static_cast<char>(i * 31);
    testsupport::WriteFile(data + "/big.bin", big);
    zip.SetFileSpecList(data + "/*");
    events.onProgress = [&](const OverallProgressArgs&) { zip.m_bAbortRequest = true; };
    EXPECT_EQ(zip.WriteArchive(), kResultAborted);
    EXPECT_EQ(ReadFile(archive), before);
    EXPECT_EQ(FilesIn(user.Root() + "/backup"), 1u);
}

// An event handler that throws while libzip is writing must not take the
// program down through libzip's C frames.
TEST_F(ZipTest, AHandlerThatThrowsFailsTheWriteAndKeepsTheBackup) {
    zip.m_strArchivePath = archive;
    zip.AddFileSpec(data + "/*");
    events.onProgress = [](const OverallProgressArgs&) { throw std::runtime_error("handler failed"); };
    EXPECT_EQ(zip.WriteArchive(), kResultCannotWrite) << "a new backup";
    EXPECT_EQ(FilesIn(user.Root() + "/backup"), 0u);
    events.onProgress = nullptr;
    zip.SetFileSpecList(data + "/sub/*");
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    const std::string before = ReadFile(archive);
    testsupport::WriteFile(data + "/big.bin", std::string(1 << 20, 'b'));
    zip.SetFileSpecList(data + "/*");
    events.onProgress = [](const OverallProgressArgs&) { throw std::runtime_error("handler failed"); };
    EXPECT_EQ(zip.WriteArchive(), kResultCannotWrite);
    EXPECT_EQ(ReadFile(archive), before);
    EXPECT_EQ(FilesIn(user.Root() + "/backup"), 1u);
    events.onProgress = nullptr;
    EXPECT_EQ(zip.WriteArchive(), kResultSuccess);
}

TEST_F(ZipTest, TemporaryArchiveFolderIsUsedAndLeftClean) {
    const std::string temp = user.Root() + "/temp";
    std::filesystem::create_directories(temp);
    zip.m_strArchivePath = archive;
    zip.m_bUseTempArchive = true;
    zip.m_strTempArchiveFolder = temp;
    AddTreeSpecs();
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    EXPECT_EQ(Peer("unzip", {"-tq", archive}).exitCode, 0);
    EXPECT_EQ(FilesIn(temp), 0u);
}

TEST_F(ZipTest, DamagedExistingBackupIsNotUpdatedOrTouched) {
    testsupport::WriteFile(archive, "this is not a zip file at all, and it is long enough to look like one");
    const std::string before = ReadFile(archive);
    zip.m_strArchivePath = archive;
    AddTreeSpecs();
    EXPECT_EQ(zip.WriteArchive(), kResultMustRecreate);
    EXPECT_EQ(ReadFile(archive), before);
    zip.m_strArchivePath = user.Root() + "/no/such/folder/b.zip";
    EXPECT_EQ(zip.WriteArchive(), kResultCannotWrite);
    CXceedZip empty;
    empty.m_strArchivePath = archive;
    EXPECT_EQ(empty.WriteArchive(), kResultNothingToDo);
}

TEST_F(ZipTest, AnEntryOver4GiBUsesZip64) {
    // Sparse, so it costs no disk space; it still reads as 4 GiB of zeros.
    const std::string huge = user.Root() + "/huge/zeros.bin";
    std::filesystem::create_directories(user.Root() + "/huge");
    std::ofstream(huge).close();
    constexpr uint64_t kSize = (uint64_t{1} << 32) + 12345;
    std::filesystem::resize_file(huge, kSize);
    zip.m_strArchivePath = archive;
    zip.m_nPackingLevel = 1;
    zip.AddFileSpec(user.Root() + "/huge/*");
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    zip.SetFileSpecList("");
    ZipContents contents;
    ASSERT_EQ(zip.ListContents(contents, 0), kResultSuccess);
    ASSERT_EQ(contents.GetCount(), 2);
    EXPECT_EQ(contents.Item(2).size, kSize);
    EXPECT_EQ(zip.TestArchive(true), kResultSuccess);
    auto unzip = Peer("unzip", {"-tqq", archive});
    EXPECT_EQ(unzip.exitCode, 0) << unzip.out << unzip.err;
}

TEST_F(ZipTest, MoreThan65535EntriesUseZip64) {
    const std::string many = user.Root() + "/many";
    std::filesystem::create_directories(many);
    constexpr int kFiles = 66000;
    for (int i = 0; i < kFiles; ++i) std::ofstream(many + "/f" + std::to_string(i));
    zip.m_strArchivePath = archive;
    zip.m_nPackingLevel = 0;
    zip.AddFileSpec(many + "/*");
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    ArchiveStatistics stats;
    ASSERT_EQ(zip.ReadArchiveStatistics(stats), kResultSuccess);
    EXPECT_EQ(stats.entries, kFiles + 1u);
    int entries, parts, commentLength;
    short encrypted;
    bool split;
    ASSERT_EQ(zip.ReadArchiveInfo(entries, parts, commentLength, encrypted, split), kResultSuccess);
    EXPECT_EQ(entries, kFiles + 1);
    EXPECT_EQ(parts, 1);
    const std::string bytes = ReadFile(archive);
    EXPECT_NE(bytes.rfind(std::string("PK\x06\x06", 4)), std::string::npos);  // the zip64 end record
    auto unzip = Peer("unzip", {"-tqq", archive});
    EXPECT_EQ(unzip.exitCode, 0) << unzip.out;
    EXPECT_EQ(Peer("7z", {"t", archive}).exitCode, 0);
}

// A new backup leaves a vanished file out as it goes; libzip, updating,
// needs one more pass for all of them.
TEST_F(ZipTest, FilesThatVanishBeforeTheWriteAreLeftOutInOnePassOrOneMore) {
    const std::string folder = data + "/vanishing";
    zip.m_strArchivePath = archive;
    for (const bool update : {false, true}) {
        SCOPED_TRACE(update ? "update" : "new backup");
        std::filesystem::remove(archive);
        testsupport::WriteFile(folder + "/a.txt", "stays");
        for (int i = 1; i <= 4; ++i) testsupport::WriteFile(folder + "/b" + std::to_string(i) + ".txt", "goes");
        if (update) {
            zip.SetFileSpecList(data + "/a.txt");
            ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
        }
        zip.SetFileSpecList(folder + "/*");
        events.failed.clear();
        events.onPrepare = [&](PrepareFileArgs& a) {
            if (a.path.find("/b") != std::string::npos) std::filesystem::remove(a.path);
        };
        // Every pass of the write opens a.txt, which comes first. Closes are
        // watched too: inotify folds an event into an unread one just like it.
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(inotify_add_watch(watch, (folder + "/a.txt").c_str(), IN_OPEN | IN_CLOSE_NOWRITE), 0);
        EXPECT_EQ(zip.WriteArchive(), kResultFileErrors);
        events.onPrepare = nullptr;
        int opens = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;)
            for (char* p = buffer; p < buffer + n;
                 p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len)
                opens += (reinterpret_cast<inotify_event*>(p)->mask & IN_OPEN) != 0;
        ::close(watch);
        EXPECT_EQ(opens, update ? 2 : 1);
        EXPECT_EQ(events.failed.size(), 4u);
        EXPECT_EQ(Listing().find("/b"), std::string::npos);
        EXPECT_NE(Listing().find("vanishing/a.txt"), std::string::npos);
    }
}

// Specifications that reach a file more than once store it once, whichever
// way they overlap.
TEST_F(ZipTest, AFileReachedByOverlappingSpecificationsIsStoredOnce) {
    const std::string prefix = EntryName(data);
    zip.m_strArchivePath = archive;
    const std::vector<std::pair<const char*, std::vector<std::string>>> cases{
        {"a folder listed twice", {data + "/*", data + "/*.txt"}},
        {"a file named on its own first", {data + "/a.txt", data + "/*"}},
        {"a file named on its own after", {data + "/*", data + "/a.txt"}},
        {"a folder named and listed", {data + "/sub/*", data + "/sub"}},
    };
    for (const auto& [what, specs] : cases) {
        SCOPED_TRACE(what);
        std::filesystem::remove(archive);
        zip.SetFileSpecList("");
        for (const auto& spec : specs) zip.AddFileSpec(spec);
        ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
        const std::string listing = Listing();
        std::set<std::string> names;
        size_t lines = 0;
        for (size_t at = 0, end; (end = listing.find('\n', at)) != std::string::npos; at = end + 1, ++lines)
            names.insert(listing.substr(at, end - at));
        EXPECT_EQ(names.size(), lines) << listing;
    }
    EXPECT_NE(Listing().find(prefix + "/sub/b.txt"), std::string::npos);
}
