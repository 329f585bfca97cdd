#include "tests/zipcomponent/ZipFixture.h"

#include "platform/FileSystem.h"

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using namespace zipcomponent;
using testsupport::ReadFile;
using testsupport::ZipTest;

namespace {

std::vector<std::string> Names(const ZipContents& contents) {
    std::vector<std::string> names;
    for (int i = 1; i <= contents.GetCount(); ++i) names.push_back(contents.Item(i).name);
    std::sort(names.begin(), names.end());
    return names;
}

class ReadTest : public ZipTest {
protected:
    void SetUp() override {
        ZipTest::SetUp();
        zip.m_strArchivePath = archive;
        AddTreeSpecs();
        ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
        zip.SetFileSpecList("");
    }
};

}  // namespace

TEST_F(ReadTest, ListingsForTheRestoreTree) {
    const std::string top = EntryName(data).substr(0, EntryName(data).find('/') + 1);  // "tmp/"
    ZipContents contents;
    zip.SetOption(202, 1);
    zip.SetFileSpecList("*/");
    ASSERT_EQ(zip.ListContents(contents, 0), 0);
    EXPECT_EQ(Names(contents), std::vector<std::string>{top});

    zip.SetOption(202, 0);
    zip.SetFileSpecList(data + "/*");
    ASSERT_EQ(zip.ListContents(contents, 0), 0);
    const std::string p = EntryName(data);
    EXPECT_EQ(Names(contents), (std::vector<std::string>{p + "/a.txt", p + "/bin.dat", p + "/empty/",
                                                         p + "/n\xc3\xa9v \xc3\xbc.txt", p + "/sub/"}));
    for (int i = 1; i <= contents.GetCount(); ++i) {
        const auto& item = contents.Item(i);
        EXPECT_EQ(item.basePath, "/");
        EXPECT_EQ(item.attributes, item.name.back() == '/' ? 16u : 0u);
        EXPECT_FALSE(item.skipped);
        if (item.name == p + "/a.txt") {
            EXPECT_EQ(item.modified, 1700000001);
        }
    }
    zip.SetFileSpecList("");
    zip.SetExcludeSpecList("*.dat");
    ASSERT_EQ(zip.ListContents(contents, 0), 0);
    EXPECT_EQ(contents.GetCount(), 6);
}

// One folder's listing comes from the folder index; a full scan of the
// directory must agree with it, and a changed archive is read again.
TEST_F(ReadTest, OneFolderListingsAgreeWithTheWholeDirectory) {
    const std::string p = EntryName(data);
    const std::string top = p.substr(0, p.find('/') + 1);
    for (const std::string& spec : std::vector<std::string>{"*", "*/", "/" + p + "/*", p + "/sub/*", top + "*", "no/such/*"}) {
        for (const auto& [o202, o307] : {std::pair{0, 0}, std::pair{1, 0}, std::pair{0, 16}}) {
            zip.SetOption(202, o202);
            zip.SetOption(307, o307);
            ZipContents quick, whole;
            zip.SetFileSpecList(spec);
            ASSERT_EQ(zip.ListContents(quick, 0), 0);
            zip.SetFileSpecList(spec + "\n" + spec);  // two specifications: the whole directory is read
            ASSERT_EQ(zip.ListContents(whole, 0), 0);
            EXPECT_EQ(Names(quick), Names(whole)) << spec << " " << o202 << " " << o307;
            for (int i = 1; i <= quick.GetCount(); ++i) EXPECT_EQ(quick.Item(i).basePath, "/") << spec;
        }
    }
    zip.SetOption(202, 0);
    zip.SetOption(307, 16);
    zip.SetFileSpecList(p + "/*");
    ZipContents before;
    ASSERT_EQ(zip.ListContents(before, 0), 0);
    testsupport::WriteFile(data + "/later.txt", "later");
    testsupport::RecordingEvents writerEvents;
    CXceedZip writer(&writerEvents);
    writer.m_strArchivePath = archive;
    writer.AddFileSpec(data + "/later.txt");
    ASSERT_EQ(writer.WriteArchive(), kResultSuccess);
    ZipContents after;
    ASSERT_EQ(zip.ListContents(after, 0), 0);
    EXPECT_EQ(after.GetCount(), before.GetCount() + 1);
}

