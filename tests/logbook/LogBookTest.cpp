#include "logbook/LogBookBase.h"

#include "logbook/LogContent.h"
#include "tests/support/InstalledMessages.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace logbook;

namespace {

// 2026-12-10 14:05:09 UTC, shown in the C locale's short forms.
constexpr std::time_t kNoon = 1796911509;

class LogBook : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("LC_ALL", "C", 1);
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

// A run as the builder writes it: attributes, then escaped text.
std::string RtfRun(bool bold, int color, const std::string& text) {
    std::string out = std::string("\\plain") + (bold ? "\\b" : "") + "\\f0\\fs17\\cb4\\cf" + std::to_string(color) + " ";
    for (char c : text) out += c == '\n' ? std::string("\r\n \\par ") : std::string(1, c);
    return out;
}

}  // namespace

TEST_F(LogBook, TitlesAccumulateAndTheFooterIsReplaced) {
    CLogBookBase log;
    log.SetClock([] { return kNoon; });
    log.AddEntry("Starting Backup\nnightly\nBackup Filename : /b.velarc", kLogTitle);
    log.AddEntry("Second\n", kLogTitle);
    log.AddEntry("first footer", kLogFooter);
    log.AddEntry("Backup Completed Successfully.", kLogFooter);
    EXPECT_EQ(log.m_strTitle,
              "12/10/26 14:05:09 Starting Backup\nnightly\nBackup Filename : /b.velarc\n"
              "===============================\n"
              "12/10/26 14:05:09 Second\n===============================\n");
    EXPECT_EQ(log.m_strFooter, "12/10/26 14:05:09 Backup Completed Successfully.\n===============================\n");
}

TEST_F(LogBook, CountersCountWhatSwitchesDrop) {
    CLogBookBase log;
    log.SetSectionSwitches(1, 1, 0, 1, 1, 1, 1, 1, 0);
    log.AddEntry("/a : Warning Code 1 - x", kLogFileWarning);
    log.AddEntry("/b : Error Code 2 - y", kLogFileError);
    log.AddEntry("/c", kLogFileAdded);
    log.AddEntry("/d", kLogFileUpdated);
    log.AddEntry("", kLogFileNotUpdated);
    log.AddEntry("ignored", 12);
    log.AddEntry("ignored", -1);
    EXPECT_EQ(log.m_nFileWarnings, 1);
    EXPECT_EQ(log.m_nFileErrors, 1);
    EXPECT_EQ(log.m_nFilesAdded, 1);
    EXPECT_EQ(log.m_nFilesUpdated, 1);
    EXPECT_TRUE(log.Entries(kLogFileWarning).empty());
    EXPECT_TRUE(log.Entries(kLogFileAdded).empty());
    EXPECT_EQ(log.Entries(kLogFileUpdated), std::vector<std::string>{"/d\n"});
    EXPECT_EQ(log.Entries(kLogFileNotUpdated), std::vector<std::string>{"\n"});
    log.BuildLog();
    const std::string& doc = log.Document();
    const std::string disabled = "\\cf5 (Section Disabled!)\r\n \\par ";
    const std::string none = "\\cf5 (none)\r\n \\par ";
    EXPECT_NE(doc.find("File Errors:\r\n \\par ============\r\n \\par \\plain\\f0\\fs17\\cb4" + disabled), std::string::npos);
    EXPECT_NE(doc.find("File Warnings:\r\n \\par ==============\r\n \\par \\plain\\f0\\fs17\\cb4" + disabled),
              std::string::npos);
    EXPECT_NE(doc.find("New Files Added:\r\n \\par ================\r\n \\par \\plain\\f0\\fs17\\cb4" + disabled),
              std::string::npos);
    EXPECT_NE(doc.find("Files Removed:\r\n \\par ==============\r\n \\par \\plain\\f0\\fs17\\cb4" + none),
              std::string::npos);
    EXPECT_EQ(log.Entries(kLogFileUpdated), std::vector<std::string>{"/d\n"});
    EXPECT_NE(log.Document().find("RESULT - Some Critical file errors occurred!"), std::string::npos);
}

