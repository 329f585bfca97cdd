#include "engine/BackupEngine.h"

#include "platform/FileSystem.h"
#include "platform/MessagePump.h"
#include "platform/MessageService.h"
#include "platform/Volumes.h"

#include <chrono>
#include <thread>

namespace engine {

using namespace zipcomponent;
namespace lb = logbook;

namespace {

struct FinalText {
    const char* text;
    bool clean;
    bool error;
};

FinalText ChooseFinalText(int status, const lb::CBackupLog& log) {
    switch (status) {
        case kRunCompleted:
            if (log.EntryCount(lb::kLogFileError) != 0)
                return {"Backup COMPLETED, Some FILE ERRORS Occurred !!!", false, true};
            if (log.EntryCount(lb::kLogFileWarning) != 0)
                return {"Backup COMPLETED, Some FILE WARNINGS Occurred !!!", false, false};
            return {"Backup Completed Successfully.", true, false};
        case kRunAborted:
        case kRunArchiveAborted: return {"Backup ABORTED !!!", false, true};
        case kRunFailed: return {"Backup FAILED !!!", false, true};
        case kRunArchiveFailed: return {"Backup COMPLETED, Archive file versions FAILED !", false, false};
        case kRunVerifyAborted: return {"Backup COMPLETED, Verify operation ABORTED !", false, false};
        case kRunVerifyFailed:
            return {"Backup UNSUCCESSFUL, File verification FAILED, the backup data may be CORRUPT !!", false, true};
        default: return {"ERROR: Backup Status Unknown", false, true};
    }
}

}  // namespace

int CBackupEngine::VerifyBackup() {
    if (!m_doc.m_JobOptions.m_bVerify) return kRunCompleted;
    Status("Verifying Backup file...");
    m_zip.SetOption(106, 0);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
    while (std::chrono::steady_clock::now() < until) {
        platform::PumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const int result = m_zip.TestArchive(true);
    if (result == kResultSuccess || result == kResultUnchanged) return kRunCompleted;
    if (result == kResultAborted) {
        m_log.AddEntry("User Aborted the Backup while verifying the backup file.\n", lb::kLogSystemError);
        return kRunVerifyAborted;
    }
    m_log.AddEntry("CRITICAL ERROR: The backup file verification FAILED, the file may be corrupt !!\n" +
                       CXceedZip::DescribeCode(kKindResult, result),
                   lb::kLogSystemError);
    return kRunVerifyFailed;
}

void CBackupEngine::CompleteRun(int status) {
    // 1.
    const FinalText final = ChooseFinalText(status, m_log);
    if (status == kRunAborted || status == kRunFailed || status == kRunArchiveAborted)
        for (int kind = lb::kLogFileError; kind <= lb::kLogFileRemoved; ++kind) m_log.ClearSection(kind);
    // 2.
    if (!final.clean) {
        // Only a clean backup keeps a label the run gave the disk.
        if (m_bLabelRecorded) {
            std::string now;
            const std::string& backupFile = m_doc.m_BackupSettings.m_strBackupFile;
            if (platform::GetVolumeLabel(backupFile, now) == 0 && now != m_strRecordedLabel) {
                std::string error;
                platform::SetVolumeLabel(backupFile, m_strRecordedLabel, error);
            }
        }
        m_view.RaiseErrorIndication();
    }
    // 3.
    m_log.m_nDisks = m_nDisks;
    // A backup across disks may have another disk than its last in the drive:
    // the component kept the last part's directory when it read the disks.
    if (platform::PathExists(m_zip.m_strArchivePath) || m_nDisks > 1) {
        ArchiveStatistics s;
        if (m_zip.ReadArchiveStatistics(s) > 1) {
            m_log.AddEntry("Could not retrieve backup file statistics, the backup file may be corrupt!",
                           lb::kLogSystemError);
        }
        m_log.m_nItemsInBackup = static_cast<int>(s.entries);
        m_log.m_nCompressedSize = (uint64_t{s.compressedHigh} << 32) | s.compressedLow;
        m_log.m_nUncompressedSize = (uint64_t{s.uncompressedHigh} << 32) | s.uncompressedLow;
        m_log.m_nCompressionRatio = s.ratio;
    } else {
        m_log.AddEntry("Could not retrieve backup file statistics, the backup file does not exist!",
                       lb::kLogSystemError);
    }
    // The backup is no longer written: other runs of it may go on.
    m_backupLock.Release();
    // 4.
    m_log.AddEntry(final.text, lb::kLogFooter);
    // 5.
    if (m_doc.m_LogSettings.m_bCreateLog) {
        Status("Writing Log File");
        const std::string path = lb::BackupLogPath(m_settings.GetLogFolder(), m_doc.GetPathName());
        if (path.empty()) {
            platform::Messages().Show("ERROR: Cannot save Log File!!!\n\nThere is no Filename defined in the job "
                                      "settings for the log file.\nThe job file may be corrupt ?",
                                      m_view.WindowTitle(), platform::MB_OK | platform::MB_ICONSTOP);
            m_view.RaiseErrorIndication();
            m_view.SetViewLogEnabled(false);
        } else {
            platform::CreateFolderPath(platform::FolderPart(path));
            m_view.SetViewLogEnabled(m_log.SaveLogFile(path) == 1);
        }
    }
    // 6.
    m_strFinalStatus = final.text;
    m_bClean = final.clean;
    m_view.SetStatus(final.text, final.error ? kColourRed : kColourBlue, final.error);
    m_view.RunFinished(final.clean);
    // 7.
    PlayEventSound(final.clean ? jobmodel::kSoundBackupSuccessful : jobmodel::kSoundBackupFailed);
    // 8.
    m_view.ShowBalloon(final.clean ? "Backup Finished Successfully" : "Backup Finished with Errors!",
                       DocumentTitle() + ":  " + m_doc.m_BackupSettings.m_strDescription,
                       final.clean ? kBalloonInfo : kBalloonError);
    // 9.
    if (m_settings.GetCloseBackupWindows() && (!m_settings.GetCloseIfSuccess() || final.clean)) m_view.RequestClose();
}

}  // namespace engine
