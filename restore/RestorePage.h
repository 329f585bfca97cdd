#pragma once

#include "jobmodel/AppDoc.h"
#include "jobmodel/SettingsRegistry.h"
#include "logbook/LogContent.h"
#include "restore/BackupFiles.h"
#include "restore/RestoreTree.h"
#include "zipcomponent/XceedZip.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace restore {

enum DestMode : int { kOriginalFolders = 0, kAlternateFolder = 1, kSpecificFolder = 2 };
enum OverwriteMode : int { kRestoreAll = 0, kOnlyExisting = 1, kOnlyMissing = 2, kOnlyNewer = 3 };

// What a restore would do, found without writing anything: files it would
// add, files it would overwrite (and how many of those are newer on disk
// than in the backup), files its rule skips, and names it would refuse.
struct RestorePreview {
    int add = 0, overwrite = 0, newerOnDisk = 0, skip = 0, refused = 0;
    std::string example;  // the target of the first file written
    std::string refusal;  // why the restore cannot start, "" when it can
    int code = 0;         // the extraction's result
};
std::string PreviewText(const RestorePreview& preview);

// Where long work shows its progress: the editor's status bar, or a
// terminal.
class IStatusProgress {
public:
    virtual ~IStatusProgress() = default;
    virtual void ShowStatusProgress(const std::string& text, int percent) = 0;
    virtual void ClearStatusProgress() = 0;
};

// Everything the Restore tab decides, headless: the backup-file list, the
// contents tree, the restore run and its log. The tab and vellora-restore
// both drive it.
class CRestorePage : private IRestoreTreeHost, private zipcomponent::IXceedZipEvents {
public:
    CRestorePage(const jobmodel::CAppDoc& doc, jobmodel::CSettingsRegistry settings, IStatusProgress* progress = nullptr);

    // The backup and its archive zips, keeping the line chosen before, then
    // the contents of the chosen one.
    void RefreshBackupList();
    const std::vector<BackupFileEntry>& BackupList() const { return m_backupFiles; }
    int Selected() const { return m_nSelected; }
    // Chooses a line of the list and loads its contents.
    void SelectBackup(int line);
    // Reads the list and loads the line of `zipPath` alone; false when the
    // list holds no such file.
    bool SelectBackupPath(const std::string& zipPath);
    // The selected line's path, "" when none.
    std::string SelectedPath() const;
    // Reads the selected backup into the tree; false when it could not.
    bool LoadBackupContents();
    CRestoreTree& Tree() { return m_tree; }

    // The Restore button's checks before the run: false after its message.
    // `badDestination` tells the tab to put the focus in the folder box.
    bool CheckRestoreInput(bool& badDestination);
    // Restores what the tree marks; the result text.
    std::string RunRestore();
    // What RunRestore would do now; writes nothing.
    RestorePreview PreviewRestore();
    void RequestAbort() { m_zip.m_bAbortRequest = true; }
    std::string RestoreLogPath() const;
    // A file the last restore wrote was moved: its log says where to.
    void RenameLogged(const std::string& from, const std::string& to);

    // Names in the selected backup matching a pattern (wildcards, letter
    // case ignored; without wildcards, names that contain it), as tree
    // paths; at most `limit` of them, with the count of all.
    struct SearchHit {
        std::string path;
        bool folder;
    };
    std::vector<SearchHit> Search(const std::string& pattern, size_t limit, size_t& total);
    const logbook::CRestoreLog& Log() const { return m_log; }

    bool m_bHasDriveRoots = false;
    bool m_bIncludeSubfolders = true;
    int m_nDestMode = kOriginalFolders;
    std::string m_strDestination;
    int m_nOverwriteMode = kRestoreAll;
    // The password for a protected backup; none when the user cancels.
    std::function<std::optional<std::string>()> m_askPassword;
    // Told of every entry the run logs, as it happens.
    std::function<void(const std::string& text, int kind)> m_onLogEntry;
    zipcomponent::CXceedZip m_zip;

private:
    std::optional<zipcomponent::ZipContents> ListEntries(const std::string& spec, const std::string& exclusions,
                                                         int option306, int option307, bool option202,
                                                         bool showErrors) override;
    std::vector<std::string> IndexPaths() override;
    bool ListTopLevelFirst() override;
    void ShowStatusProgress(const std::string& text, int percent) override;
    void ClearStatusProgress() override;
    bool ConfirmOverwrite() override;

    void PrepareExtract(zipcomponent::PrepareExtractArgs& args) override;
    void CountForPreview(const zipcomponent::PrepareExtractArgs& args);
    void FileFailed(const zipcomponent::FileFailedArgs& args) override;
    void WarningRaised(const std::string& file, int code) override;
    void OverallProgress(const zipcomponent::OverallProgressArgs& args) override;
    void OperationTotals(uint32_t files, uint64_t bytes) override;
    void ListingProgress(int percent) override;
    void DiskRequest(int disk, bool& goOn) override;
    void PasswordRequest(const std::string& file, std::string& password, bool& retry) override;

    void AddLog(const std::string& text, int kind);
    // Checks the destination and the marks and sets the component up for
    // the extraction; the refusal text, or "" to go on.
    std::string PrepareExtraction(bool makeDestination);
    // A run that stops before the extraction: the text, logged as `kind`.
    std::string Refuse(const std::string& text, int kind);
    bool ArchiveOnRemovableMedia() const;

    const jobmodel::CAppDoc& m_doc;
    jobmodel::CSettingsRegistry m_settings;
    IStatusProgress* m_progress;
    std::vector<BackupFileEntry> m_backupFiles;
    int m_nSelected = -1;
    CRestoreTree m_tree;
    logbook::CRestoreLog m_log;
    RestorePreview* m_preview = nullptr;  // set while a preview runs
};

}  // namespace restore