TEST_F(LogBook, RemoveEntryMatchesPathsAsTheFileSystemDoesAndKeepsCountersHonest) {
    CLogBookBase log;
    log.AddEntry("/home/ann/A.txt", kLogFileAdded);
    log.AddEntry("/home/ann/a.txt", kLogFileAdded);
    log.AddEntry("/home/ann/c.txt\n", kLogFileAdded);
    log.AddEntry("/home/ann/b.txt", kLogFileExcluded);
    EXPECT_EQ(log.RemoveEntry("/home/ann/missing", kLogFileAdded), 0);
    EXPECT_EQ(log.RemoveEntry("/HOME/ANN/A.TXT", kLogFileAdded), 0);
    EXPECT_EQ(log.m_nFilesAdded, 3);
    EXPECT_EQ(log.RemoveEntry("/home/ann/a.txt", kLogFileAdded), 1);
    EXPECT_EQ(log.m_nFilesAdded, 2);
    EXPECT_EQ(log.Entries(kLogFileAdded), (std::vector<std::string>{"/home/ann/A.txt\n", "/home/ann/c.txt\n"}));
    EXPECT_EQ(log.RemoveEntry("/home/ann/A.txt", kLogFileAdded), 1);
    EXPECT_EQ(log.Entries(kLogFileAdded), std::vector<std::string>{"/home/ann/c.txt\n"});
    EXPECT_EQ(log.RemoveEntry("/home/ann/b.txt", kLogFileExcluded), 1);
    EXPECT_EQ(log.RemoveEntry("x", kLogTitle), 0);
    EXPECT_EQ(log.RemoveEntry("x", 12), 0);
}

TEST_F(LogBook, ClearSectionFollowsEachKindsRule) {
    CLogBookBase log;
    for (int kind = kLogSummary; kind <= kLogFileRemoved; ++kind) log.AddEntry("entry", kind);
    log.AddEntry("title", kLogTitle);
    log.m_nItemsInBackup = 9;
    log.ClearSection(kLogSystemError);
    EXPECT_TRUE(log.Entries(kLogSystemError).empty());
    EXPECT_EQ(log.m_nSystemErrors, 1);
    for (int kind : {kLogFileError, kLogFileWarning, kLogFileAdded, kLogFileUpdated, kLogFileRemoved,
                     kLogFileNotUpdated, kLogFileExcluded, kLogFileSkipped})
        log.ClearSection(kind);
    for (int kind = kLogFileError; kind <= kLogFileRemoved; ++kind) EXPECT_TRUE(log.Entries(kind).empty()) << kind;
    EXPECT_EQ(log.m_nFileErrors + log.m_nFileWarnings + log.m_nFilesAdded + log.m_nFilesUpdated + log.m_nFilesRemoved,
              0);
    EXPECT_EQ(log.m_nSystemErrors, 1);
    log.ClearSection(kLogSummary);
    EXPECT_TRUE(log.Entries(kLogSummary).empty());
    EXPECT_EQ(log.m_nSystemErrors, 0);
    EXPECT_EQ(log.m_nItemsInBackup, 0);
    log.ClearSection(kLogTitle);
    EXPECT_EQ(log.m_strTitle, "");
}

TEST_F(LogBook, LogSwitchOffMakesEveryCallANoOp) {
    CLogBookBase log;
    log.AddEntry("kept", kLogFileAdded);
    log.SetSectionSwitches(0, 1, 1, 1, 1, 1, 1, 1, 1);
    log.AddEntry("dropped", kLogFileAdded);
    log.AddEntry("title", kLogTitle);
    EXPECT_EQ(log.m_nFilesAdded, 1);
    EXPECT_EQ(log.m_strTitle, "");
    EXPECT_EQ(log.RemoveEntry("kept", kLogFileAdded), 1);
    EXPECT_EQ(log.Entries(kLogFileAdded).size(), 1u);
    log.ClearSection(kLogFileAdded);
    EXPECT_EQ(log.Entries(kLogFileAdded).size(), 1u);
    log.BuildLog();
    EXPECT_EQ(log.Document(), "");
}

