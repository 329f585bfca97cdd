#pragma once

#include "jobmodel/Archive.h"
#include "jobmodel/JobSettings.h"
#include "jobmodel/ScheduleHooks.h"

#include <string>

namespace jobmodel {

inline constexpr const char* kJobExtension = "vlj";
inline constexpr const char* kBackupExtension = "velarc";
inline constexpr const char* kZipExtension = "zip";

enum DocKind : int { kDocNone = 0, kDocUnrecognised = 1, kDocJob = 2, kDocBackup = 3, kDocZip = 4 };

// Which program holds the document; the two recognise files differently.
enum class DocHost { Editor, Runner };

class CAppDoc {
public:
    static constexpr uint16_t kSchema = 220;
    static constexpr int kCurrentFileVersion = 220;

    explicit CAppDoc(DocHost host) : m_host(host) {}
    virtual ~CAppDoc() = default;

    // Reads or writes the whole job file.
    bool Serialize(CArchive& ar);

    void DeleteContents();
    bool OnNewDocument();
    bool OnOpenDocument(const std::string& path);
    bool OnSaveDocument(const std::string& path);

    // The file kind a path names, by its extension.
    static int RecogniseKind(const std::string& path);

    const std::string& GetPathName() const { return m_strPathName; }
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool modified = true) { m_bModified = modified; }
    DocHost Host() const { return m_host; }
    // Why the last open or save failed, for programs that report it themselves.
    const std::string& LastError() const { return m_strLastError; }

    // The editor's link to the job's scheduled task; null asks nothing.
    void SetScheduleHooks(IScheduleHooks* hooks) { m_pScheduleHooks = hooks; }
    // Changes were discarded: a task made for a schedule switched on since
    // the load goes again.
    void OnDiscardChanges();
    // Saved under a new name: the schedule and its task are not carried over.
    void ResetSchedule();

    CBackupSettings m_BackupSettings;
    CScheduleSettings m_ScheduleSettings;
    CJobOptions m_JobOptions;
    CLogSettings m_LogSettings;
    CReservedSettings m_ReservedSettings;

    std::string m_strJobFile;
    int m_nDocKind = kDocNone;
    int m_bScheduleEnabledAtLoad = 0;
    int m_nFileVersion = kCurrentFileVersion;

private:
    bool ReadJobFile(const std::string& path);
    void CheckOpenedJob();
    void ApplySaveRules();

    DocHost m_host;
    std::string m_strPathName;
    bool m_bModified = false;
    std::string m_strLastError;
    IScheduleHooks* m_pScheduleHooks = nullptr;
};

}  // namespace jobmodel
