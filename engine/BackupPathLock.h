#pragma once

#include <string>
#include <vector>

namespace engine {

// One writer per backup path: a run holds an flock on a hidden lock file
// beside the backup for as long as it writes. Whoever holds the lock knows
// that the temporary files of that backup lying about were left by runs
// that died, and removes them.
class CBackupPathLock {
public:
    CBackupPathLock() = default;
    ~CBackupPathLock() { Release(); }
    CBackupPathLock(const CBackupPathLock&) = delete;
    CBackupPathLock& operator=(const CBackupPathLock&) = delete;

    // 0 when taken (or held already), EWOULDBLOCK while another run holds
    // it, another errno when no lock file can be made there.
    int TryAcquire(const std::string& backupPath);
    bool Held() const { return m_fd >= 0; }
    void Release();

private:
    int m_fd = -1;
};

std::string BackupLockPath(const std::string& backupPath);

// Whether a file name is one of the temporary files that writing the backup
// (or its split parts, archive zips and index files) makes: "." + the name
// it stands in for + "." + six random characters, or + ".whole".
bool IsBackupTemporary(const std::string& fileName, const std::string& backupPath);

// Removes such files from the backup's folder and from the other folders
// given (the temporary folder, the index folder). Only for a lock holder.
void RemoveStaleTemporaries(const std::string& backupPath, const std::vector<std::string>& otherFolders);

}  // namespace engine
