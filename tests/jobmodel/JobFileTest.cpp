#include "jobmodel/AppDoc.h"

#include "platform/MessageService.h"
#include "tests/support/InstalledMessages.h"
#include "tests/jobmodel/JobFixtures.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

using namespace jobmodel;
using testsupport::Bytes;
using testsupport::Hex;
using testsupport::IsolatedUser;
using testsupport::Job220;

namespace {

std::string Store(CAppDoc& doc) {
    CArchive ar = CArchive::ForStoring();
    EXPECT_TRUE(doc.Serialize(ar));
    return ar.Bytes();
}

bool Load(CAppDoc& doc, const std::string& bytes, std::string* error = nullptr) {
    doc.DeleteContents();
    CArchive ar = CArchive::ForLoading(bytes);
    bool ok = doc.Serialize(ar);
    if (error) *error = ar.Error();
    return ok;
}

class JobFile : public ::testing::Test {
protected:
    IsolatedUser user;
    testsupport::InstalledMessages messages;
    std::string DefaultBackupFile() const { return user.Documents() + "/My Backups/Backup.velarc"; }
};

}  // namespace

TEST_F(JobFile, NewJobSavedAtOnceIsByteExact) {
    CAppDoc doc(DocHost::Editor);
    doc.OnNewDocument();
    Job220 expected;
    expected.backupFile = DefaultBackupFile();
    EXPECT_EQ(Hex(Store(doc)), Hex(expected.Encode()));
    EXPECT_EQ(doc.m_JobOptions.m_strVolumeName, "");
    EXPECT_EQ(doc.m_nFileVersion, 220);
}

TEST_F(JobFile, ThreeItemsWriteTheItemTagOnceThenReferences) {
    CAppDoc doc(DocHost::Editor);
    doc.OnNewDocument();
    Job220 expected;
    expected.backupFile = DefaultBackupFile();
    expected.items = {{6, "/home/ann/Docs", 16}, {4, "/home/ann/notes.txt", 32}, {8, "/home/ann/Docs/tmp", 16}};
    for (const auto& item : expected.items)
        doc.m_BackupSettings.m_items.AddItem(item.path, item.state, item.attributes);
    const std::string bytes = Store(doc);
    EXPECT_EQ(Hex(bytes), Hex(expected.Encode()));

    CAppDoc back(DocHost::Runner);
    ASSERT_TRUE(Load(back, bytes));
    ASSERT_EQ(back.m_BackupSettings.m_items.GetCount(), 3);
    EXPECT_EQ(back.m_BackupSettings.m_items.GetAt(1).m_strPath, "/home/ann/notes.txt");
    EXPECT_EQ(back.m_BackupSettings.m_items.GetAt(2).m_nState, 8);
    EXPECT_EQ(Store(back), bytes);
}

TEST_F(JobFile, SaveRulesAndPasswordCubes) {
    CAppDoc doc(DocHost::Editor);
    doc.OnNewDocument();
    doc.m_ScheduleSettings.m_strTaskName = "Daily.vlj.job";  // scheduling stays off
    doc.m_JobOptions.m_strVolumeName = "OFFSITE";            // switch stays off
    doc.m_JobOptions.m_nCompressionLevel = 9;                 // the index decides: 2 gives 6
    doc.m_JobOptions.m_bUsePassword = 1;
    doc.m_JobOptions.m_strPassword = "abc";
    Job220 expected;
    expected.backupFile = DefaultBackupFile();
    expected.usePassword = 1;
    expected.cubes = {912673, 941192, 970299};
    EXPECT_EQ(Hex(Store(doc)), Hex(expected.Encode()));
    EXPECT_EQ(doc.m_ScheduleSettings.m_strTaskName, "");
    EXPECT_EQ(doc.m_JobOptions.m_nCompressionLevel, 6);

    doc.m_ScheduleSettings.m_bScheduleEnabled = 1;
    doc.m_ScheduleSettings.m_strTaskName = "Daily.vlj.job";
    doc.m_JobOptions.m_bUseVolumeName = 1;
    doc.m_JobOptions.m_strVolumeName = "OFFSITE";
    doc.m_JobOptions.m_nCompressionIndex = 3;
    const std::string bytes = Store(doc);
    CAppDoc back(DocHost::Runner);
    ASSERT_TRUE(Load(back, bytes));
    EXPECT_EQ(back.m_ScheduleSettings.m_strTaskName, "Daily.vlj.job");
    EXPECT_EQ(back.m_bScheduleEnabledAtLoad, 1);
    EXPECT_EQ(back.m_JobOptions.m_strVolumeName, "OFFSITE");
    EXPECT_EQ(back.m_JobOptions.m_nCompressionLevel, 9);
    EXPECT_EQ(back.m_JobOptions.m_nCompressionIndex, 3);
    EXPECT_EQ(back.m_JobOptions.m_strPassword, "abc");
}

