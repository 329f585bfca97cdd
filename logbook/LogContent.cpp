#include "logbook/LogContent.h"

#include "platform/FileSystem.h"

#include <cstdio>

namespace logbook {

std::string FormatKilobytes(uint64_t bytes) {
    const std::string digits = std::to_string(bytes >> 10);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

void CBackupLog::AddSummaryLines(std::vector<std::string>& summary) {
    char spans[64] = "";
    if (m_nDisks >= 2) std::snprintf(spans, sizeof spans, "File Spans %i Disks:\n", m_nDisks);
    const std::string compressed = FormatKilobytes(m_nCompressedSize);
    const std::string uncompressed = FormatKilobytes(m_nUncompressedSize);
    char text[1024];
    std::snprintf(text, sizeof text,
                  "%sSystem Errors: \t %i\nFile Errors:   \t %i\nFile Warnings: \t %i\nFiles Added:   \t %i\n"
                  "Files Updated: \t %i\nFiles Removed: \t %i\n\nFolders & Files in Backup File:   \t %i\n"
                  "Compressed size of Backup File:   \t %s kB\nUncompressed size of Backup File: \t %s kB\n"
                  "Compression Ratio of Backup File: \t %i%%\n",
                  spans, m_nSystemErrors, m_nFileErrors, m_nFileWarnings, m_nFilesAdded, m_nFilesUpdated,
                  m_nFilesRemoved, m_nItemsInBackup, compressed.c_str(), uncompressed.c_str(), m_nCompressionRatio);
    summary.push_back(text);
}

void CRestoreLog::AddSummaryLines(std::vector<std::string>& summary) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "System Errors: \t %i\nFile Errors:   \t %i\nFile Warnings: \t %i\nFiles Added:   \t %i\n"
                  "Files Updated: \t %i\n",
                  m_nSystemErrors, m_nFileErrors, m_nFileWarnings, m_nFilesAdded, m_nFilesUpdated);
    summary.push_back(text);
}

std::string BackupLogPath(const std::string& logFolder, const std::string& jobFile) {
    std::string title = platform::FileNamePart(jobFile);
    const size_t dot = title.rfind('.');
    if (dot != std::string::npos && dot > 0) title.erase(dot);
    if (logFolder.empty() || title.empty()) return "";
    return logFolder + "/" + title + ".rtf";
}

std::string RestoreLogPath(const std::string& logFolder) {
    if (logFolder.empty()) return "";
    return logFolder + "/RestoreLog.rtf";
}

}  // namespace logbook
