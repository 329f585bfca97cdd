#include "tests/zipcomponent/ZipFixture.h"

#include "platform/FileSystem.h"
#include "zipcomponent/SplitArchive.h"

#include <filesystem>

using namespace zipcomponent;
using testsupport::ReadFile;
using testsupport::ZipTest;

TEST(SplitArchive, PartNames) {
    EXPECT_EQ(PartPath("/b/Backup.velarc", 1, 3), "/b/Backup.z01");
    EXPECT_EQ(PartPath("/b/Backup.velarc", 2, 3), "/b/Backup.z02");
    EXPECT_EQ(PartPath("/b/Backup.velarc", 3, 3), "/b/Backup.velarc");
    EXPECT_EQ(PartPath("/b.d/Backup", 1, 2), "/b.d/Backup.z01");
}

TEST_F(ZipTest, PartSizeLimitWritesAStandardSplitArchive) {
    archive = user.Root() + "/backup/Backup.zip";  // Info-ZIP joins only .zip names
    zip.m_strArchivePath = archive;
    zip.m_nPartSizeLimit = 65536;
    zip.m_nPackingLevel = 0;
    AddTreeSpecs();
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    const std::string backup = user.Root() + "/backup";
    for (const char* part : {"/Backup.z01", "/Backup.z02", "/Backup.z03"}) {
        ASSERT_TRUE(platform::PathExists(backup + part)) << part;
        EXPECT_LE(std::filesystem::file_size(backup + part), 65536u) << part;
    }
    EXPECT_EQ(ReadFile(backup + "/Backup.z01").substr(0, 4), "PK\x07\x08");

    auto sevenZip = Peer("7z", {"t", archive});
    EXPECT_EQ(sevenZip.exitCode, 0) << sevenZip.out;
    EXPECT_NE(sevenZip.out.find("Everything is Ok"), std::string::npos);

    int entries, parts, commentLength;
    short encrypted;
    bool split;
    ASSERT_EQ(zip.ReadArchiveInfo(entries, parts, commentLength, encrypted, split), kResultSuccess);
    EXPECT_TRUE(split);
    EXPECT_EQ(parts, CountDisks(archive));
    EXPECT_EQ(entries, 7);
    EXPECT_EQ(zip.TestArchive(true), kResultSuccess);
    zip.SetFileSpecList("");
    zip.m_strExtractFolder = user.Root() + "/restore";
    ASSERT_EQ(zip.ExtractFiles(), kResultSuccess);
    EXPECT_EQ(ReadFile(user.Root() + "/restore" + data + "/bin.dat"), ReadFile(data + "/bin.dat"));

    // A split backup is rewritten, never updated.
    AddTreeSpecs();
    EXPECT_EQ(zip.WriteArchive(), kResultSplitNotUpdatable);
    EXPECT_EQ(zip.RemoveFiles(), kResultSplitNotUpdatable);
    EXPECT_EQ(zip.CopyToArchive(user.Root() + "/copy.zip"), kResultSplitNotUpdatable);

    std::filesystem::remove(backup + "/Backup.z02");
    EXPECT_EQ(zip.TestArchive(true), kResultMissingPart);
}

TEST_F(ZipTest, InfoZipJoinsTheParts) {
    // Info-ZIP 3.0 joins entries that cross one part boundary; ones that
    // cross two defeat its own splits too, so the layout here crosses one.
    archive = user.Root() + "/backup/Backup.zip";
    zip.m_strArchivePath = archive;
    zip.m_nPartSizeLimit = 131072;
    AddTreeSpecs();
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    ASSERT_EQ(CountDisks(archive), 2);
    const std::string joined = user.Root() + "/joined.zip";
    auto join = Peer("zip", {"-s", "0", archive, "--out", joined});
    ASSERT_EQ(join.exitCode, 0) << join.out << join.err;
    auto test = Peer("unzip", {"-t", joined});
    EXPECT_EQ(test.exitCode, 0) << test.out;
    EXPECT_NE(test.out.find("No errors detected"), std::string::npos);
}

TEST_F(ZipTest, SmallBackupUnderTheLimitStaysOneFile) {
    zip.m_strArchivePath = archive;
    zip.m_nPartSizeLimit = 10 << 20;
    AddTreeSpecs();
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    EXPECT_EQ(CountDisks(archive), 1);
    EXPECT_FALSE(platform::PathExists(user.Root() + "/backup/Backup.z01"));
    EXPECT_EQ(Peer("unzip", {"-tq", archive}).exitCode, 0);
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(user.Root() + "/backup")) files += e.is_regular_file();
    EXPECT_EQ(files, 1u);
}

TEST_F(ZipTest, InfoZipSplitArchivesAreRead) {
    const std::string peer = user.Root() + "/peer.zip";
    auto made = Peer("zip", {"-qr", "-0", "-s", "64k", peer, data});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    ASSERT_TRUE(platform::PathExists(user.Root() + "/peer.z01"));
    CXceedZip reader(&events);
    reader.m_strArchivePath = peer;
    EXPECT_EQ(reader.TestArchive(true), kResultSuccess);
    ZipContents contents;
    ASSERT_EQ(reader.ListContents(contents, 0), kResultSuccess);
    EXPECT_EQ(contents.GetCount(), 7);
    reader.m_strExtractFolder = user.Root() + "/out";
    ASSERT_EQ(reader.ExtractFiles(), kResultSuccess);
    EXPECT_EQ(ReadFile(user.Root() + "/out" + data + "/bin.dat"), ReadFile(data + "/bin.dat"));
}
