#pragma once

#include "logbook/LogBookBase.h"

#include <cstdint>
#include <string>
#include <vector>

namespace logbook {

// A whole-kB figure ("1,024") from a byte count, grouped by "," whatever the
// user's locale says.
std::string FormatKilobytes(uint64_t bytes);

class CBackupLog : public CLogBookBase {
public:
    void AddSummaryLines(std::vector<std::string>& summary) override;
};

class CRestoreLog : public CLogBookBase {
public:
    void AddSummaryLines(std::vector<std::string>& summary) override;
};

// The backup log of a job: the Log Folder, then the job file's name without
// its last extension, then ".rtf". Empty when either part is missing.
std::string BackupLogPath(const std::string& logFolder, const std::string& jobFile);
std::string RestoreLogPath(const std::string& logFolder);

}  // namespace logbook
