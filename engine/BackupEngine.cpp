#include "engine/BackupEngine.h"

#include "engine/FolderTree.h"
#include "engine/PartSizeLimit.h"
#include "engine/Wildcard.h"
#include "jobmodel/FileTypes.h"
#include "jobmodel/BackupIndexFile.h"
#include "platform/FileSystem.h"
#include "platform/MessagePump.h"
#include "platform/MessageService.h"
#include "platform/PathAccess.h"
#include "platform/Volumes.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <cstdio>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace engine {

using namespace zipcomponent;
using logbook::LogEntryKind;
namespace lb = logbook;

namespace {

constexpr const char* kUserAborted = "The User Aborted the backup process !!";
constexpr int kMaxRecreateAttempts = 3;

std::string Format(const char* format, const std::string& a) {
    std::vector<char> buffer(a.size() + 2048);
    std::snprintf(buffer.data(), buffer.size(), format, a.c_str());
    return buffer.data();
}

}  // namespace

CBackupEngine::CBackupEngine(jobmodel::CAppDoc& doc, const jobmodel::CSettingsRegistry& settings, IRunView& view)
    : m_doc(doc), m_settings(settings), m_view(view), m_zip(this) {
    // Every error and every warning the run records shows in the window.
    m_log.SetEntryObserver([this](int kind) {
        if (kind == lb::kLogSystemError || kind == lb::kLogFileError || kind == lb::kLogFileWarning)
            m_view.RaiseErrorIndication();
    });
}

std::string CBackupEngine::DocumentTitle() const { return platform::FileNamePart(m_doc.GetPathName()); }

void CBackupEngine::RequestAbort() {
    m_bAbortRequested = true;
    if (m_zip.GetActiveOperation() != kIdle) m_zip.m_bAbortRequest = true;
}

bool CBackupEngine::AbortPending() {
    platform::PumpMessages();
    return m_bAbortRequested;
}

