#include "tests/fuzz/ZipDirectory.h"
#include "tests/zipcomponent/ZipFixture.h"

#include "zipcomponent/CentralDirectory.h"
#include "zipcomponent/EntryFields.h"

#include <zip.h>

#include <filesystem>
#include <fstream>

using namespace zipcomponent;
using testsupport::ZipTest;

namespace {

// The same directory as libzip reads it, or nothing when libzip cannot.
bool LibzipDirectory(const std::string& path, CentralDirectory& out) {
    int error = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!za) return false;
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i) {
        zip_stat_t st;
        const auto index = static_cast<zip_uint64_t>(i);
        if (zip_stat_index(za, index, 0, &st) != 0) continue;
        out.entries.push_back({st.name, GetBasePath(za, index), GetEntryTime(za, index), st.size, st.comp_size,
                               st.comp_method, st.encryption_method});
    }
    int length = 0;
    const char* comment = zip_get_archive_comment(za, &length, ZIP_FL_ENC_RAW);
    out.comment.assign(comment ? comment : "", static_cast<size_t>(length));
    zip_discard(za);
    return true;
}

void ExpectSameDirectory(const CentralDirectory& quick, const CentralDirectory& libzip, const std::string& what) {
    ASSERT_EQ(quick.entries.size(), libzip.entries.size()) << what;
    for (size_t i = 0; i < quick.entries.size(); ++i) {
        const DirectoryEntry &q = quick.entries[i], &l = libzip.entries[i];
        EXPECT_EQ(q.name, l.name) << what;
        EXPECT_EQ(q.basePath, l.basePath) << what << " " << q.name;
        EXPECT_EQ(q.modified, l.modified) << what << " " << q.name;
        EXPECT_EQ(q.size, l.size) << what << " " << q.name;
        EXPECT_EQ(q.compressedSize, l.compressedSize) << what << " " << q.name;
        EXPECT_EQ(q.method, l.method) << what << " " << q.name;
        EXPECT_EQ(q.encryption, l.encryption) << what << " " << q.name;
    }
    EXPECT_TRUE(quick.updatable) << what;
    EXPECT_EQ(quick.comment, libzip.comment) << what;
}

}  // namespace

// Every archive the quick reader accepts must read exactly as libzip reads
// it; the ones it refuses are those whose names or times libzip converts.
TEST_F(ZipTest, QuickDirectoryReadsAsLibzipDoes) {
    zip.m_strArchivePath = archive;
    AddTreeSpecs();
    events.description = "a comment";
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    const std::string locked = user.Root() + "/locked.zip";
    zip.m_strArchivePath = locked;
    zip.m_strArchivePassword = "pw";
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    const std::string infoZip = user.Root() + "/infozip.zip";
    ASSERT_EQ(Peer("zip", {"-qr", "-P", "pw", infoZip, data}).exitCode, 0);
    const std::string zip64 = user.Root() + "/zip64.zip";  // zip64 fields on small entries
    ASSERT_EQ(Peer("zip", {"-qr", "-fz", zip64, data}).exitCode, 0);
    // A name that is not UTF-8, and no extended timestamp: both are converted by libzip.
    const std::string latin = user.Root() + "/latin";
    std::filesystem::create_directories(latin);
    std::ofstream(latin + "/caf\xe9.txt") << "x";
    const std::string foreign = user.Root() + "/foreign.zip";
    ASSERT_EQ(testsupport::RunProgram("sh", {"-c", "cd '" + latin + "' && zip -qX '" + foreign + "' *"}).exitCode, 0);
    const std::string untimed = user.Root() + "/untimed.zip";
    ASSERT_EQ(testsupport::RunProgram("sh", {"-c", "cd '" + data + "' && zip -qX '" + untimed + "' a.txt"}).exitCode,
              0);

    struct Case {
        std::string path;
        bool quick;  // the quick reader takes it
    };
    for (const Case& c : std::vector<Case>{{archive, true}, {locked, true}, {infoZip, true}, {zip64, true}, {foreign, false},
                                           {untimed, false}}) {
        CentralDirectory quick, libzip;
        ASSERT_TRUE(LibzipDirectory(c.path, libzip)) << c.path;
        EXPECT_EQ(ReadCentralDirectory(c.path, quick), c.quick) << c.path;
        if (c.quick) ExpectSameDirectory(quick, libzip, c.path);
    }
}

TEST_F(ZipTest, QuickDirectoryRefusesDamagedAndSplitArchives) {
    zip.m_strArchivePath = archive;
    AddTreeSpecs();
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    const std::string bytes = testsupport::ReadFile(archive);
    const size_t central = bytes.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    std::string broken = bytes;
    broken[central + 1] = 'X';
    struct Case {
        std::string name, content;
    };
    for (const Case& c : std::vector<Case>{{"cut", bytes.substr(0, bytes.size() - 30)},
                                           {"shifted", "prefix" + bytes},
                                           {"broken", broken},
                                           {"empty", ""}}) {
        const std::string path = user.Root() + "/" + c.name + ".zip";
        testsupport::WriteFile(path, c.content);
        CentralDirectory directory;
        EXPECT_FALSE(ReadCentralDirectory(path, directory)) << c.name;
    }
    zip.m_nPartSizeLimit = 65536;
    const std::string split = user.Root() + "/split.zip";
    zip.m_strArchivePath = split;
    std::ofstream(data + "/big.bin") << std::string(200000, 'q') + testsupport::ReadFile(archive);
    AddTreeSpecs();
    ASSERT_EQ(zip.WriteArchive(), kResultSuccess);
    ASSERT_TRUE(std::filesystem::exists(user.Root() + "/split.z01"));
    CentralDirectory directory;
    EXPECT_FALSE(ReadCentralDirectory(split, directory));
}

// What the fuzzer found, and the seeds it started from, stay fixed.
TEST(CentralDirectory, FuzzCorpusReplays) {
    size_t replayed = 0, loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(VELLORA_FUZZ_CORPUS) / "zip")) {
        const std::string bytes = testsupport::ReadFile(entry.path().string());
        const auto result =
            fuzzing::ReadZipDirectoryBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        EXPECT_NE(result, fuzzing::LoadResult::RoundTripBroken) << entry.path();
        loaded += result == fuzzing::LoadResult::Loaded;
        ++replayed;
    }
    EXPECT_GT(replayed, 0u);
    EXPECT_GT(loaded, 0u);
}