TEST_F(ReadTest, TestArchiveFindsCorruption) {
    EXPECT_EQ(zip.TestArchive(true), kResultSuccess);
    std::string bytes = ReadFile(archive);
    const size_t at = bytes.find("bin.dat") + 200;  // inside the stored random data
    bytes[at] = static_cast<char>(bytes[at] ^ 0x55);
    testsupport::WriteFile(archive, bytes);
    EXPECT_EQ(zip.TestArchive(true), kResultCorrupt);
    ASSERT_EQ(events.failed.size(), 1u);
    EXPECT_NE(events.failed[0].name.find("bin.dat"), std::string::npos);
    EXPECT_NE(Peer("unzip", {"-tq", archive}).exitCode, 0);  // the peer agrees

    testsupport::WriteFile(archive, "not a zip");
    EXPECT_EQ(zip.TestArchive(true), kResultDamaged);
    zip.m_strArchivePath = user.Root() + "/missing.zip";
    EXPECT_EQ(zip.TestArchive(true), kResultCannotOpen);
}

TEST_F(ReadTest, ExtractRestoresContentTimesAndPermissions) {
    const std::string out = user.Root() + "/restore";
    zip.m_strExtractFolder = out;
    ASSERT_EQ(zip.ExtractFiles(), kResultSuccess);
    EXPECT_EQ(ReadFile(out + data + "/bin.dat"), ReadFile(data + "/bin.dat"));
    EXPECT_EQ(ReadFile(out + data + "/n\xc3\xa9v \xc3\xbc.txt"), "accents\n");
    EXPECT_TRUE(platform::IsFolder(out + data + "/empty"));
    struct stat st {};
    ASSERT_EQ(stat((out + data + "/sub/b.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1700000005);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // Without entry paths, files land flat in the folder.
    const std::string flat = user.Root() + "/flat";
    zip.m_bKeepEntryPaths = false;
    zip.m_strExtractFolder = flat;
    zip.SetFileSpecList(data + "/sub/*");
    ASSERT_EQ(zip.ExtractFiles(), kResultSuccess);
    EXPECT_EQ(ReadFile(flat + "/b.txt"), "bee\n");
}

TEST_F(ReadTest, ExtractSkipRules) {
    const std::string out = user.Root() + "/restore";
    zip.m_strExtractFolder = out;
    zip.SetFileSpecList(data + "/*");
    struct Case {
        bool existing, missing, notNewer;
        int aReason, binReason, accentReason;  // -1: not skipped
    } cases[] = {
        {true, false, false, kSkipTargetExists, kSkipTargetExists, -1},
        {false, true, false, -1, -1, kSkipTargetMissing},
        {false, false, true, kSkipTargetNewer, -1, -1},
    };
    for (const auto& c : cases) {
        zip.m_bSkipExistingTargets = c.existing;
        zip.m_bSkipMissingTargets = c.missing;
        zip.m_bSkipNotNewer = c.notNewer;
        events.extracted.clear();
        std::filesystem::remove(out + data + "/n\xc3\xa9v \xc3\xbc.txt");
        testsupport::WriteFile(out + data + "/a.txt", "newer local copy");
        SetTime(out + data + "/a.txt", 1800000000);
        testsupport::WriteFile(out + data + "/bin.dat", "older local copy");
        SetTime(out + data + "/bin.dat", 1600000000);
        ASSERT_EQ(zip.ExtractFiles(), kResultSuccess);
        auto reasonOf = [&](const std::string& name) {
            for (const auto& e : events.extracted)
                if (e.targetPath == out + data + name) return e.skipped ? e.skipReason : -1;
            return -2;
        };
        EXPECT_EQ(reasonOf("/a.txt"), c.aReason);
        EXPECT_EQ(reasonOf("/bin.dat"), c.binReason);
        EXPECT_EQ(reasonOf("/n\xc3\xa9v \xc3\xbc.txt"), c.accentReason);
        EXPECT_EQ(ReadFile(out + data + "/a.txt"), c.aReason < 0 ? ReadFile(data + "/a.txt") : "newer local copy");
    }
}

TEST_F(ReadTest, EntriesThatWouldLeaveTheFolderAreRefused) {
    const std::string evil = user.Root() + "/evil.zip";
    const std::string script = "import zipfile\nz = zipfile.ZipFile('" + evil +
                               "', 'w')\nz.writestr('../escaped.txt', 'x')\nz.writestr('/abs.txt', 'x')\n"
                               "z.writestr('ok/fine.txt', 'fine')\nz.close()\n";
    ASSERT_EQ(Peer("python3", {"-c", script}).exitCode, 0);
    CXceedZip reader(&events);
    reader.m_strArchivePath = evil;
    reader.m_strExtractFolder = user.Root() + "/box";
    EXPECT_EQ(reader.ExtractFiles(), kResultFileErrors);
    EXPECT_EQ(ReadFile(user.Root() + "/box/ok/fine.txt"), "fine");
    EXPECT_FALSE(platform::PathExists(user.Root() + "/escaped.txt"));
    EXPECT_FALSE(platform::PathExists("/abs.txt"));
    ASSERT_GE(events.failed.size(), 1u);
    for (const auto& f : events.failed) EXPECT_EQ(f.reason, kFailUnsafeName);
}

TEST_F(ReadTest, PeerArchivesReadTestAndExtract) {
    const std::string plain = user.Root() + "/peer.zip";
    ASSERT_EQ(Peer("zip", {"-qr", plain, data}).exitCode, 0);
    CXceedZip reader(&events);
    reader.m_strArchivePath = plain;
    EXPECT_EQ(reader.TestArchive(true), kResultSuccess);
    ZipContents contents;
    ASSERT_EQ(reader.ListContents(contents, 0), 0);
    EXPECT_EQ(contents.GetCount(), 7);

    // Traditional encryption, with the password asked for and a wrong first try.
    const std::string locked = user.Root() + "/locked.zip";
    ASSERT_EQ(Peer("zip", {"-qj", "-P", "opensesame", locked, data + "/sub/b.txt"}).exitCode, 0);
    CXceedZip lockedReader(&events);
    lockedReader.m_strArchivePath = locked;
    lockedReader.m_strExtractFolder = user.Root() + "/unlocked";
    events.passwordAnswers = {"wrong", "opensesame"};
    ASSERT_EQ(lockedReader.ExtractFiles(), kResultSuccess);
    EXPECT_EQ(ReadFile(user.Root() + "/unlocked/b.txt"), "bee\n");
    EXPECT_EQ(events.passwordRequests.size(), 2u);

    events.passwordRequests.clear();
    CXceedZip refused(&events);
    refused.m_strArchivePath = locked;
    refused.m_strExtractFolder = user.Root() + "/refused";
    EXPECT_EQ(refused.ExtractFiles(), kResultFileErrors);
    EXPECT_EQ(events.passwordRequests.size(), 1u);
    EXPECT_EQ(events.failed.back().reason, kFailPassword);
    EXPECT_FALSE(platform::PathExists(user.Root() + "/refused/b.txt"));
}

TEST_F(ReadTest, RemoveFilesAndCopyToArchive) {
    const std::string p = EntryName(data);
    zip.AddFileSpec(p + "/a.txt");
    zip.AddFileSpec(p + "/sub/b.txt");
    ASSERT_EQ(zip.RemoveFiles(), kResultSuccess);
    EXPECT_EQ(events.removed, (std::vector<std::pair<std::string, std::string>>{{p + "/a.txt", "/"},
                                                                                {p + "/sub/b.txt", "/"}}));
    zip.SetFileSpecList("");
    EXPECT_EQ(Listing().find("a.txt"), std::string::npos);
    zip.SetFileSpecList(p + "/no-such-entry");
    EXPECT_EQ(zip.RemoveFiles(), kResultNothingToDo);

    const std::string copy = user.Root() + "/backup/Backup_Archived_.velarc";
    const std::string before = ReadFile(archive);
    events.onSelect = [&](SelectFileForCopyArgs& a) { a.skip = a.name != p + "/bin.dat"; };
    ASSERT_EQ(zip.CopyToArchive(copy), kResultSuccess);
    EXPECT_EQ(ReadFile(archive), before);
    CXceedZip copied;
    copied.m_strArchivePath = copy;
    ZipContents contents;
    ASSERT_EQ(copied.ListContents(contents, 0), 0);
    ASSERT_EQ(contents.GetCount(), 1);
    EXPECT_EQ(contents.Item(1).name, p + "/bin.dat");
    EXPECT_EQ(contents.Item(1).modified, 1700000003);
    EXPECT_EQ(Peer("unzip", {"-tq", copy}).exitCode, 0);
    EXPECT_EQ(zip.CopyToArchive(copy), kResultTargetExists);
}

TEST_F(ZipTest, CopiedEncryptedEntriesStayEncrypted) {
    zip.m_strArchivePath = archive;
    zip.m_strArchivePassword = "pw";
    zip.AddFileSpec(data + "/*");
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    const std::string copy = user.Root() + "/copy.zip";
    CXceedZip source(&events);
    source.m_strArchivePath = archive;
    events.onSelect = [](SelectFileForCopyArgs& a) { a.skip = false; };
    ASSERT_EQ(source.CopyToArchive(copy), kResultSuccess);
    auto tested = Peer("7z", {"t", "-ppw", copy});
    EXPECT_EQ(tested.exitCode, 0) << tested.out << tested.err;
    EXPECT_NE(Peer("7z", {"t", "-pother", copy}).exitCode, 0);
}

TEST_F(ReadTest, InfoStatisticsAndCodeTexts) {
    ArchiveStatistics s;
    ASSERT_EQ(zip.ReadArchiveStatistics(s), kResultSuccess);
    EXPECT_EQ(s.entries, 7u);
    EXPECT_EQ(s.folders, 3);
    const uint64_t uncompressed = (uint64_t{s.uncompressedHigh} << 32) | s.uncompressedLow;
    EXPECT_EQ(uncompressed, std::filesystem::file_size(data + "/a.txt") + 200000 + 4 + 8);
    const uint64_t compressed = (uint64_t{s.compressedHigh} << 32) | s.compressedLow;
    EXPECT_LT(compressed, uncompressed);
    EXPECT_EQ(s.ratio, static_cast<int16_t>(100 - compressed * 100 / uncompressed));
    int entries, parts, commentLength;
    short encrypted;
    bool split;
    ASSERT_EQ(zip.ReadArchiveInfo(entries, parts, commentLength, encrypted, split), kResultSuccess);
    EXPECT_EQ(entries, 7);
    EXPECT_EQ(parts, 1);
    EXPECT_EQ(encrypted, 0);
    EXPECT_FALSE(split);

    for (int code : {0, 1, 501, 503, 504, 505, 507, 509, 510, 511, 513, 514, 515, 516, 517, 518, 519, 526, 527, 528})
        EXPECT_EQ(CXceedZip::DescribeCode(kKindResult, code).find("Unknown"), std::string::npos) << code;
    for (int code : {0, 1, 2, 3, 4, 5, 6, 7, 8, 13, 14, 16, 17, 18, 19, 20, 21, 22})
        EXPECT_EQ(CXceedZip::DescribeCode(kKindSkip, code).find("Unknown"), std::string::npos) << code;
    for (int code : {302, 303, 304})
        EXPECT_EQ(CXceedZip::DescribeCode(kKindWarning, code).find("Unknown"), std::string::npos) << code;
    EXPECT_EQ(CXceedZip::DescribeCode(kKindResult, 9999), "Unknown result code 9999.");
}

TEST_F(ReadTest, InfoOfPeerArchivesAndOfDamagedOnes) {
    int entries, parts, commentLength;
    short encrypted;
    bool split;
    // Two locked files and a comment, written by Info-ZIP.
    const std::string locked = user.Root() + "/locked.zip";
    ASSERT_EQ(Peer("zip", {"-qj", "-P", "pw", locked, data + "/a.txt", data + "/sub/b.txt"}).exitCode, 0);
    ASSERT_EQ(testsupport::RunProgram("sh", {"-c", "printf 'twelve chars' | zip -qz '" + locked + "'"}).exitCode, 0);
    CXceedZip reader(&events);
    reader.m_strArchivePath = locked;
    ASSERT_EQ(reader.ReadArchiveInfo(entries, parts, commentLength, encrypted, split), kResultSuccess);
    EXPECT_EQ(entries, 2);
    EXPECT_EQ(encrypted, 2);
    EXPECT_EQ(commentLength, 12);
    EXPECT_FALSE(split);

    // Bytes ahead of the zip move every offset: libzip still reads it.
    const std::string prefixed = user.Root() + "/prefixed.zip";
    testsupport::WriteFile(prefixed, "#!/bin/sh\nexit 0\n" + ReadFile(archive));
    reader.m_strArchivePath = prefixed;
    ArchiveStatistics s;
    const int prefixedInfo = reader.ReadArchiveInfo(entries, parts, commentLength, encrypted, split);
    ZipContents contents;
    const int prefixedList = reader.ListContents(contents, 0);
    EXPECT_EQ(prefixedInfo, prefixedList);
    if (prefixedInfo == kResultSuccess) {
        EXPECT_EQ(entries, contents.GetCount());
    }

    const std::string bytes = ReadFile(archive);
    const std::string cut = user.Root() + "/cut.zip";
    testsupport::WriteFile(cut, bytes.substr(0, bytes.size() / 2));
    const std::string garbage = user.Root() + "/garbage.zip";
    testsupport::WriteFile(garbage, "not a zip, only some text");
    for (const std::string& path : {cut, garbage, user.Root() + "/missing.zip"}) {
        reader.m_strArchivePath = path;
        EXPECT_GT(reader.ReadArchiveInfo(entries, parts, commentLength, encrypted, split), 1) << path;
        EXPECT_GT(reader.ReadArchiveStatistics(s), 1) << path;
    }
}