TEST_F(JobFile, PasswordBytesFrom0x80UpAreNegativeCubes) {
    CAppDoc doc(DocHost::Editor);
    doc.OnNewDocument();
    const std::string password = "p\xc3\xa9\x80\xff";  // "pé", then the extremes of a signed byte
    doc.m_JobOptions.m_strPassword = password;
    Job220 expected;
    expected.backupFile = DefaultBackupFile();
    expected.cubes = {112 * 112 * 112, -61 * 61 * 61, -87 * 87 * 87, -128 * 128 * 128, -1};
    const std::string bytes = Store(doc);
    EXPECT_EQ(Hex(bytes), Hex(expected.Encode()));
    CAppDoc back(DocHost::Runner);
    ASSERT_TRUE(Load(back, bytes));
    EXPECT_EQ(back.m_JobOptions.m_strPassword, password);
    EXPECT_EQ(back.m_JobOptions.m_bPasswordChanged, 0);
}

TEST_F(JobFile, VersionOneJobLoadsWithDefaultsForWhatItLacks) {
    Bytes v1;
    v1.newClass(220, "CAppDoc").u32(1);
    v1.u32(1).u32(1).str("/old/Backup.velarc").i32(2).str("*.tmp:").u32(2);
    v1.i32(6).str("/old/Docs").i32(4).str("/old/a.txt");  // untagged items of schema 1
    v1.u32(1).u32(1).i32(1).i32(1).str("Old.job");
    v1.u32(1).u32(1).i32(9).i32(2).i32(3).i32(1).str("secret").str("DISK");
    v1.u32(1);
    CAppDoc doc(DocHost::Runner);
    std::string error;
    ASSERT_TRUE(Load(doc, v1, &error)) << error;
    EXPECT_EQ(doc.m_nFileVersion, 1);
    EXPECT_EQ(doc.m_strJobFile, "");
    const auto& backup = doc.m_BackupSettings;
    EXPECT_EQ(backup.m_strBackupFile, "/old/Backup.velarc");
    EXPECT_EQ(backup.m_strDescription, "");
    EXPECT_EQ(backup.m_nFileFilterMode, 2);
    EXPECT_EQ(backup.m_strFileTypes, "*.tmp:");
    ASSERT_EQ(backup.m_items.GetCount(), 2);
    EXPECT_EQ(backup.m_items.GetAt(0).m_dwAttributes, 16u);
    EXPECT_EQ(backup.m_items.GetAt(1).m_dwAttributes, 16u);
    EXPECT_EQ(backup.m_items.GetAt(1).m_strPath, "/old/a.txt");
    EXPECT_EQ(doc.m_ScheduleSettings.m_strTaskName, "Old.job");
    const auto& options = doc.m_JobOptions;
    EXPECT_EQ(options.m_nCompressionLevel, 9);
    EXPECT_EQ(options.m_nCompressionIndex, 3);
    EXPECT_EQ(options.m_nDiskSpanning, 2);
    EXPECT_EQ(options.m_nNonEmptyDiskAction, 3);
    EXPECT_EQ(options.m_strPassword, "");  // plain-text passwords are dropped
    EXPECT_EQ(options.m_bPasswordChanged, 1);
    EXPECT_EQ(options.m_strVolumeName, "DISK");
    EXPECT_EQ(options.m_strPurgeDays, "30");
    const CLogSettings defaults;
    EXPECT_EQ(doc.m_LogSettings.m_bLogSummary, defaults.m_bLogSummary);
    EXPECT_EQ(doc.m_LogSettings.m_bEmailLog, 0);
}

