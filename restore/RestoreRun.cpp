#include "restore/RestorePage.h"

#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "platform/Volumes.h"

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace restore {

namespace lb = logbook;
namespace zc = zipcomponent;

namespace {

constexpr const char* kUserAborted = "User Aborted the Restore Process:\nSome files listed were NOT Restored.";

std::string WithoutDriveRoot(const std::string& spec) {
    size_t start = 0;
    while (start < spec.size() && spec[start] == '/') ++start;
    return spec.substr(start);
}

}  // namespace

void CRestorePage::AddLog(const std::string& text, int kind) {
    m_log.AddEntry(text, kind);
    if (m_onLogEntry) m_onLogEntry(text, kind);
}

std::string CRestorePage::Refuse(const std::string& text, int kind) {
    AddLog(text, kind);
    return text;
}

bool CRestorePage::ArchiveOnRemovableMedia() const {
    platform::VolumeInfo volume;
    platform::GetVolumeInfo(m_zip.m_strArchivePath, volume);
    return volume.type == platform::DriveType::Removable || volume.type == platform::DriveType::CdRom;
}

std::string CRestorePage::PrepareExtraction(bool makeDestination) {
    std::string destination;
    if (m_nDestMode == kAlternateFolder || m_nDestMode == kSpecificFolder) {
        if (m_strDestination.empty() || m_strDestination[0] != '/')
            return Refuse("The restore destination path is invalid.", lb::kLogSystemError);
        if (int err = makeDestination ? platform::CreateFolderPath(m_strDestination) : 0)
            return Refuse(platform::GetSystemErrorText(err), lb::kLogSystemError);
        destination = m_strDestination;
    } else if (m_nDestMode == kOriginalFolders) {
        // One drive: every entry of a backup with drive roots lies below "/".
        destination = "/";
    } else {
        return Refuse("An Internal Error occured !!", lb::kLogSystemError);
    }
    if (m_tree.ExplicitNodes().empty()) return Refuse("There are no files selected to restore !!", lb::kLogFileWarning);

    std::vector<std::string> includes, excludes;
    // Collecting fills folders not opened yet, which may add marked nodes.
    const std::vector<selection::SelectionNode*> marked = m_tree.ExplicitNodes();
    for (selection::SelectionNode* node : marked) m_tree.CollectSpecs(*node, includes, excludes);

    m_zip.SetFileSpecList("");
    m_zip.SetExcludeSpecList("");
    // An empty specification stands for the whole backup: no list at all.
    if (std::find(includes.begin(), includes.end(), "") == includes.end())
        for (const auto& spec : includes) m_zip.AddFileSpec(WithoutDriveRoot(spec));
    for (const auto& spec : excludes) m_zip.AddExcludeSpec(WithoutDriveRoot(spec));
    m_zip.m_strExtractFolder = destination;
    m_zip.SetOption(307, 0);
    m_zip.SetOption(306, 0);
    m_zip.m_bKeepEntryPaths = m_nDestMode != kSpecificFolder;
    m_zip.SetOption(401, 10);
    m_zip.m_bSkipExistingTargets = m_nOverwriteMode == kOnlyMissing;
    m_zip.m_bSkipMissingTargets = m_nOverwriteMode == kOnlyExisting;
    m_zip.m_bSkipNotNewer = m_nOverwriteMode == kOnlyNewer;
    m_zip.SetOption(311, 0);
    m_zip.m_bRestoreOwners = m_nDestMode == kOriginalFolders && ::geteuid() == 0;
    m_zip.m_bAbortRequest = false;
    return "";
}

RestorePreview CRestorePage::PreviewRestore() {
    RestorePreview preview;
    preview.refusal = PrepareExtraction(false);
    if (!preview.refusal.empty()) return preview;
    m_preview = &preview;
    preview.code = m_zip.ExtractFiles();
    m_preview = nullptr;
    return preview;
}

std::string CRestorePage::RunRestore() {
    if (std::string refusal = PrepareExtraction(true); !refusal.empty()) return refusal;
    m_log.ClearAll(true);
    AddLog("Starting Restore\nFrom Backup File : " + m_zip.m_strArchivePath, lb::kLogTitle);

    const int code = m_zip.ExtractFiles();
    std::string result;
    switch (code) {
        case zc::kResultSuccess:
        case zc::kResultUnchanged:
        case zc::kResultFileErrors:
            result = m_log.m_nFileErrors ? "Some File Errors ocurred!"
                     : m_log.m_nFileWarnings ? "Some File Warnings ocurred!"
                                             : "Restore Successful";
            break;
        case zc::kResultNothingToDo:
            platform::Tell("There are no files to Restore !!!", platform::MB_ICONINFORMATION);
            result = "Restore Successful";
            break;
        // A part on a fixed disk is never asked for: it is missing.
        case zc::kResultMissingPart:
        case zc::kResultDiskAborted:
            if (ArchiveOnRemovableMedia()) {
                result = "Restore Aborted !";
            } else {
                result = "Restore Failed, the backup file may be corrupt!";
                AddLog("Backup File may be corrupt", lb::kLogSystemError);
            }
            AddLog(kUserAborted, lb::kLogSystemError);
            break;
        case zc::kResultAborted:
            result = "Restore Aborted !";
            AddLog(kUserAborted, lb::kLogSystemError);
            break;
        case zc::kResultWarnings: result = "Restore succeeded with some warnings!"; break;
        default: {
            const std::string error = "Error " + std::to_string(code) + ": " + zc::CXceedZip::DescribeCode(0, code);
            result = "Restore Failed !";
            AddLog(error, lb::kLogSystemError);
            platform::Tell("Error " + std::to_string(code) + ":\n\n" + zc::CXceedZip::DescribeCode(0, code),
                           platform::MB_ICONSTOP);
        }
    }
    AddLog(result, lb::kLogFooter);
    m_log.SaveLogFile(RestoreLogPath());
    return result;
}

void CRestorePage::PrepareExtract(zc::PrepareExtractArgs& args) {
    const bool folder = (args.attributes & selection::kFolderAttribute) != 0;
    const std::string& target = args.targetPath;
    if (m_preview) {
        if (!folder) CountForPreview(args);
        args.skipped = true;
        args.skipReason = zc::kSkipByHandler;
        return;
    }
    bool exists = args.targetExists;
    if (folder) exists = platform::IsFolder(target);
    if (!args.skipped) {
        if (folder) {
            if (!exists) AddLog(target, lb::kLogFileAdded);
        } else {
            AddLog(target, exists ? lb::kLogFileUpdated : lb::kLogFileAdded);
        }
        return;
    }
    const int r = args.skipReason;
    if (r > 15 || r < 0) {
        AddLog(target + ": " + zc::CXceedZip::DescribeCode(2, r), lb::kLogFileError);
        return;
    }
    if (folder) return;
    if (r == 0 || r == 4 || r == 5)
        AddLog(target, lb::kLogFileNotUpdated);
    else if (r == 2 || r == 3 || r >= 13)
        AddLog(target, lb::kLogFileSkipped);
    else
        AddLog(target, lb::kLogFileExcluded);
}

void CRestorePage::CountForPreview(const zc::PrepareExtractArgs& args) {
    RestorePreview& p = *m_preview;
    if (args.skipped) {
        ++(args.skipReason > 15 ? p.refused : p.skip);
        return;
    }
    if (p.example.empty()) p.example = args.targetPath;
    if (!args.targetExists) {
        ++p.add;
        return;
    }
    ++p.overwrite;
    struct stat st {};
    if (::lstat(args.targetPath.c_str(), &st) == 0 && st.st_mtime > args.modified) ++p.newerOnDisk;
}

namespace {

std::string Files(int n) { return std::to_string(n) + (n == 1 ? " file" : " files"); }

}  // namespace

std::string PreviewText(const RestorePreview& p) {
    if (!p.refusal.empty()) return p.refusal;
    std::string text = "This restore will add " + Files(p.add) + ", overwrite " + Files(p.overwrite) + " (" +
                       std::to_string(p.newerOnDisk) + " of them newer on disk than in the backup) and skip " +
                       Files(p.skip) + ".";
    if (p.refused) text += "\n" + Files(p.refused) + " cannot be restored and will be listed as errors.";
    if (!p.example.empty()) text += "\n\nFor example: " + p.example;
    return text;
}

void CRestorePage::FileFailed(const zc::FileFailedArgs& args) {
    if (m_preview) {
        ++m_preview->refused;
        return;
    }
    if (args.reason >= 0 && args.reason <= 15) return;
    std::string text = args.target + "   (Error Code " + std::to_string(args.reason) + " - " +
                       zc::CXceedZip::DescribeCode(2, args.reason) + ")";
    if (args.systemError) text += " (" + platform::GetSystemErrorText(args.systemError) + ")";
    AddLog(text, lb::kLogFileError);
    if (!m_log.RemoveEntry(args.target, lb::kLogFileAdded)) m_log.RemoveEntry(args.target, lb::kLogFileUpdated);
}

void CRestorePage::WarningRaised(const std::string& file, int code) {
    if (m_preview) return;
    AddLog(file + "   (Warning Code " + std::to_string(code) + " - " + zc::CXceedZip::DescribeCode(1, code) + ")",
           lb::kLogFileWarning);
}

void CRestorePage::OverallProgress(const zc::OverallProgressArgs& args) {
    ShowStatusProgress("Restoring Files", args.filesPercent);
}

void CRestorePage::OperationTotals(uint32_t, uint64_t) { ClearStatusProgress(); }

void CRestorePage::DiskRequest(int disk, bool& goOn) {
    if (!ArchiveOnRemovableMedia()) {
        goOn = false;
        return;
    }
    const std::string ask = disk == 0 ? "Please Insert the LAST disk." : "Please Insert Disk No. " + std::to_string(disk);
    goOn =
        platform::Tell(ask + "\n\nPress OK to continue or Cancel to abort!", platform::MB_OKCANCEL) == platform::IDOK;
}

}  // namespace restore
