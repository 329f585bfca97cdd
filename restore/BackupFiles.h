#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace restore {

// One line of the Restore tab's backup-file list.
struct BackupFileEntry {
    std::string path;  // the file
    std::string text;  // what the list shows
    time_t created = 0;
    time_t lastWrite = 0;
};

// The backup file of a job and its archive zips: the backup first (shown
// by its full path), then the archive zips beside it, newest first (shown
// by their names without folder and extension).
std::vector<BackupFileEntry> ListBackupFiles(const std::string& backupFile);

}  // namespace restore
