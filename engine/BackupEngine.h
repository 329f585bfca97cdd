#pragma once

#include "engine/BackupPathLock.h"
#include "engine/RunView.h"
#include "jobmodel/AppDoc.h"
#include "jobmodel/SettingsRegistry.h"
#include "logbook/LogContent.h"
#include "zipcomponent/XceedZip.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace engine {

enum RunStatus : int {
    kRunCompleted = 0,
    kRunAborted = 1,
    kRunFailed = 2,
    kRunArchiveAborted = 3,
    kRunArchiveFailed = 4,
    kRunVerifyAborted = 5,
    kRunVerifyFailed = 6,
};

// One backup run of a loaded job: builds the file lists, has the zip
// component write the backup, archives old versions, verifies, and finishes
// with the log, sounds and balloons. Runs on the caller's thread.
class CBackupEngine : public zipcomponent::IXceedZipEvents {
public:
    CBackupEngine(jobmodel::CAppDoc& doc, const jobmodel::CSettingsRegistry& settings, IRunView& view);

    void RunBackup();
    int ShowRunMessage(bool suppressible, const std::string& text, unsigned style);
    int ArchiveOldVersions();
    int VerifyBackup();
    void CompleteRun(int status);

    // Removable media: the destination's drive type, the required volume
    // name and the disk labels.
    bool IsRemovableDestination() const;
    bool CheckVolumeName(bool interactive, std::string* labelRead);
    bool WriteVolumeLabels(int disk);
    static bool SameVolumeName(const std::string& a, const std::string& b);

    // The Abort command and a confirmed close.
    void RequestAbort();

    // The final status text of the run, empty until it ends.
    const std::string& FinalStatus() const { return m_strFinalStatus; }
    bool RunClean() const { return m_bClean; }
    logbook::CBackupLog& Log() { return m_log; }
    zipcomponent::CXceedZip& Zip() { return m_zip; }

    // The run context.
    std::vector<std::string> m_folders;
    std::vector<std::string> m_singleFiles;
    std::vector<std::string> m_excludedFolders;
    std::vector<std::string> m_excludedFiles;
    // Folders the walk could not list: what the backup holds below them is
    // left alone, not taken for deleted.
    std::vector<std::string> m_unlistedFolders;
    bool m_bUseTempFile = false;
    std::string m_strTempFolder;
    bool m_bPasswordChanged = false;
    int m_nDisks = 1;
    bool m_bSplitActive = false;
    uint32_t m_nSurveyFiles = 0;
    uint64_t m_nSurveyBytes = 0;
    bool m_bWarningSeen = false;
    bool m_bAbortRequested = false;
    // The clock archive names and purge ages are taken from.
    std::function<std::chrono::system_clock::time_point()> m_now = [] { return std::chrono::system_clock::now(); };

    // Events of the zip component.
    void PrepareFile(zipcomponent::PrepareFileArgs& args) override;
    void FileFailed(const zipcomponent::FileFailedArgs& args) override;
    void WarningRaised(const std::string& file, int code) override;
    void OperationTotals(uint32_t files, uint64_t bytes) override;
    void DescriptionQuery(std::string& text) override;
    void FileProgress(const std::string& file, int percent) override;
    void OverallProgress(const zipcomponent::OverallProgressArgs& args) override;
    void SelectFileForCopy(zipcomponent::SelectFileForCopyArgs& args) override;
    void FileRemoved(const std::string& name, const std::string& basePath) override;
    void DiskRequest(int disk, bool& goOn) override;
    void DiskNotEmpty(int& action) override;

private:
    void Status(const std::string& text) { m_view.SetStatus(text, kColourPlain, false); }
    // Logs a file the component skipped, by the group of its reason.
    void LogSkipped(const std::string& path, int reason);
    // A file error (kind 3) in the component's form, with the system's reason.
    void LogFileError(const std::string& path, int reason, int systemError);
    bool AbortPending();
    // Waits for other runs writing the same backup file; false when the
    // user aborted meanwhile.
    bool AcquireBackupLock();
    void SortSelection();
    void AddFileSpecifications();
    int WriteBackup();
    bool DeleteBackupFile();
    void WriteIndexFile();
    void PlayEventSound(const char* eventName);
    std::string DocumentTitle() const;

    jobmodel::CAppDoc& m_doc;
    const jobmodel::CSettingsRegistry& m_settings;
    IRunView& m_view;
    zipcomponent::CXceedZip m_zip;
    CBackupPathLock m_backupLock;
    platform::FileStatusCache m_knownFiles;  // filled by the archive step, read by the survey
    platform::FolderListingCache m_folderListings;  // filled by the walk, read by the survey
    logbook::CBackupLog m_log;

    uint32_t m_nPreparedFiles = 0;
    int m_nLastWriteResult = 0;
    bool m_bArchiveFailed = false;
    std::vector<std::string> m_archiveList;
    std::vector<std::string> m_archivedFolders;
    std::string m_strFinalStatus;
    bool m_bClean = false;
    std::string m_strRecordedLabel;
    bool m_bDiskNotEmpty = false;
    bool m_bLabelRecorded = false;
};

}  // namespace engine
