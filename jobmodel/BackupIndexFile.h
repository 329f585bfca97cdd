#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jobmodel {

// The list of source folders one backup file covers, kept per job below the
// application folder so the Restore tab can build its tree without the zip.
class CBackupIndexFile {
public:
    static constexpr uint16_t kSchema = 232;

    CBackupIndexFile() = default;
    CBackupIndexFile(const std::string& jobPath, const std::string& backupPath) { SetNames(jobPath, backupPath); }

    void SetNames(const std::string& jobPath, const std::string& backupPath);
    std::string GetFolder() const;
    std::string GetPath() const;

    // Writes `list`, or m_list when none is given. Returns 1, or 0 when the
    // file cannot be written.
    int Save(const std::vector<std::string>* list = nullptr);
    // Returns 1 when the file was read (a foreign schema leaves the list
    // empty), 0 when it cannot be opened or is damaged.
    int Load();
    bool Delete() const;

    // The file's bytes for a list, and the list of a file's bytes.
    static std::string Encode(const std::vector<std::string>& list);
    static bool Decode(const std::string& bytes, std::vector<std::string>& list, std::string& error);

    std::vector<std::string> m_list;
    const std::vector<std::string>* m_pList = &m_list;
    std::string m_strJobName;
    std::string m_strBackupName;
    std::string m_strLastError;
};

}  // namespace jobmodel
