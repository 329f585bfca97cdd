#include "jobmodel/BackupIndexFile.h"

#include "jobmodel/Archive.h"
#include "platform/FileSystem.h"
#include "platform/SpecialFolders.h"

namespace jobmodel {

void CBackupIndexFile::SetNames(const std::string& jobPath, const std::string& backupPath) {
    m_strJobName = platform::FileNamePart(jobPath);
    m_strBackupName = platform::FileNamePart(backupPath);
}

std::string CBackupIndexFile::GetFolder() const {
    std::string appData;
    if (m_strJobName.empty() || !platform::GetAppDataFolder(appData)) return "";
    return appData + "/Jobs/" + m_strJobName;
}

std::string CBackupIndexFile::GetPath() const {
    const std::string folder = GetFolder();
    if (folder.empty() || m_strBackupName.empty()) return "";
    return folder + "/" + m_strBackupName + ".velidx";
}

std::string CBackupIndexFile::Encode(const std::vector<std::string>& list) {
    CArchive ar = CArchive::ForStoring();
    ar.WriteClassTag("CBackupIndexFile", kSchema);
    ar.WriteCount(static_cast<uint32_t>(list.size()));
    for (const auto& entry : list) ar.WriteString(entry);
    return ar.Bytes();
}

bool CBackupIndexFile::Decode(const std::string& bytes, std::vector<std::string>& list, std::string& error) {
    list.clear();
    CArchive ar = CArchive::ForLoading(bytes);
    uint16_t schema;
    if (!ar.ReadClassTag("CBackupIndexFile", schema)) {
        error = ar.Error();
        return false;
    }
    if (schema != kSchema) return true;
    uint32_t count;
    if (!ar.ReadCount(count)) {
        error = ar.Error();
        return false;
    }
    if (count > ar.Remaining()) {
        error = "the index counts more folders than the file holds";
        return false;
    }
    std::vector<std::string> entries;
    for (uint32_t i = 0; i < count; ++i) {
        std::string entry;
        if (!ar.ReadString(entry)) {
            error = ar.Error();
            return false;
        }
        entries.push_back(std::move(entry));
    }
    list = std::move(entries);
    return true;
}

int CBackupIndexFile::Save(const std::vector<std::string>* list) {
    m_pList = list ? list : &m_list;
    const std::string path = GetPath();
    if (path.empty()) return 0;
    const std::string bytes = Encode(*m_pList);
    // A run that found no folder new or gone leaves the index as it was.
    std::string stored;
    if (platform::ReadWholeFile(path, stored) == 0 && stored == bytes) return 1;
    platform::CreateFolderPath(GetFolder());
    if (int err = platform::WriteFileAtomically(path, bytes)) {
        m_strLastError = platform::GetSystemErrorText(err);
        return 0;
    }
    return 1;
}

int CBackupIndexFile::Load() {
    m_list.clear();
    const std::string path = GetPath();
    std::string bytes;
    if (path.empty() || platform::ReadWholeFile(path, bytes) != 0) return 0;
    return Decode(bytes, m_list, m_strLastError) ? 1 : 0;
}

bool CBackupIndexFile::Delete() const {
    const std::string path = GetPath();
    return !path.empty() && platform::DeleteToRecycleBin(path);
}

}  // namespace jobmodel