TEST_F(LogBook, OneWarningRunRendersByteForByte) {
    CBackupLog log;
    log.SetClock([] { return kNoon; });
    log.AddEntry("Starting Backup\n\nBackup Filename : /b/{x}.velarc", kLogTitle);
    log.AddEntry("/a\\b : Warning Code 7 - odd", kLogFileWarning);
    log.AddEntry("Backup Completed Successfully.", kLogFooter);
    log.BuildLog();

    const std::string title = "12/10/26 14:05:09 Starting Backup\n\nBackup Filename : /b/\\{x\\}.velarc\n"
                              "===============================\n";
    std::string body = RtfRun(true, 0, title) + RtfRun(false, 3, "RESULT - Some non-critical warnings occurred!\n");
    body += RtfRun(true, 0, "\nSummary Information: \n====================\n");
    body += RtfRun(false, 0,
                "System Errors: \t 0\nFile Errors:   \t 0\nFile Warnings: \t 1\nFiles Added:   \t 0\n"
                "Files Updated: \t 0\nFiles Removed: \t 0\n\nFolders & Files in Backup File:   \t 0\n"
                "Compressed size of Backup File:   \t 0 kB\nUncompressed size of Backup File: \t 0 kB\n"
                "Compression Ratio of Backup File: \t 0%\n");
    const char* headings[] = {"\nSystem Errors:\n==============\n",
                              "\nFile Errors:\n============\n",
                              "\nFile Warnings:\n==============\n",
                              "\nNew Files Added:\n================\n",
                              "\nExisting Files Updated:\n=======================\n",
                              "\nExisting Files Not Updated:\n===========================\n",
                              "\nFiles Excluded:\n===============\n",
                              "\nFiles Skipped:\n==============\n",
                              "\nFiles Removed:\n==============\n"};
    for (const char* heading : headings) {
        body += RtfRun(true, 0, heading);
        body += std::string(heading).find("Warnings") != std::string::npos
                    ? RtfRun(false, 3, "/a\\\\b : Warning Code 7 - odd\n")
                    : RtfRun(false, 5, "(none)\n");
    }
    body += RtfRun(true, 0, "\n12/10/26 14:05:09 Backup Completed Successfully.\n===============================\n");
    EXPECT_EQ(log.Document(),
              "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deftab720{\\fonttbl{\\f0 Arial;}}{\\colortbl\\red0\\green0\\blue0;"
              "\\red180\\green0\\blue0;\\red0\\green180\\blue0;\\red0\\green0\\blue180;\\red255\\green255\\blue255;"
              "\\red128\\green128\\blue128;}" +
                  body + "}");
}

TEST_F(LogBook, ResultLineTakesTheWorstCounter) {
    struct Case {
        int systemErrors, fileErrors, warnings;
        const char* line;
        bool bold;
        int color;
    } cases[] = {
        {1, 3, 2, "RESULT - A Fatal Error occurred!", true, 1},
        {0, 3, 2, "RESULT - Some Critical file errors occurred!", true, 1},
        {0, 0, 2, "RESULT - Some non-critical warnings occurred!", false, 3},
        {0, 0, 0, "RESULT - Successful:", false, 3},
    };
    for (const auto& c : cases) {
        CLogBookBase log;
        for (int i = 0; i < c.systemErrors; ++i) log.AddEntry("fatal", kLogSystemError);
        for (int i = 0; i < c.fileErrors; ++i) log.AddEntry("error", kLogFileError);
        for (int i = 0; i < c.warnings; ++i) log.AddEntry("warning", kLogFileWarning);
        log.BuildLog();
        EXPECT_NE(log.Document().find(RtfRun(c.bold, c.color, std::string(c.line) + "\n")), std::string::npos) << c.line;
    }
}

TEST_F(LogBook, BuildingTwiceRendersTheSameDocument) {
    CBackupLog log;
    log.AddEntry("/a", kLogFileAdded);
    log.BuildLog();
    const std::string first = log.Document();
    log.BuildLog();
    EXPECT_EQ(log.Document(), first);
    EXPECT_EQ(log.Entries(kLogSummary).size(), 0u);
    EXPECT_EQ(log.Entries(kLogFileSkipped).size(), 0u);
}

TEST_F(LogBook, SaveLogFileWritesTheDocumentOrReportsWhyNot) {
    testsupport::IsolatedUser user;
    testsupport::InstalledMessages messages;
    CBackupLog log;
    log.AddEntry("Starting Backup", kLogTitle);
    const std::string path = user.Root() + "/Daily.rtf";
    ASSERT_EQ(log.SaveLogFile(path), 1);
    EXPECT_EQ(testsupport::ReadFile(path), log.Document());
    EXPECT_EQ(log.SaveLogFile(user.Root() + "/no/such/folder/Daily.rtf"), 0);
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_NE(messages.Texts()[0].find("No such file or directory"), std::string::npos);
}