TEST_F(JobFile, EveryOptionsBlockVersionReadsItsFields) {
    struct Case {
        uint32_t version;
        int passwordChangedStored;
        bool hasVolumeFlag, hasArchive, hasVerify, hasCubes, hasChangedFlag, hasPurge;
        const char* purgeAfter;
        const char* passwordAfter;
        int changedAfter;
    } cases[] = {
        {1, 0, false, false, false, false, false, false, "30", "", 1},
        {2, 0, true, false, false, false, false, false, "30", "", 1},
        {3, 0, true, true, false, false, false, false, "30", "", 1},
        {4, 0, true, true, true, false, false, false, "30", "", 1},
        {5, 0, true, true, true, true, false, false, "30", "ab", 1},
        {100, 0, true, true, true, true, true, false, "0", "ab", 1},
        {150, 0, true, true, true, true, true, true, "45", "ab", 1},
        {220, 0, true, true, true, true, true, true, "45", "ab", 0},
        {230, 1, true, true, true, true, true, true, "45", "ab", 1},
    };
    for (const auto& c : cases) {
        Bytes b;
        b.newClass(220, "CAppDoc").u32(2);
        b.u32(100).u32(2).str("/b.velarc").str("d").i32(0).str("*").u32(0);
        b.u32(100).u32(1).i32(0).i32(0).str("");
        b.u32(100).u32(c.version).i32(1).i32(0).i32(0).i32(1);
        if (c.hasChangedFlag) b.i32(c.passwordChangedStored);
        if (c.hasCubes)
            b.u16(2).i32(97 * 97 * 97).i32(98 * 98 * 98);
        else
            b.str("plain");
        if (c.hasVolumeFlag) b.i32(1);
        b.str("VOL");
        if (c.hasArchive) b.i32(0);
        if (c.hasPurge) b.str("45");
        if (c.hasVerify) b.i32(0);
        b.u32(100).u32(6);
        for (int i = 0; i < 10; ++i) b.u32(0);
        b.str("a@b").str("extra");
        b.u32(100);
        CAppDoc doc(DocHost::Runner);
        std::string error;
        ASSERT_TRUE(Load(doc, b, &error)) << c.version << ": " << error;
        const auto& o = doc.m_JobOptions;
        EXPECT_EQ(o.m_nCompressionLevel, 1) << c.version;
        EXPECT_EQ(o.m_nCompressionIndex, 1) << c.version;
        EXPECT_EQ(o.m_strPassword, c.passwordAfter) << c.version;
        EXPECT_EQ(o.m_bPasswordChanged, c.changedAfter) << c.version;
        EXPECT_EQ(o.m_bUseVolumeName, c.hasVolumeFlag ? 1 : 0) << c.version;
        EXPECT_EQ(o.m_strVolumeName, "VOL") << c.version;
        EXPECT_EQ(o.m_bArchiveOldVersions, c.hasArchive ? 0 : 1) << c.version;
        EXPECT_EQ(o.m_bVerify, c.hasVerify ? 0 : 1) << c.version;
        EXPECT_EQ(o.m_strPurgeDays, c.purgeAfter) << c.version;
        EXPECT_EQ(doc.m_LogSettings.m_strLogExtra, "extra") << c.version;
    }
}

