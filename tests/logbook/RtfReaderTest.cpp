#include "logbook/RtfReader.h"

#include "logbook/LogContent.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>

#include <algorithm>
#include <sstream>

using namespace logbook;

namespace {

CBackupLog SampleLog() {
    CBackupLog log;
    log.SetClock([] { return std::time_t{1796911509}; });
    log.AddEntry("Starting Backup\nnightly {set}\nBackup Filename : /b/Backup.velarc", kLogTitle);
    log.AddEntry("The User Aborted the backup process !!", kLogSystemError);
    log.AddEntry("C:\\odd\\name.txt : Error Code 3 - unreadable", kLogFileError);
    log.AddEntry("/home/ann/a.txt", kLogFileAdded);
    log.AddEntry("/home/ann/b.txt", kLogFileExcluded);
    log.AddEntry("Backup ABORTED !", kLogFooter);
    log.BuildLog();
    return log;
}

// Lines with white space runs folded to one space, blank lines at the ends
// dropped: how two renderings of the same text are compared.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::string folded;
        for (char c : line) {
            const bool space = c == ' ' || c == '\t' || c == '\r';
            if (space && (folded.empty() || folded.back() == ' ')) continue;
            folded += space ? ' ' : c;
        }
        while (!folded.empty() && folded.back() == ' ') folded.pop_back();
        lines.push_back(folded);
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    while (!lines.empty() && lines.front().empty()) lines.erase(lines.begin());
    return lines;
}

bool Contains(const std::vector<std::string>& lines, const std::vector<std::string>& run) {
    return std::search(lines.begin(), lines.end(), run.begin(), run.end()) != lines.end();
}

}  // namespace

TEST(RtfReader, ReadsTheLogBackAsText) {
    setenv("LC_ALL", "C", 1);
    setenv("TZ", "UTC", 1);
    tzset();
    const std::string text = RtfToText(SampleLog().Document());
    const auto lines = Lines(text);
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[0], "12/10/26 14:05:09 Starting Backup");
    EXPECT_EQ(lines[1], "nightly {set}");
    EXPECT_EQ(lines[4], "RESULT - A Fatal Error occurred!");
    EXPECT_TRUE(Contains(lines, {"File Errors:", "============", "C:\\odd\\name.txt : Error Code 3 - unreadable"}));
    EXPECT_TRUE(Contains(lines, {"Files Excluded:", "===============", "/home/ann/b.txt"}));
    EXPECT_TRUE(Contains(lines, {"Files Skipped:", "==============", "(none)"}));
    EXPECT_EQ(lines.back(), "===============================");
}

TEST(RtfReader, KeepsColoursBoldAndUnicode) {
    CBackupLog log;
    log.AddEntry("/home/ann/\xc3\xa9t\xc3\xa9 \xf0\x9f\x98\x80 <b>", kLogFileAdded);
    log.AddEntry("fatal & final", kLogSystemError);
    log.BuildLog();
    std::vector<RtfRun> runs;
    ASSERT_TRUE(ParseRtf(log.Document(), runs));
    bool sawAdded = false, sawFatal = false;
    for (const auto& run : runs) {
        if (run.text.find("/home/ann/\xc3\xa9t\xc3\xa9 \xf0\x9f\x98\x80 <b>") != std::string::npos) {
            sawAdded = true;
            EXPECT_EQ(run.color, kPurple);
            EXPECT_FALSE(run.bold);
        }
        if (run.text.find("fatal & final") != std::string::npos) {
            sawFatal = true;
            EXPECT_EQ(run.color, kRed);
            EXPECT_TRUE(run.bold);
        }
    }
    EXPECT_TRUE(sawAdded && sawFatal);
    const std::string html = RtfToHtml(log.Document());
    EXPECT_NE(html.find("<span style=\"color:#b40000;font-weight:bold\">fatal &amp; final"), std::string::npos);
    EXPECT_NE(html.find("\xf0\x9f\x98\x80 &lt;b&gt;"), std::string::npos);
    EXPECT_NE(html.find("color:#4b0082"), std::string::npos);

    EXPECT_FALSE(ParseRtf("{\\rtf1 unbalanced", runs));
    EXPECT_FALSE(ParseRtf("}", runs));
}

TEST(RtfReader, UnrtfShowsTheSameLines) {
    setenv("LC_ALL", "C", 1);
    setenv("TZ", "UTC", 1);
    tzset();
    testsupport::IsolatedUser user;
    CBackupLog log = SampleLog();
    const std::string path = user.Root() + "/Daily.rtf";
    ASSERT_EQ(log.SaveLogFile(path), 1);
    QProcess unrtf;
    unrtf.start("unrtf", {"--text", QString::fromStdString(path)});
    ASSERT_TRUE(unrtf.waitForFinished(30000));
    ASSERT_EQ(unrtf.exitCode(), 0);
    const std::string peer = unrtf.readAllStandardOutput().toStdString();
    // unrtf starts with a rule of dashes under its own banner comments.
    std::vector<std::string> peerLines;
    for (const auto& line : Lines(peer))
        if (!line.starts_with("###") && line != "-----------------") peerLines.push_back(line);
    while (!peerLines.empty() && peerLines.front().empty()) peerLines.erase(peerLines.begin());
    EXPECT_EQ(peerLines, Lines(RtfToText(testsupport::ReadFile(path))));
}
