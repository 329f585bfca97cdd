#include "jobmodel/JobSettings.h"

#include "platform/SpecialFolders.h"

#include <cmath>
#include <cstdlib>
#include <initializer_list>

namespace jobmodel {

namespace {

bool ReadBlockVersion(CArchive& ar, uint32_t& version) { return ar.ReadDWord(version); }

bool UnknownVersion(CArchive& ar, const char* block, uint32_t version) {
    return ar.Fail(std::string("the ") + block + " block has the unknown version " + std::to_string(version));
}

bool IsOneOf(uint32_t v, std::initializer_list<uint32_t> set) {
    for (uint32_t s : set)
        if (v == s) return true;
    return false;
}

bool ReadInts(CArchive& ar, std::initializer_list<int*> fields) {
    for (int* f : fields)
        if (!ar.ReadInt(*f)) return false;
    return true;
}

void WriteInts(CArchive& ar, std::initializer_list<int> values) {
    for (int v : values) ar.WriteInt(v);
}

// Each password character, as a signed byte, is stored as its cube.
void WritePasswordCubes(CArchive& ar, const std::string& password) {
    ar.WriteCount(static_cast<uint32_t>(password.size()));
    for (char c : password) {
        const int32_t v = static_cast<signed char>(c);
        ar.WriteInt(v * v * v);
    }
}

bool ReadPasswordCubes(CArchive& ar, std::string& password) {
    uint32_t count;
    if (!ar.ReadCount(count)) return false;
    if (count > ar.Remaining() / 4) return ar.Fail("the password counts more characters than the file holds");
    password.clear();
    for (uint32_t i = 0; i < count; ++i) {
        int v;
        if (!ar.ReadInt(v)) return false;
        const long root = std::lround(std::cbrt(static_cast<double>(v)));
        password += static_cast<char>(static_cast<signed char>(root));
    }
    return true;
}

}  // namespace

std::string DefaultBackupFile() {
    const std::string personal = platform::GetPersonalFolder();
    if (personal.empty()) return platform::GetHomeFolder() + "/Backup.velarc";
    return personal + "/My Backups/Backup.velarc";
}

void CBackupSettings::SetDefaults() {
    m_items.RemoveAll();
    m_strBackupFile = DefaultBackupFile();
    m_strDescription.clear();
    m_nFileFilterMode = kFilterAll;
    m_strFileTypes = "*";
}

bool CBackupSettings::Serialize(CArchive& ar) {
    if (!CJobSettingsBase::Serialize(ar)) return false;
    if (ar.IsStoring()) {
        ar.WriteDWord(100);
        ar.WriteString(m_strBackupFile);
        ar.WriteString(m_strDescription);
        ar.WriteInt(m_nFileFilterMode);
        ar.WriteString(m_strFileTypes);
        return m_items.Serialize(ar);
    }
    uint32_t version;
    if (!ReadBlockVersion(ar, version)) return false;
    if (version == 1) {
        if (!ar.ReadPath(m_strBackupFile) || !ar.ReadInt(m_nFileFilterMode) || !ar.ReadString(m_strFileTypes))
            return false;
        return m_items.Serialize(ar);
    }
    if (!IsOneOf(version, {2, 100, 220, 230})) return UnknownVersion(ar, "backup", version);
    if (!ar.ReadPath(m_strBackupFile) || !ar.ReadString(m_strDescription) || !ar.ReadInt(m_nFileFilterMode) ||
        !ar.ReadString(m_strFileTypes))
        return false;
    return m_items.Serialize(ar);
}

void CScheduleSettings::SetDefaults() {
    m_bScheduleEnabled = 0;
    m_bSchedulesActive = 0;
    m_strTaskName.clear();
}

bool CScheduleSettings::Serialize(CArchive& ar) {
    if (!CJobSettingsBase::Serialize(ar)) return false;
    if (ar.IsStoring()) {
        ar.WriteDWord(100);
        WriteInts(ar, {m_bScheduleEnabled, m_bSchedulesActive});
        ar.WriteString(m_strTaskName);
        return true;
    }
    uint32_t version;
    if (!ReadBlockVersion(ar, version)) return false;
    if (!IsOneOf(version, {1, 2, 3, 100, 220, 230})) return UnknownVersion(ar, "schedule", version);
    if (!ReadInts(ar, {&m_bScheduleEnabled, &m_bSchedulesActive}) || !ar.ReadString(m_strTaskName)) return false;
    if (version == 2) {
        std::string dropped;
        return ar.ReadString(dropped);
    }
    return true;
}

void CJobOptions::SetDefaults() {
    m_bUsePassword = 0;
    m_bPasswordChanged = 0;
    m_bVerify = 1;
    m_bUseVolumeName = 0;
    m_bArchiveOldVersions = 1;
    m_strPassword.clear();
    m_strVolumeName = "BACKUP";
    m_strPurgeDays = "30";
    m_nCompressionLevel = 6;
    m_nCompressionIndex = 2;
    m_nDiskSpanning = kSpanNever;
    m_nNonEmptyDiskAction = kAppendFiles;
}

int CJobOptions::IndexFromLevel(int level) {
    switch (level) {
        case 0: return 0;
        case 1: return 1;
        case 9: return 3;
        default: return 2;
    }
}

int CJobOptions::LevelFromIndex(int index) {
    switch (index) {
        case 0: return 0;
        case 1: return 1;
        case 3: return 9;
        default: return 6;
    }
}

int CJobOptions::GetPurgeDays() const {
    long days = 0;
    for (char c : m_strPurgeDays) {
        if (c < '0' || c > '9') break;
        days = days * 10 + (c - '0');
        if (days > 1000000) break;
    }
    return static_cast<int>(days);
}

bool CJobOptions::Serialize(CArchive& ar) {
    if (!CJobSettingsBase::Serialize(ar)) return false;
    if (ar.IsStoring()) {
        ar.WriteDWord(220);
        WriteInts(ar, {m_nCompressionLevel, m_nDiskSpanning, m_nNonEmptyDiskAction, m_bUsePassword,
                       m_bPasswordChanged});
        WritePasswordCubes(ar, m_strPassword);
        ar.WriteInt(m_bUseVolumeName);
        ar.WriteString(m_strVolumeName);
        ar.WriteInt(m_bArchiveOldVersions);
        ar.WriteString(m_strPurgeDays);
        ar.WriteInt(m_bVerify);
        return true;
    }
    uint32_t version;
    if (!ReadBlockVersion(ar, version)) return false;
    if (!IsOneOf(version, {1, 2, 3, 4, 5, 100, 150, 220, 230})) return UnknownVersion(ar, "options", version);
    if (!ReadInts(ar, {&m_nCompressionLevel, &m_nDiskSpanning, &m_nNonEmptyDiskAction, &m_bUsePassword}))
        return false;

    // Versions 1 to 4 keep the password in plain text, which is dropped.
    std::string password;
    bool ok = true;
    if (version <= 4) {
        std::string plain;
        ok = ar.ReadString(plain);
        if (ok && version >= 2) ok = ar.ReadInt(m_bUseVolumeName);
        ok = ok && ar.ReadString(m_strVolumeName);
        if (ok && version >= 3) ok = ar.ReadInt(m_bArchiveOldVersions);
        if (ok && version >= 4) ok = ar.ReadInt(m_bVerify);
    } else if (version == 5 || version == 100) {
        if (version == 100) ok = ar.ReadInt(m_bPasswordChanged);
        ok = ok && ReadPasswordCubes(ar, password) && ar.ReadInt(m_bUseVolumeName) &&
             ar.ReadString(m_strVolumeName) && ar.ReadInt(m_bArchiveOldVersions) && ar.ReadInt(m_bVerify);
        if (version == 100) m_strPurgeDays = "0";
    } else {
        ok = ar.ReadInt(m_bPasswordChanged) && ReadPasswordCubes(ar, password) && ar.ReadInt(m_bUseVolumeName) &&
             ar.ReadString(m_strVolumeName) && ar.ReadInt(m_bArchiveOldVersions) &&
             ar.ReadString(m_strPurgeDays) && ar.ReadInt(m_bVerify);
    }
    if (!ok) return false;
    if (version < 220) m_bPasswordChanged = 1;
    m_strPassword = password;
    m_nCompressionIndex = IndexFromLevel(m_nCompressionLevel);
    return true;
}

void CLogSettings::SetDefaults() {
    m_bCreateLog = m_bLogSummary = m_bLogAdded = m_bLogUpdated = m_bLogNotUpdated = 1;
    m_bLogExcluded = m_bLogSkipped = m_bLogRemoved = m_bLogErrors = 1;
    m_bEmailLog = 0;
    m_strEmailAddress.clear();
    m_strLogExtra.clear();
}

bool CLogSettings::Serialize(CArchive& ar) {
    if (!CJobSettingsBase::Serialize(ar)) return false;
    if (ar.IsStoring()) {
        ar.WriteDWord(100);
        WriteInts(ar, {m_bCreateLog, m_bLogSummary, m_bLogAdded, m_bLogUpdated, m_bLogNotUpdated, m_bLogExcluded,
                       m_bLogSkipped, m_bLogRemoved, m_bLogErrors, m_bEmailLog});
        ar.WriteString(m_strEmailAddress);
        ar.WriteString(m_strLogExtra);
        return true;
    }
    uint32_t version;
    if (!ReadBlockVersion(ar, version)) return false;
    bool ok;
    switch (version) {
        case 1:
            ok = ReadInts(ar, {&m_bCreateLog, &m_bLogNotUpdated, &m_bLogExcluded, &m_bLogSkipped, &m_bLogErrors,
                               &m_bEmailLog});
            break;
        case 2:
            ok = ReadInts(ar, {&m_bCreateLog, &m_bLogNotUpdated, &m_bLogExcluded, &m_bLogSkipped, &m_bLogRemoved,
                               &m_bLogErrors, &m_bEmailLog});
            break;
        case 3:
            ok = ReadInts(ar, {&m_bCreateLog, &m_bLogUpdated, &m_bLogNotUpdated, &m_bLogExcluded, &m_bLogSkipped,
                               &m_bLogRemoved, &m_bLogErrors, &m_bEmailLog});
            break;
        case 4:
            ok = ReadInts(ar, {&m_bCreateLog, &m_bLogAdded, &m_bLogUpdated, &m_bLogNotUpdated, &m_bLogExcluded,
                               &m_bLogSkipped, &m_bLogRemoved, &m_bLogErrors, &m_bEmailLog});
            break;
        case 5:
        case 6:
        case 100:
        case 220:
        case 230:
            ok = ReadInts(ar, {&m_bCreateLog, &m_bLogSummary, &m_bLogAdded, &m_bLogUpdated, &m_bLogNotUpdated,
                               &m_bLogExcluded, &m_bLogSkipped, &m_bLogRemoved, &m_bLogErrors, &m_bEmailLog});
            break;
        default: return UnknownVersion(ar, "log", version);
    }
    if (!ok || !ar.ReadString(m_strEmailAddress)) return false;
    return version <= 5 || ar.ReadString(m_strLogExtra);
}

}  // namespace jobmodel