TEST_F(JobFile, EveryLogBlockVersionFillsItsFields) {
    // Stored DWORDs are 2, 3, 4, ... so each field shows which position it came from.
    struct Case {
        uint32_t version;
        int stored;
        bool hasExtra;
        std::vector<int> expected;  // CreateLog, Summary, Added, Updated, NotUpdated, Excluded, Skipped, Removed, Errors, Email
    } cases[] = {
        {1, 6, false, {2, 1, 1, 1, 3, 4, 5, 1, 6, 7}},
        {2, 7, false, {2, 1, 1, 1, 3, 4, 5, 6, 7, 8}},
        {3, 8, false, {2, 1, 1, 3, 4, 5, 6, 7, 8, 9}},
        {4, 9, false, {2, 1, 3, 4, 5, 6, 7, 8, 9, 10}},
        {5, 10, false, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
        {6, 10, true, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
        {100, 10, true, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
    };
    for (const auto& c : cases) {
        Bytes b;
        b.newClass(220, "CAppDoc").u32(3).str("/jobs/x.vlj");
        b.u32(100).u32(100).str("/b.velarc").str("").i32(0).str("*").u32(0);
        b.u32(100).u32(2).i32(1).i32(0).str("T.job").str("dropped");
        b.u32(100).u32(5).i32(6).i32(0).i32(1).i32(0).u16(0).i32(0).str("").i32(1).i32(1);
        b.u32(1).u32(c.version);
        for (int i = 0; i < c.stored; ++i) b.i32(i + 2);
        b.str("ann@example.org");
        if (c.hasExtra) b.str("x");
        b.u32(100);
        CAppDoc doc(DocHost::Runner);
        std::string error;
        ASSERT_TRUE(Load(doc, b, &error)) << c.version << ": " << error;
        const auto& l = doc.m_LogSettings;
        const std::vector<int> got = {l.m_bCreateLog,     l.m_bLogSummary,  l.m_bLogAdded,   l.m_bLogUpdated,
                                      l.m_bLogNotUpdated, l.m_bLogExcluded, l.m_bLogSkipped, l.m_bLogRemoved,
                                      l.m_bLogErrors,     l.m_bEmailLog};
        EXPECT_EQ(got, c.expected) << c.version;
        EXPECT_EQ(l.m_strEmailAddress, "ann@example.org");
        EXPECT_EQ(l.m_strLogExtra, c.hasExtra ? "x" : "");
        EXPECT_EQ(doc.m_strJobFile, "/jobs/x.vlj");
        EXPECT_EQ(doc.m_ScheduleSettings.m_strTaskName, "T.job");
    }
}

TEST_F(JobFile, UnknownVersionsAreFormatErrors) {
    auto withDocVersion = [&](uint32_t version) {
        Job220 job;
        std::string bytes = job.Encode();
        bytes[13] = static_cast<char>(version & 0xFF);
        bytes[14] = static_cast<char>(version >> 8);
        return bytes;
    };
    CAppDoc doc(DocHost::Runner);
    for (uint32_t version : {0u, 4u, 219u, 221u, 231u}) {
        messages.Clear();
        EXPECT_FALSE(Load(doc, withDocVersion(version))) << version;
        ASSERT_EQ(messages.Texts().size(), 1u);
        EXPECT_EQ(messages.Texts()[0], "Error loading backup file: ");
    }
    // Block versions: the backup block's version sits right after its base tag.
    Job220 job;
    const std::string good = job.Encode();
    const size_t backupVersion = 17 + 1 + 4;
    for (uint32_t version : {0u, 3u, 99u, 101u}) {
        std::string bytes = good;
        bytes[backupVersion] = static_cast<char>(version);
        std::string error;
        EXPECT_FALSE(Load(doc, bytes, &error)) << version;
        EXPECT_NE(error.find("unknown version"), std::string::npos) << error;
    }
    std::string badBaseTag = good;
    badBaseTag[17 + 1] = 2;
    EXPECT_FALSE(Load(doc, badBaseTag));
    for (uint16_t schema : {0, 2, 219, 221}) {
        Job220 withItem;
        withItem.items = {{4, "/a", 32}};
        std::string bytes = withItem.Encode();
        const size_t itemTag = bytes.rfind("CBackupItem") - 4;  // the item's schema WORD
        bytes[itemTag] = static_cast<char>(schema & 0xFF);
        bytes[itemTag + 1] = static_cast<char>(schema >> 8);
        EXPECT_FALSE(Load(doc, bytes)) << schema;
    }
}
