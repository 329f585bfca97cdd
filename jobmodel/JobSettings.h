#pragma once

#include "jobmodel/Archive.h"
#include "jobmodel/BackupItem.h"

#include <string>

namespace jobmodel {

class CJobSettingsBase {
public:
    virtual ~CJobSettingsBase() = default;
    // Every block calls this first: it writes or checks the base tag.
    virtual bool Serialize(CArchive& ar) = 0;
    virtual void Reset() { SetDefaults(); }
    virtual void SetDefaults() = 0;
};

inline bool CJobSettingsBase::Serialize(CArchive& ar) {
    constexpr uint32_t kBaseTag = 100;
    if (ar.IsStoring()) {
        ar.WriteDWord(kBaseTag);
        return true;
    }
    uint32_t tag;
    if (!ar.ReadDWord(tag)) return false;
    if (tag != 1 && tag != kBaseTag) return ar.Fail("a settings block has the unknown base tag " + std::to_string(tag));
    return true;
}

enum FileFilterMode : int { kFilterAll = 0, kFilterInclude = 1, kFilterExclude = 2 };

class CBackupSettings : public CJobSettingsBase {
public:
    CBackupSettings() { SetDefaults(); }
    bool Serialize(CArchive& ar) override;
    void SetDefaults() override;

    CBackupItemArray m_items;
    std::string m_strBackupFile;
    std::string m_strDescription;
    int m_nFileFilterMode = kFilterAll;
    std::string m_strFileTypes;
};

class CScheduleSettings : public CJobSettingsBase {
public:
    CScheduleSettings() { SetDefaults(); }
    bool Serialize(CArchive& ar) override;
    void SetDefaults() override;

    int m_bScheduleEnabled = 0;
    int m_bSchedulesActive = 0;
    std::string m_strTaskName;
};

enum DiskSpanning : int { kSpanNever = 0, kSpanAlways = 1, kSpanEnable = 2 };
enum NonEmptyDiskAction : int { kEraseFiles = 0, kAppendFiles = 1, kAskForDisk = 2, kAbortBackup = 3 };

class CJobOptions : public CJobSettingsBase {
public:
    CJobOptions() { SetDefaults(); }
    bool Serialize(CArchive& ar) override;
    void SetDefaults() override;

    static int IndexFromLevel(int level);
    static int LevelFromIndex(int index);
    // Leading decimal digits of m_strPurgeDays; 0 without any.
    int GetPurgeDays() const;

    int m_bUsePassword = 0;
    int m_bPasswordChanged = 0;
    int m_bVerify = 1;
    int m_bUseVolumeName = 0;
    int m_bArchiveOldVersions = 1;
    std::string m_strPassword;
    std::string m_strVolumeName;
    std::string m_strPurgeDays;
    int m_nCompressionLevel = 6;
    int m_nCompressionIndex = 2;
    int m_nDiskSpanning = kSpanNever;
    int m_nNonEmptyDiskAction = kAppendFiles;
};

class CLogSettings : public CJobSettingsBase {
public:
    CLogSettings() { SetDefaults(); }
    bool Serialize(CArchive& ar) override;
    void SetDefaults() override;

    int m_bCreateLog = 1;
    int m_bLogSummary = 1;
    int m_bLogAdded = 1;
    int m_bLogUpdated = 1;
    int m_bLogNotUpdated = 1;
    int m_bLogExcluded = 1;
    int m_bLogSkipped = 1;
    int m_bLogRemoved = 1;
    int m_bLogErrors = 1;
    int m_bEmailLog = 0;
    std::string m_strEmailAddress;
    std::string m_strLogExtra;
};

class CReservedSettings : public CJobSettingsBase {
public:
    bool Serialize(CArchive& ar) override { return CJobSettingsBase::Serialize(ar); }
    void SetDefaults() override {}
};

// The default backup file of a new job: "My Backups" in the documents
// folder, or the home folder itself when there is no documents folder.
std::string DefaultBackupFile();

}  // namespace jobmodel
