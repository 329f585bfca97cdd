#include "jobmodel/AppDoc.h"
#include "jobmodel/BackupIndexFile.h"

#include "platform/MessageService.h"
#include "tests/support/InstalledMessages.h"
#include "tests/fuzz/Loaders.h"
#include "tests/jobmodel/JobFixtures.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace jobmodel;
using testsupport::Bytes;
using testsupport::IsolatedUser;
using testsupport::Job220;

namespace {

using fuzzing::LoadResult;

LoadResult Job(const std::string& bytes) {
    return fuzzing::LoadJobBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

LoadResult Index(const std::string& bytes) {
    return fuzzing::LoadIndexBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

bool LoadJob(const std::string& bytes) { return Job(bytes) == LoadResult::Loaded; }
bool LoadIndex(const std::string& bytes) { return Index(bytes) == LoadResult::Loaded; }
bool RejectedJob(const std::string& bytes) { return Job(bytes) == LoadResult::Rejected; }
bool RejectedIndex(const std::string& bytes) { return Index(bytes) == LoadResult::Rejected; }

std::vector<std::string> RealJobFiles() {
    Job220 plain;
    plain.backupFile = "/home/ann/Documents/My Backups/Backup.velarc";
    Job220 full = plain;
    full.jobFile = "/home/ann/Jobs/Daily.vlj";
    full.items = {{6, "/home/ann/Docs", 16}, {4, "/home/ann/a.txt", 32}, {11, "/home/ann/Docs/x", 32}};
    full.scheduleEnabled = 1;
    full.taskName = "Daily.vlj.job";
    full.cubes = {912673, 941192, 970299};
    return {plain.Encode(), full.Encode()};
}

}  // namespace

TEST(DamagedInput, EveryPrefixOfARealJobFileIsAFormatError) {
    for (const auto& file : RealJobFiles()) {
        ASSERT_TRUE(LoadJob(file));
        for (size_t n = 0; n < file.size(); ++n) EXPECT_TRUE(RejectedJob(file.substr(0, n))) << "prefix " << n;
    }
}

TEST(DamagedInput, EveryPrefixOfARealIndexFileIsAnError) {
    const std::string file = CBackupIndexFile::Encode({"/home/ann/Docs", "/home/ann/Docs/Letters"});
    ASSERT_TRUE(LoadIndex(file));
    for (size_t n = 0; n < file.size(); ++n) EXPECT_TRUE(RejectedIndex(file.substr(0, n))) << "prefix " << n;
}

TEST(DamagedInput, HugeCountsFailWithoutHugeAllocations) {
    Job220 job;
    std::string items = job.Encode();
    const size_t count = items.find("CBackupItemArray") + 16;
    items.replace(count, 4, "\xff\xff\xff\x7f");
    EXPECT_TRUE(RejectedJob(items));

    Job220 withPassword;
    withPassword.cubes = {1};
    std::string cubes = withPassword.Encode();
    const size_t cubeCount = cubes.find(std::string("\x01\x00\x01\x00\x00\x00", 6));
    ASSERT_NE(cubeCount, std::string::npos);
    cubes.replace(cubeCount, 2, std::string("\xff\xff\xff\xff\xff\x7f", 6));
    EXPECT_TRUE(RejectedJob(cubes));
    EXPECT_TRUE(RejectedIndex(Bytes().newClass(232, "CBackupIndexFile").u16(0xFFFF).u32(0x7FFFFFFF)));
}

TEST(DamagedInput, ANulByteInAPathIsAFormatError) {
    const std::string withNul("/home/ann/Do\0cs", 15);
    Job220 inItem;
    inItem.items = {{6, withNul, 16}};
    Job220 inBackupFile;
    inBackupFile.backupFile = withNul + "/Backup.velarc";
    for (const auto& job : {inItem, inBackupFile}) EXPECT_TRUE(RejectedJob(job.Encode()));
    Job220 plain;
    plain.items = {{6, "/home/ann/Docs", 16}};
    EXPECT_TRUE(LoadJob(plain.Encode()));
}

TEST(DamagedInput, DamagedJobFileIsReportedAndNotOverwritten) {
    IsolatedUser user;
    testsupport::InstalledMessages messages;
    const std::string path = user.Root() + "/Daily.vlj";
    const std::string damaged = RealJobFiles()[1].substr(0, 60);
    testsupport::WriteFile(path, damaged);
    CAppDoc doc(DocHost::Editor);
    EXPECT_FALSE(doc.OnOpenDocument(path));
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_NE(messages.Texts()[0].find("Unexpected file format in " + path), std::string::npos) << messages.Texts()[0];
    EXPECT_EQ(testsupport::ReadFile(path), damaged);
    EXPECT_EQ(doc.GetPathName(), "");
    EXPECT_EQ(doc.m_BackupSettings.m_items.GetCount(), 0);
}

TEST(DamagedInput, FuzzCorpusReplaysWithoutBreakingTheRoundTrip) {
    for (const char* kind : {"job", "index"}) {
        const std::filesystem::path folder = std::filesystem::path(VELLORA_FUZZ_CORPUS) / kind;
        size_t replayed = 0, loaded = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            const std::string bytes = testsupport::ReadFile(entry.path().string());
            const LoadResult result = std::string(kind) == "job" ? Job(bytes) : Index(bytes);
            EXPECT_NE(result, LoadResult::RoundTripBroken) << entry.path();
            loaded += result == LoadResult::Loaded;
            ++replayed;
        }
        EXPECT_GT(replayed, 0u) << kind;
        EXPECT_GT(loaded, 0u) << kind;
    }
}