bool CBackupEngine::AcquireBackupLock() {
    const auto& options = m_doc.m_JobOptions;
    const std::string& backup = m_doc.m_BackupSettings.m_strBackupFile;
    // Across disks the file under the lock changes with the disk.
    if (IsRemovableDestination() &&
        (options.m_nDiskSpanning == jobmodel::kSpanAlways || options.m_nDiskSpanning == jobmodel::kSpanEnable))
        return true;
    if (m_backupLock.Held()) return true;
    int result = m_backupLock.TryAcquire(backup);
    if (result == EWOULDBLOCK) {
        Status("Waiting for another backup to this file to finish...");
        while ((result = m_backupLock.TryAcquire(backup)) == EWOULDBLOCK) {
            if (AbortPending()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    if (result == 0) {
        const std::string tempFolder = m_strTempFolder.empty() ? platform::GetWindowsTempFolder() : m_strTempFolder;
        RemoveStaleTemporaries(backup, {m_bUseTempFile ? tempFolder : "",
                                        jobmodel::CBackupIndexFile(m_doc.GetPathName(), backup).GetFolder()});
    }
    return true;
}

int CBackupEngine::ShowRunMessage(bool suppressible, const std::string& text, unsigned style) {
    if (suppressible && m_settings.GetHideErrorMessages()) return 0;
    m_view.BringToFront();
    return platform::Messages().Show(text, m_view.WindowTitle(), style);
}

void CBackupEngine::PlayEventSound(const char* eventName) {
    if (!m_settings.GetPlaySounds()) return;
    const std::string file = jobmodel::GetSoundFile(eventName);
    if (!file.empty()) m_view.PlaySound(file);
}

void CBackupEngine::RunBackup() {
    const auto& backup = m_doc.m_BackupSettings;
    const auto& options = m_doc.m_JobOptions;
    const auto& logSettings = m_doc.m_LogSettings;

    // 1.
    m_view.ShowBalloon("Backup starting", DocumentTitle() + ":  " + backup.m_strDescription, kBalloonInfo);
    PlayEventSound(jobmodel::kSoundBackupStart);
    if (m_doc.GetPathName().empty()) return;

    // 2.
    m_log.SetSectionSwitches(logSettings.m_bCreateLog, logSettings.m_bLogSummary, logSettings.m_bLogAdded,
                             logSettings.m_bLogUpdated, logSettings.m_bLogNotUpdated, logSettings.m_bLogExcluded,
                             logSettings.m_bLogSkipped, logSettings.m_bLogRemoved, logSettings.m_bLogErrors);
    m_log.AddEntry("Starting Backup\n" + backup.m_strDescription + "\nBackup Filename : " + backup.m_strBackupFile,
                   lb::kLogTitle);

    // 3.
    Status("Preprocessing...");
    const bool spanning = options.m_nDiskSpanning == jobmodel::kSpanAlways ||
                          options.m_nDiskSpanning == jobmodel::kSpanEnable;
    m_bUseTempFile = m_settings.GetUseTempFile() && !(IsRemovableDestination() && spanning);
    m_strTempFolder = m_settings.GetUseWinTempFolder() ? "" : m_settings.GetTempFolder();
    m_bPasswordChanged = options.m_bPasswordChanged != 0;
    m_nDisks = 1;

    // 4.
    const bool recordLabel = options.m_bUseVolumeName && IsRemovableDestination();
    if (!CheckVolumeName(true, recordLabel ? &m_strRecordedLabel : nullptr)) {
        m_log.AddEntry(kUserAborted, lb::kLogSystemError);
        CompleteRun(kRunAborted);
        return;
    }

    // The backup's directory is read while the folders are, on a core the
    // walk leaves free; the archive step and the update take it from there.
    if (!(IsRemovableDestination() && spanning)) {
        m_zip.m_strArchivePath = backup.m_strBackupFile;
        m_zip.ReadDirectoryAhead();
    }

    // 5, 6.
    Status("Generating backup file list...");
    for (int i = 0; i < backup.m_items.GetCount(); ++i) {
        const auto& item = backup.m_items.GetAt(i);
        if (item.m_nState == jobmodel::kStateExcludedFolder)
            ExpandFolderTree(item.m_strPath, true, m_excludedFolders, {});
    }
    for (int i = 0; i < backup.m_items.GetCount(); ++i) {
        if (AbortPending()) {
            m_log.AddEntry(kUserAborted, lb::kLogSystemError);
            CompleteRun(kRunAborted);
            return;
        }
        const auto& item = backup.m_items.GetAt(i);
        if (!platform::PathExists(item.m_strPath)) {
            m_log.AddEntry("The source item '" + item.m_strPath + "' selected for backup does not exist.",
                           lb::kLogFileWarning);
            continue;
        }
        m_view.SetCurrentFile(item.m_strPath);
        switch (item.m_nState) {
            case jobmodel::kStateFile: m_singleFiles.push_back(item.m_strPath); break;
            case jobmodel::kStateFolderOnly: m_folders.push_back(item.m_strPath); break;
            case jobmodel::kStateFolderTree:
                ExpandFolderTree(
                    item.m_strPath, true, m_folders, m_excludedFolders,
                    [&](const std::string& path) {
                        m_view.SetCurrentFile(path);
                        return !AbortPending();
                    },
                    // The component reports it when it lists the folder.
                    [&](const std::string& path, int) { m_unlistedFolders.push_back(path); }, &m_folderListings);
                break;
            case jobmodel::kStateExcludedFile:
            case jobmodel::kStateExcludedFileAlt: m_excludedFiles.push_back(item.m_strPath); break;
            default: break;
        }
        m_view.SetCurrentFile("");
    }
    if (m_bAbortRequested) {
        m_log.AddEntry(kUserAborted, lb::kLogSystemError);
        CompleteRun(kRunAborted);
        return;
    }

    // 7.
    if (m_folders.empty() && m_singleFiles.empty()) {
        m_log.AddEntry("There were NO files selected to back up !!", lb::kLogFileWarning);
        CompleteRun(kRunCompleted);
        return;
    }

    // 8: there is no Outlook to close on Linux.

    if (!AcquireBackupLock()) {
        m_log.AddEntry(kUserAborted, lb::kLogSystemError);
        CompleteRun(kRunAborted);
        return;
    }

    // 9.
    m_zip.m_strArchivePath = backup.m_strBackupFile;
    const int archived = ArchiveOldVersions();
    if (archived == 3) {
        m_log.AddEntry(kUserAborted, lb::kLogSystemError);
        CompleteRun(kRunArchiveAborted);
        return;
    }
    m_bArchiveFailed = archived == 4;

    // 10, 11.
    m_zip.m_strArchivePath = backup.m_strBackupFile;
    m_zip.SetOption(404, 0);
    m_zip.SetFileSpecList("");
    m_zip.SetExcludeSpecList("");
    m_zip.SetOption(307, 0);
    m_zip.SetOption(306, 0);
    m_zip.m_nPackingLevel = options.m_nCompressionLevel;
    m_zip.m_nSpanningMode = options.m_nDiskSpanning;
    m_zip.m_strArchivePassword = options.m_bUsePassword ? options.m_strPassword : "";
    m_zip.SetOption(403, 1);
    m_zip.m_bUseTempArchive = m_bUseTempFile;
    m_zip.m_strTempArchiveFolder = m_strTempFolder;
    m_zip.SetOption(106, 4096);
    m_zip.SetOption(401, 10);
    const std::string tempFolder = m_strTempFolder.empty() ? platform::GetWindowsTempFolder() : m_strTempFolder;
    m_zip.m_nPartSizeLimit =
        PartSizeLimit(platform::FolderPart(backup.m_strBackupFile), m_bUseTempFile ? &tempFolder : nullptr);
    m_bSplitActive = m_zip.m_nPartSizeLimit != 0;
    m_zip.m_bSkipNotNewer = !m_bPasswordChanged;
    m_zip.m_bSkipExistingTargets = false;
    m_zip.m_bSkipMissingTargets = false;
    m_zip.SetOption(311, 0);
    m_zip.SetOption(202, 0);

    // 12.
    AddFileSpecifications();

    // 13. A removable disk that is not there must not get the folder made in
    // the bare mount point instead.
    platform::VolumeInfo volume;
    if (!(platform::GetVolumeInfo(backup.m_strBackupFile, volume) != 0 && IsRemovableDestination()))
        platform::CreateFolderPath(platform::FolderPart(backup.m_strBackupFile));
    Status("Preprocessing backup files...");
    // The archive step just looked at the files the backup holds.
    m_zip.m_pKnownFiles = &m_knownFiles;
    m_zip.m_pKnownListings = &m_folderListings;
    m_zip.SurveyFiles(false);
    m_zip.m_pKnownFiles = nullptr;
    m_zip.m_pKnownListings = nullptr;
    m_knownFiles.Clear();
    m_folderListings.Clear();
    if (m_bSplitActive && m_nSurveyBytes <= m_zip.m_nPartSizeLimit) {
        m_zip.m_nPartSizeLimit = 0;
        m_bSplitActive = false;
    }

    // A destination folder that did not exist had no lock file yet.
    if (!AcquireBackupLock()) {
        m_log.AddEntry(kUserAborted, lb::kLogSystemError);
        CompleteRun(kRunAborted);
        return;
    }

    // 14.
    const int status = WriteBackup();
    if (status != kRunCompleted) {
        CompleteRun(status);
        return;
    }

    // 15.
    WriteVolumeLabels(m_nDisks);
    WriteIndexFile();
    int verified = VerifyBackup();
    // Nothing was written, so what failed the test is the old backup itself:
    // it is replaced, as one the update cannot read is, instead of failing
    // the same way on every run.
    if (verified == kRunVerifyFailed && m_nLastWriteResult == kResultUnchanged && DeleteBackupFile()) {
        if (const int rewritten = WriteBackup(); rewritten != kRunCompleted) {
            CompleteRun(rewritten);
            return;
        }
        WriteIndexFile();
        verified = VerifyBackup();
        // The old versions the damaged backup held are lost.
        m_bArchiveFailed = true;
    }
    if (verified == kRunCompleted && m_bArchiveFailed) verified = kRunArchiveFailed;
    CompleteRun(verified);
}

void CBackupEngine::AddFileSpecifications() {
    const auto& backup = m_doc.m_BackupSettings;
    const std::vector<std::string> patterns = jobmodel::SplitFileTypes(backup.m_strFileTypes);
    const int mode = backup.m_nFileFilterMode;
    if (mode == jobmodel::kFilterExclude)
        for (const auto& p : patterns) m_zip.AddExcludeSpec(p);
    if (mode == jobmodel::kFilterAll || mode == jobmodel::kFilterExclude) {
        for (const auto& folder : m_folders)
            m_zip.AddFileSpec(folder + (folder.back() == '/' ? "*" : "/*"));
    } else if (mode == jobmodel::kFilterInclude) {
        for (const auto& folder : m_folders) {
            const int fd = platform::OpenAnyLength(folder, O_RDONLY | O_DIRECTORY);
            DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
            if (!dir) {
                const int err = errno;
                if (fd >= 0) ::close(fd);
                if (err != ENOENT) LogFileError(folder, kFailCannotList, err);
                continue;
            }
            // Links found here are stored as links, not followed.
            std::vector<std::pair<std::string, bool>> files;
            while (dirent* e = ::readdir(dir)) {
                const std::string name = e->d_name;
                if (name == "." || name == "..") continue;
                struct stat st {};
                const bool known = e->d_type != DT_UNKNOWN;
                if (!known && ::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
                if (known ? e->d_type == DT_DIR : S_ISDIR(st.st_mode)) continue;
                const bool link = known ? e->d_type == DT_LNK : S_ISLNK(st.st_mode);
                files.emplace_back((folder == "/" ? "" : folder) + "/" + name, link);
            }
            ::closedir(dir);
            std::sort(files.begin(), files.end());
            for (const auto& [path, link] : files) {
                const bool match = std::any_of(patterns.begin(), patterns.end(),
                                               [&](const std::string& p) { return MatchWildcard(p, path); });
                if (match)
                    m_zip.AddFileSpec(path, !link);
                else
                    m_log.AddEntry(path, lb::kLogFileExcluded);
            }
        }
    }
    for (const auto& file : m_singleFiles) m_zip.AddFileSpec(file);
    for (const auto& file : m_excludedFiles) m_zip.AddExcludeSpec(file);
}

bool CBackupEngine::DeleteBackupFile() {
    const std::string& path = m_doc.m_BackupSettings.m_strBackupFile;
    // The parts of a split backup go with it.
    const size_t dot = path.rfind('.');
    const std::string stem = dot == std::string::npos || dot < path.rfind('/') ? path : path.substr(0, dot);
    for (int part = 1; part < 100; ++part) {
        char suffix[8];
        std::snprintf(suffix, sizeof suffix, ".z%02d", part);
        if (!platform::PathExists(stem + suffix)) break;
        platform::DeleteToRecycleBin(stem + suffix);
    }
    return !platform::PathExists(path) || platform::DeleteToRecycleBin(path) || !platform::PathExists(path);
}

int CBackupEngine::WriteBackup() {
    const std::string path = m_zip.m_strArchivePath;
    int recreated = 0;
    for (;;) {
        m_bWarningSeen = false;
        int result;
        try {
            result = m_zip.WriteArchive();
            m_nLastWriteResult = result;
        } catch (...) {
            m_log.AddEntry("Internal Error, Zip Exception Fault", lb::kLogSystemError);
            return kRunFailed;
        }
        if (result == kResultSuccess || result == kResultUnchanged || (result == kResultWarnings && !m_bWarningSeen)) {
            if (m_bPasswordChanged) {
                m_doc.m_JobOptions.m_bPasswordChanged = 0;
                m_doc.SetModifiedFlag();
                if (m_doc.m_nDocKind == jobmodel::kDocJob) m_doc.OnSaveDocument(m_doc.GetPathName());
            }
            return kRunCompleted;
        }
        if (result == kResultWarnings || result == kResultFileErrors) return kRunCompleted;
        if (result == kResultCannotOpen || result == kResultCannotWrite) {
            const bool open = result == kResultCannotOpen;
            const std::string text =
                open ? Format("Error 503: Cannot Open or Create the backup file %s\n\nSome possible causes are:\n- The "
                              "file is open in another application.\n- The file is corrupt.\n- The network is offline "
                              "(if saving to a network location).\n- The destination drive is full or write "
                              "protected.\n\nPress Retry to try again or Cancel to abort.",
                              path)
                     : Format("Error 507: Cannot write to zip file %s. \n\nSome possible causes are:\n- The destination "
                              "drive is full and disk spanning is not enabled.\n- The destination disk is not inserted "
                              "or write protected.\n- The network is offline (if saving to a network location).\n- The "
                              "file is open in another application.\n\nPress Retry to try again or Cancel to abort.",
                              path);
            if (ShowRunMessage(true, text, platform::MB_RETRYCANCEL | platform::MB_ICONEXCLAMATION) ==
                platform::IDRETRY)
                continue;
            m_log.AddEntry(open ? "Error 503: The backup file could not be opened !!"
                                : "Error 507: Cannot write to zip file. !!",
                           lb::kLogSystemError);
            return kRunFailed;
        }
        if (result == kResultSplitNotUpdatable || result == kResultMustRecreate) {
            if (++recreated > kMaxRecreateAttempts) {
                m_log.AddEntry("Error " + std::to_string(result) + ": " + CXceedZip::DescribeCode(kKindResult, result),
                               lb::kLogSystemError);
                return kRunFailed;
            }
            while (!DeleteBackupFile()) {
                const std::string text =
                    "Cannot Delete the backup file " + path + "\n" + platform::GetSystemErrorText(errno) +
                    "\n\nDo you wish to Retry or Cancel the Backup?";
                if (ShowRunMessage(false, text, platform::MB_RETRYCANCEL | platform::MB_ICONEXCLAMATION) !=
                    platform::IDRETRY)
                    return kRunAborted;
            }
            continue;
        }
        if (result == kResultDiskAborted) {
            m_log.AddEntry("The backup process was aborted while requesting a disk!!", lb::kLogSystemError);
            return kRunAborted;
        }
        if (result == kResultAborted) {
            m_log.AddEntry(kUserAborted, lb::kLogSystemError);
            return kRunAborted;
        }
        if (result == kResultDiskNotEmpty) {
            m_log.AddEntry("The backup was aborted when a disk was inserted that was not empty !!\n   (The 'Abort if "
                           "disk not empty' option is set in the backup configuration)",
                           lb::kLogSystemError);
            ShowRunMessage(true, "Backup Aborting !!!\nDestination Disk not empty!", platform::MB_OK);
            return kRunAborted;
        }
        m_log.AddEntry("Error " + std::to_string(result) + ": " + CXceedZip::DescribeCode(kKindResult, result),
                       lb::kLogSystemError);
        return kRunFailed;
    }
}

void CBackupEngine::WriteIndexFile() {
    const std::string& backupFile = m_doc.m_BackupSettings.m_strBackupFile;
    if (!platform::PathExists(backupFile)) return;
    std::vector<std::string> list = m_folders;
    std::string previous;
    for (const auto& file : m_singleFiles) {
        const std::string folder = platform::FolderPart(file);
        if (folder != previous) list.push_back(folder);
        previous = folder;
    }
    jobmodel::CBackupIndexFile(m_doc.GetPathName(), backupFile).Save(&list);
}

void CBackupEngine::PrepareFile(PrepareFileArgs& a) {
    ++m_nPreparedFiles;
    if (m_nSurveyFiles) m_view.SetProgress(kFileBar, static_cast<int>(m_nPreparedFiles * 100 / m_nSurveyFiles));
    m_view.SetCurrentFile(a.path);
    if (m_nPreparedFiles == m_nSurveyFiles) {
        m_view.SetProgress(kFileBar, 0);
        m_view.SetCurrentFile("");
        Status("Creating Temporary File...");
    }
    const bool folder = (a.attributes & jobmodel::FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!a.skipped) {
        if (!folder) m_log.AddEntry(a.path, a.entryExists ? lb::kLogFileUpdated : lb::kLogFileAdded);
    } else {
        LogSkipped(a.path, a.skipReason);
    }
    a.basePath = "/";
}

void CBackupEngine::LogSkipped(const std::string& path, int r) {
    if (r == 0 || r == 4 || r == 5)
        m_log.AddEntry(path, lb::kLogFileNotUpdated);
    else if (r == 1 || (r >= 6 && r <= 12))
        m_log.AddEntry(path, lb::kLogFileExcluded);
    else if (r == 2 || r == 3 || (r >= 13 && r <= 15))
        m_log.AddEntry(path, lb::kLogFileSkipped);
    else
        m_log.AddEntry(path + ": " + CXceedZip::DescribeCode(kKindSkip, r), lb::kLogFileError);
}

void CBackupEngine::LogFileError(const std::string& path, int reason, int systemError) {
    char code[32];
    std::snprintf(code, sizeof code, " : Error Code %i - ", reason);
    std::string text = path + code + CXceedZip::DescribeCode(kKindSkip, reason);
    if (systemError) text += " (" + platform::GetSystemErrorText(systemError) + ")";
    m_log.AddEntry(text, lb::kLogFileError);
}

void CBackupEngine::FileFailed(const FileFailedArgs& a) {
    const std::string name = a.target.empty() ? a.name : a.target;
    const bool writing = m_zip.GetActiveOperation() == kWriting;
    // A file logged as going in that then did not: its entry is withdrawn.
    auto withdraw = [&] {
        if (writing && !m_log.RemoveEntry(name, lb::kLogFileAdded)) m_log.RemoveEntry(name, lb::kLogFileUpdated);
    };
    if (a.reason < 0 || a.reason > 15) {
        LogFileError(name, a.reason, a.systemError);
        withdraw();
    } else if (writing) {
        // Became a FIFO, socket or device after the survey: left out like one.
        withdraw();
        LogSkipped(name, a.reason);
    }
    m_view.SetCurrentFile(a.name);
    m_view.SetProgress(kFileBar, 100);
}

void CBackupEngine::WarningRaised(const std::string& file, int code) {
    if (code == 306 || code == 320) return;
    m_bWarningSeen = true;
    char text[32];
    std::snprintf(text, sizeof text, " : Warning Code %i - ", code);
    m_log.AddEntry(file + text + CXceedZip::DescribeCode(kKindWarning, code), lb::kLogFileWarning);
    m_view.SetCurrentFile(file);
}

void CBackupEngine::OperationTotals(uint32_t files, uint64_t bytes) {
    const int op = m_zip.GetActiveOperation();
    if (op == kSurveying) {
        m_nSurveyFiles = files;
        m_nSurveyBytes = bytes;
    } else if (op == kWriting) {
        m_view.SetProgress(kFileBar, 0);
        m_view.SetProgress(kWritingBar, 0);
    } else if (op == kTesting) {
        m_view.SetProgress(kFileBar, 0);
        m_view.SetProgress(kTestingBar, 0);
    }
    m_view.SetCurrentFile("");
}

void CBackupEngine::DescriptionQuery(std::string& text) { text = m_doc.m_BackupSettings.m_strDescription; }

void CBackupEngine::FileProgress(const std::string& file, int percent) {
    const int op = m_zip.GetActiveOperation();
    if (op != kWriting && op != kTesting) return;
    m_view.SetCurrentFile(file);
    m_view.SetProgress(kFileBar, percent);
}

void CBackupEngine::OverallProgress(const OverallProgressArgs& a) {
    const int op = m_zip.GetActiveOperation();
    if (op == kWriting) {
        m_view.SetProgress(kWritingBar, a.filesPercent);
        if (a.filesPercent > 99) {
            Status("Writing backup file to destination...");
            m_view.SetCurrentFile("");
        } else {
            Status("Zipping Files...");
        }
    } else if (op == kTesting) {
        m_view.SetProgress(kTestingBar, a.bytesPercent);
    }
}

}  // namespace engine
