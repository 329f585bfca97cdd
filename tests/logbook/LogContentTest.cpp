#include "logbook/LogContent.h"

#include <gtest/gtest.h>

using namespace logbook;

TEST(LogContent, KilobytesAreWholeAndGroupedByCommas) {
    const std::pair<uint64_t, const char*> cases[] = {
        {0, "0"},          {1023, "0"},           {1536, "1"},
        {1048576, "1,024"}, {1024ull * 999, "999"}, {1000000000000ull, "976,562,500"},
        {UINT64_MAX, "18,014,398,509,481,983"},
    };
    for (auto [bytes, text] : cases) EXPECT_EQ(FormatKilobytes(bytes), text) << bytes;
}

TEST(LogContent, BackupSummaryNamesTheDisksOnlyFromTwoUp) {
    for (int disks : {0, 1, 3}) {
        CBackupLog log;
        log.m_nDisks = disks;
        log.m_nItemsInBackup = 12;
        log.m_nCompressedSize = 1536;
        log.m_nUncompressedSize = 1048576;
        log.m_nCompressionRatio = 42;
        log.AddEntry("e", kLogFileError);
        log.AddEntry("u", kLogFileUpdated);
        log.AddEntry("r", kLogFileRemoved);
        std::vector<std::string> summary;
        log.AddSummaryLines(summary);
        ASSERT_EQ(summary.size(), 1u);
        EXPECT_EQ(summary[0], std::string(disks == 3 ? "File Spans 3 Disks:\n" : "") +
                                  "System Errors: \t 0\nFile Errors:   \t 1\nFile Warnings: \t 0\n"
                                  "Files Added:   \t 0\nFiles Updated: \t 1\nFiles Removed: \t 1\n\n"
                                  "Folders & Files in Backup File:   \t 12\n"
                                  "Compressed size of Backup File:   \t 1 kB\n"
                                  "Uncompressed size of Backup File: \t 1,024 kB\n"
                                  "Compression Ratio of Backup File: \t 42%\n")
            << disks;
    }
}

TEST(LogContent, RestoreSummary) {
    CRestoreLog log;
    log.AddEntry("a", kLogFileAdded);
    log.AddEntry("w", kLogFileWarning);
    std::vector<std::string> summary;
    log.AddSummaryLines(summary);
    EXPECT_EQ(summary, std::vector<std::string>{"System Errors: \t 0\nFile Errors:   \t 0\nFile Warnings: \t 1\n"
                                                "Files Added:   \t 1\nFiles Updated: \t 0\n"});
}

TEST(LogContent, DisabledSummaryHidesTheSummaryText) {
    CBackupLog log;
    log.SetSectionSwitches(1, 0, 1, 1, 1, 1, 1, 1, 1);
    log.BuildLog();
    EXPECT_NE(log.Document().find("====================\r\n \\par \\plain\\f0\\fs17\\cb4\\cf5 (Section Disabled!)"),
              std::string::npos);
    EXPECT_EQ(log.Document().find("Folders & Files"), std::string::npos);
}

TEST(LogContent, LogFilePaths) {
    EXPECT_EQ(BackupLogPath("/home/ann/Log", "/home/ann/Jobs/Daily.vlj"), "/home/ann/Log/Daily.rtf");
    EXPECT_EQ(BackupLogPath("/home/ann/Log", "/j/Daily.backup.vlj"), "/home/ann/Log/Daily.backup.rtf");
    EXPECT_EQ(BackupLogPath("/home/ann/Log", "/j/NoExtension"), "/home/ann/Log/NoExtension.rtf");
    EXPECT_EQ(BackupLogPath("", "/j/Daily.vlj"), "");
    EXPECT_EQ(BackupLogPath("/home/ann/Log", ""), "");
    EXPECT_EQ(RestoreLogPath("/home/ann/Log"), "/home/ann/Log/RestoreLog.rtf");
}
