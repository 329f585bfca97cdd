#include "restore/BackupFiles.h"

#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using restore::ListBackupFiles;

namespace {

void WriteAged(const std::string& path, time_t when) {
    testsupport::WriteFile(path, "zip");
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::vector<std::string> Texts(const std::vector<restore::BackupFileEntry>& entries) {
    std::vector<std::string> texts;
    for (const auto& e : entries) texts.push_back(e.text);
    return texts;
}

}  // namespace

TEST(BackupFiles, TheBackupComesFirstThenItsArchivesNewestFirst) {
    testsupport::IsolatedUser user;
    const std::string folder = user.Root() + "/backups";
    const std::string backup = folder + "/Daily.velarc";
    EXPECT_EQ(Texts(ListBackupFiles(backup)), std::vector<std::string>{backup});  // none written yet
    WriteAged(backup, 3000);
    WriteAged(folder + "/Daily_Archived_Feb 02 2026 10'00.velarc", 2000);
    WriteAged(folder + "/Daily_Archived_Jan 05 2026 10'00.velarc", 1000);
    WriteAged(folder + "/Daily_Archived_Mar 01 2026 10'00.velarc", 2500);
    // Not archives of this backup.
    WriteAged(folder + "/Weekly_Archived_Mar 01 2026 10'00.velarc", 2600);
    WriteAged(folder + "/Daily_Archived_Mar 01 2026 10'00.zip", 2700);
    WriteAged(folder + "/Daily.velarc.txt", 2800);
    const auto entries = ListBackupFiles(backup);
    EXPECT_EQ(Texts(entries), (std::vector<std::string>{backup, "Daily_Archived_Mar 01 2026 10'00",
                                                       "Daily_Archived_Feb 02 2026 10'00",
                                                       "Daily_Archived_Jan 05 2026 10'00"}));
    EXPECT_EQ(entries[1].path, folder + "/Daily_Archived_Mar 01 2026 10'00.velarc");
    EXPECT_EQ(entries[1].lastWrite, 2500);
    EXPECT_GT(entries[0].created, 0);
}
