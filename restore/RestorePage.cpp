#include "restore/RestorePage.h"

#include "jobmodel/BackupIndexFile.h"
#include "jobmodel/BackupItem.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "zipcomponent/CentralDirectory.h"
#include "zipcomponent/EntryPatterns.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

namespace restore {

namespace {

constexpr uint64_t kWholeTreeEntries = 20000;

}  // namespace

CRestorePage::CRestorePage(const jobmodel::CAppDoc& doc, jobmodel::CSettingsRegistry settings,
                           IStatusProgress* progress)
    : m_zip(this), m_doc(doc), m_settings(settings), m_progress(progress), m_tree(*this) {
    m_zip.m_bUseTempArchive = false;
    m_zip.SetOption(404, 0);
}

std::string CRestorePage::SelectedPath() const {
    if (m_nSelected < 0 || m_nSelected >= static_cast<int>(m_backupFiles.size())) return "";
    return m_backupFiles[static_cast<size_t>(m_nSelected)].path;
}

void CRestorePage::RefreshBackupList() {
    m_bHasDriveRoots = false;
    const std::string before =
        m_nSelected >= 0 && m_nSelected < static_cast<int>(m_backupFiles.size())
            ? m_backupFiles[static_cast<size_t>(m_nSelected)].text
            : std::string();
    m_backupFiles = ListBackupFiles(m_doc.m_BackupSettings.m_strBackupFile);
    m_nSelected = m_backupFiles.empty() ? -1 : 0;
    if (!before.empty())
        for (size_t i = 0; i < m_backupFiles.size(); ++i)
            if (m_backupFiles[i].text.compare(0, before.size(), before) == 0) {
                m_nSelected = static_cast<int>(i);
                break;
            }
    LoadBackupContents();
}

void CRestorePage::SelectBackup(int line) {
    m_nSelected = line >= 0 && line < static_cast<int>(m_backupFiles.size()) ? line : -1;
    LoadBackupContents();
}

bool CRestorePage::SelectBackupPath(const std::string& zipPath) {
    m_backupFiles = ListBackupFiles(m_doc.m_BackupSettings.m_strBackupFile);
    m_nSelected = -1;
    for (size_t i = 0; i < m_backupFiles.size(); ++i)
        if (m_backupFiles[i].path == zipPath) m_nSelected = static_cast<int>(i);
    if (m_nSelected < 0) return false;
    return LoadBackupContents();
}

bool CRestorePage::LoadBackupContents() {
    m_bHasDriveRoots = false;
    m_zip.m_strArchivePath = SelectedPath();
    bool loaded = false;
    if (m_tree.InitRoot(m_zip.m_strArchivePath)) {
        selection::SelectionNode& root = *m_tree.Root();
        if (!platform::PathExists(m_zip.m_strArchivePath)) {
            platform::Tell("Error: Backup file does not exist\n" + m_zip.m_strArchivePath, platform::MB_ICONSTOP);
        } else {
            m_tree.ExpandNode(root);
            if (root.children.empty()) {
                platform::Tell(
                    "Warning: Cannot read backup contents !!\n\nEither there are no files stored in the backup,\nthe "
                    "backup file is currently locked (in use), or\nthe backup file is corrupt.\n",
                    platform::MB_ICONEXCLAMATION);
            } else {
                m_bHasDriveRoots = m_tree.IsDriveRoot(*root.children.front());
                root.state = selection::kNotSelected;
                loaded = true;
            }
        }
        if (!loaded) root.state = selection::kNotSelectable;
    }
    m_nDestMode = m_bHasDriveRoots ? kOriginalFolders : kAlternateFolder;
    return loaded;
}

std::optional<zipcomponent::ZipContents> CRestorePage::ListEntries(const std::string& spec,
                                                                   const std::string& exclusions, int option306,
                                                                   int option307, bool option202, bool showErrors) {
    m_zip.SetFileSpecList(spec);
    m_zip.SetExcludeSpecList(exclusions);
    m_zip.SetOption(306, option306);
    m_zip.SetOption(307, option307);
    m_zip.m_bKeepEntryPaths = true;
    m_zip.SetOption(202, option202 ? 1 : 0);
    m_zip.m_bAbortRequest = false;
    zipcomponent::ZipContents contents;
    const int result = m_zip.ListContents(contents, 0);
    if (result < 2) return contents;
    if (showErrors)
        platform::Tell("Error " + std::to_string(result) + ":\n\n" + zipcomponent::CXceedZip::DescribeCode(0, result),
                       platform::MB_ICONSTOP);
    return std::nullopt;
}

std::vector<std::string> CRestorePage::IndexPaths() {
    if (!m_settings.GetUseIndexFiles() || m_doc.m_nDocKind != jobmodel::kDocJob) return {};
    jobmodel::CBackupIndexFile index(m_doc.GetPathName(), SelectedPath());
    if (!index.Load()) return {};
    return index.m_list;
}

bool CRestorePage::ListTopLevelFirst() {
    // A big backup is read folder by folder whatever opened it: its whole
    // tree would take seconds and hundreds of megabytes.
    uint64_t entries = 0;
    if (zipcomponent::ReadEntryCount(m_zip.m_strArchivePath, entries) && entries > kWholeTreeEntries) return true;
    const auto& items = m_doc.m_BackupSettings.m_items;
    if (m_doc.m_nDocKind != jobmodel::kDocJob || items.GetCount() == 0) return false;
    for (int i = 0; i < items.GetCount(); ++i)
        if (items.GetAt(i).m_nState == selection::kFileSelected) return false;
    return true;
}

void CRestorePage::ShowStatusProgress(const std::string& text, int percent) {
    if (m_progress) m_progress->ShowStatusProgress(text, percent);
}

void CRestorePage::ClearStatusProgress() {
    if (m_progress) m_progress->ClearStatusProgress();
}

bool CRestorePage::ConfirmOverwrite() {
    return platform::Tell(
               "You have chosen to select all subfolders/files\nHowever, there are already some subfolders/files "
               "selected.\nThese will be overwritten if you continue\n\nDo you wish to continue ?",
               platform::MB_YESNO | platform::MB_ICONQUESTION) == platform::IDYES;
}

void CRestorePage::ListingProgress(int percent) { ShowStatusProgress("Reading Backup Contents", percent); }

void CRestorePage::PasswordRequest(const std::string&, std::string& password, bool& retry) {
    std::optional<std::string> typed = m_askPassword ? m_askPassword() : std::nullopt;
    retry = typed.has_value();
    if (typed) {
        password = *typed;
        m_zip.m_strArchivePassword = *typed;
    } else {
        m_zip.m_bAbortRequest = true;
    }
}

bool CRestorePage::CheckRestoreInput(bool& badDestination) {
    badDestination = false;
    m_tree.m_bIncludeSubfolders = m_bIncludeSubfolders;
    if (m_tree.ExplicitNodes().empty()) {
        platform::Tell("There are no files selected to restore !!", platform::MB_ICONEXCLAMATION);
        return false;
    }
    if (m_nDestMode == kAlternateFolder || m_nDestMode == kSpecificFolder) {
        if (m_strDestination.empty() || m_strDestination[0] != '/') {
            platform::Tell("The restore destination path is invalid.", platform::MB_ICONEXCLAMATION);
            badDestination = true;
            return false;
        }
    } else if (m_nDestMode != kOriginalFolders) {
        platform::Tell("An Internal Error occurred while trying to restore !!", platform::MB_ICONSTOP);
        return false;
    }
    return true;
}

std::string CRestorePage::RestoreLogPath() const { return logbook::RestoreLogPath(m_settings.GetLogFolder()); }

void CRestorePage::RenameLogged(const std::string& from, const std::string& to) {
    for (const int kind : {logbook::kLogFileAdded, logbook::kLogFileUpdated})
        if (m_log.RemoveEntry(from, kind)) m_log.AddEntry(to, kind);
    m_log.SaveLogFile(RestoreLogPath());
}

std::vector<CRestorePage::SearchHit> CRestorePage::Search(const std::string& pattern, size_t limit, size_t& total) {
    total = 0;
    std::vector<SearchHit> hits;
    std::shared_ptr<const zipcomponent::DirectoryIndex> index;
    m_zip.m_strArchivePath = SelectedPath();
    if (pattern.empty() || m_zip.ReadDirectoryIndex(index) != zipcomponent::kResultSuccess) return hits;
    std::string wanted = pattern;
    if (!zipcomponent::HasWildcards(wanted)) wanted = "*" + wanted + "*";
    for (char& c : wanted) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string lowered;
    // A name's last element, without a folder's "/", in lower case.
    auto matches = [&](std::string_view name) {
        if (name.size() > 1 && name.back() == '/') name.remove_suffix(1);
        const size_t slash = name.rfind('/');
        if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
        lowered.assign(name);
        for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return zipcomponent::MatchPathPattern(wanted, lowered);
    };
    auto hit = [&](const std::string& basePath, std::string_view name, bool folder) {
        if (++total > limit) return;
        std::string path = TreePath(basePath, std::string(name));
        if (path.size() > 1 && path.back() == '/') path.pop_back();
        hits.push_back({path, folder});
    };
    const auto& entries = index->Directory().entries;
    std::unordered_set<std::string_view> storedFolders;
    for (const auto& e : entries) {
        const bool folder = !e.name.empty() && e.name.back() == '/';
        if (folder) storedFolders.insert(e.name);
        if (matches(e.name)) hit(e.basePath, e.name, folder);
    }
    // Folders that only the files below them name.
    const std::string base = m_bHasDriveRoots ? "/" : "";
    for (const std::string_view folder : index->FolderNames())
        if (!folder.empty() && !storedFolders.count(folder) && matches(folder)) hit(base, folder, true);
    std::sort(hits.begin(), hits.end(), [](const SearchHit& a, const SearchHit& b) { return a.path < b.path; });
    return hits;
}

}  // namespace restore
