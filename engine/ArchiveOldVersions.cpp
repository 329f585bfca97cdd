#include "engine/BackupEngine.h"

#include "engine/Wildcard.h"
#include "jobmodel/FileTypes.h"
#include "jobmodel/BackupIndexFile.h"
#include "jobmodel/NameValidation.h"
#include "platform/FileSystem.h"
#include "platform/PathAccess.h"
#include "zipcomponent/StoredTime.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>
#include <string_view>
#include <unordered_set>

namespace engine {

using namespace zipcomponent;
namespace lb = logbook;

namespace {

// A run's path list as a set, for the lookups of every entry.
class PathSet {
public:
    explicit PathSet(const std::vector<std::string>& paths) {
        for (const auto& p : paths) m_paths.emplace(Key(p));
    }
    bool Contains(std::string_view path) const {
        return !m_paths.empty() && m_paths.find(Key(path)) != m_paths.end();
    }

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    // The spelling SamePath treats as equal: no trailing separator.
    static std::string_view Key(std::string_view p) {
        if (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
        return p;
    }
    std::unordered_set<std::string, Hash, std::equal_to<>> m_paths;
};

// Day first when the user's date format puts the day before the month.
bool DayFirst() {
    locale_t userLocale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (!userLocale) return false;
    const std::string format = nl_langinfo_l(D_FMT, userLocale);
    freelocale(userLocale);
    const size_t day = format.find_first_of("de");
    const size_t month = format.find_first_of("mbB");
    return day != std::string::npos && month != std::string::npos && day < month;
}

std::string ArchiveDateText(std::chrono::system_clock::time_point when) {
    const std::time_t now = std::chrono::system_clock::to_time_t(when);
    std::tm local {};
    localtime_r(&now, &local);
    locale_t userLocale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (!userLocale) userLocale = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
    char text[128] = "";
    strftime_l(text, sizeof text, DayFirst() ? "%d %b %Y %H'%M" : "%b %d %Y %H'%M", &local, userLocale);
    freelocale(userLocale);
    return jobmodel::MakeValidFileName('_', text);
}

struct BackupName {
    std::string stem;       // path without its extension
    std::string extension;  // with its dot, or empty
};

// An entry's path on disk: its base path followed by its stored name.
void AssignSourcePath(std::string& path, const std::string& basePath, const std::string& name) {
    path.assign(basePath);
    if (basePath.empty() || basePath.back() != '/') path += '/';
    path += name;
}

std::string SourcePath(const std::string& basePath, const std::string& name) {
    std::string path;
    AssignSourcePath(path, basePath, name);
    return path;
}

BackupName SplitExtension(const std::string& path) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {path, ""};
    return {path.substr(0, dot), path.substr(dot)};
}

}  // namespace

int CBackupEngine::ArchiveOldVersions() {
    const auto& backup = m_doc.m_BackupSettings;
    const auto& options = m_doc.m_JobOptions;
    const bool spanning = options.m_nDiskSpanning == jobmodel::kSpanAlways ||
                          options.m_nDiskSpanning == jobmodel::kSpanEnable;
    // 1.
    if (!options.m_bArchiveOldVersions || (IsRemovableDestination() && spanning)) return 0;
    // 2.
    m_archiveList.clear();
    m_archivedFolders.clear();
    m_knownFiles.Clear();
    m_zip.SetFileSpecList("");
    m_zip.SetOption(307, 0);
    m_zip.SetOption(306, 0);
    m_zip.m_bSkipExistingTargets = m_zip.m_bSkipMissingTargets = m_zip.m_bSkipNotNewer = false;
    m_zip.SetOption(311, 0);
    m_zip.m_bUseTempArchive = m_bUseTempFile;
    m_zip.m_strTempArchiveFolder = m_strTempFolder;
    // 3.
    if (!platform::PathExists(backup.m_strBackupFile)) return 0;
    auto failed = [&](const std::string& text, int result) {
        m_log.AddEntry(text + CXceedZip::DescribeCode(kKindResult, result), lb::kLogSystemError);
        return result == kResultAborted ? 3 : 4;
    };
    // 4.
    int entries, parts, commentLength;
    short encrypted;
    bool split;
    int result = m_zip.ReadArchiveInfo(entries, parts, commentLength, encrypted, split);
    if (result > 1)
        return failed("Archive Operation Failed, could not read backup information: Some files may not have been "
                      "extracted or removed!\n",
                      result);
    if (split) return 0;
    // 5.
    Status("Determining archive files..");
    // The directory as the component keeps it: a listing would copy every
    // entry, and the update after this step plans from the same directory.
    std::shared_ptr<const DirectoryIndex> index;
    result = m_zip.ReadDirectoryIndex(index);
    if (result > 1)
        return failed("Archive Operation Failed, could not read the backup contents: Some files may not have been "
                      "extracted or removed!\n",
                      result);
    // 6.
    const std::vector<std::string> patterns = jobmodel::SplitFileTypes(backup.m_strFileTypes);
    const int mode = backup.m_nFileFilterMode;
    const PathSet folders(m_folders), singleFiles(m_singleFiles), excludedFolders(m_excludedFolders),
        excludedFiles(m_excludedFiles);
    auto belowUnlisted = [&](std::string_view folder) {
        return std::any_of(m_unlistedFolders.begin(), m_unlistedFolders.end(), [&](const std::string& u) {
            return folder.starts_with(u) && (folder.size() == u.size() || folder[u.size()] == '/');
        });
    };
    const std::vector<DirectoryEntry>& stored = index->Directory().entries;
    // Files are looked at here only where the walk did not list them.
    if (m_folderListings.FileCount() == 0) m_knownFiles.Reserve(stored.size());
    // Entries come folder by folder: one open folder spares walking each path,
    // and the walk's listing of it spares most looks.
    std::string openFolder;
    int folderFd = -1;
    bool folderTried = false;
    const std::vector<platform::ListedFile>* listing = nullptr;
    size_t nextListed = 0;  // where the folder's next file is likely to be
    auto openedFolder = [&] {
        if (!folderTried) folderFd = platform::OpenAnyLength(openFolder, O_PATH | O_DIRECTORY);
        folderTried = true;
        return folderFd;
    };
    // What holds for a whole folder is worked out once for its entries.
    struct FolderFacts {
        std::string folder;
        bool selected = false, excluded = false, unlisted = false;
    } facts;
    facts.folder.assign(1, '\0');  // no folder's name
    std::string path;
    for (size_t at = 0; at < stored.size(); ++at) {
        const DirectoryEntry& entry = stored[at];
        if (AbortPending()) {
            if (folderFd >= 0) ::close(folderFd);
            return 3;
        }
        AssignSourcePath(path, entry.basePath, entry.name);
        const bool folderEntry = path.back() == '/';
        std::string_view folder = path;
        if (folderEntry && folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
        const size_t lastSlash = path.rfind('/');
        if (!folderEntry) folder = lastSlash == 0 ? std::string_view("/") : folder.substr(0, lastSlash);
        if (folder != facts.folder) {
            facts.folder.assign(folder);
            facts.selected = folders.Contains(folder);
            facts.excluded = excludedFolders.Contains(folder);
            facts.unlisted = belowUnlisted(folder);
        }
        // A second entry of one name is never the file's stored copy: it goes.
        const bool duplicate = index->IsLaterCopy(at);
        const bool single = !facts.selected && singleFiles.Contains(path);
        bool obsolete = duplicate || (!facts.selected && !single && !facts.unlisted);
        bool changed = false;
        if (!obsolete && !facts.selected && !single) {
            // Below a folder that could not be listed: left alone.
        } else if (!obsolete && folderEntry) {
            obsolete = facts.excluded;
        } else if (!obsolete) {
            const bool matched = std::any_of(patterns.begin(), patterns.end(),
                                             [&](const std::string& p) { return MatchWildcard(p, path); });
            if (matched && mode == jobmodel::kFilterExclude) obsolete = true;
            if (!matched && mode != jobmodel::kFilterExclude) obsolete = true;
            if (!obsolete) obsolete = facts.excluded || excludedFiles.Contains(path);
            if (!obsolete) {
                // Gone from a folder that still exists: obsolete. Any other
                // failure (a missing folder, no access) leaves it alone.
                if (folder != openFolder) {
                    if (folderFd >= 0) ::close(folderFd);
                    folderFd = -1;
                    folderTried = false;
                    openFolder = folder;
                    const auto* listed = m_folderListings.Find(folder);
                    listing = listed ? &listed->files : nullptr;
                    nextListed = 0;
                }
                // A selected file is followed, as the write follows it; a link
                // met in a folder is stored as a link and looked at as one.
                const bool follow = singleFiles.Contains(path);
                const char* name = path.c_str() + lastSlash + 1;
                const platform::ListedFile* listed = nullptr;
                if (listing && !follow) {
                    // The backup holds a folder's files in the order the walk listed them.
                    const auto& files = *listing;
                    listed = nextListed < files.size() && files[nextListed].name == name
                                 ? &files[nextListed]
                                 : platform::FolderListingCache::FindFile(files, name);
                    if (listed) nextListed = static_cast<size_t>(listed - files.data()) + 1;
                }
                struct stat st {};
                bool seen = false;
                if (listing && !follow && (!listed || listed->error > 0)) {
                    obsolete = !listed || listed->error == ENOENT;  // not in its folder when the walk read it
                } else if (listed && listed->error == 0) {
                    st.st_mode = listed->status.mode;
                    st.st_size = static_cast<off_t>(listed->status.size);
                    st.st_mtime = listed->status.modified;
                    seen = true;
                } else if (openedFolder() < 0) {
                    obsolete = false;  // the folder is gone or closed to us: left alone
                } else if (::fstatat(folderFd, name, &st, follow ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
                    obsolete = errno == ENOENT;
                } else {
                    m_knownFiles.Remember(path, {static_cast<uint32_t>(st.st_mode), static_cast<uint64_t>(st.st_size),
                                                 st.st_mtime, st.st_uid, st.st_gid});
                    seen = true;
                }
                if (seen) {
                    changed = StorableTime(st.st_mtime) > entry.modified;
                    // A changed file that cannot be read keeps its stored copy.
                    if (changed && S_ISREG(st.st_mode)) {
                        const int fd = ::openat(openedFolder(), name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC |
                                                                          (follow ? 0 : O_NOFOLLOW));
                        if (fd < 0) {
                            changed = false;
                            obsolete = errno == ENOENT;
                        } else {
                            ::close(fd);
                        }
                    }
                }
            }
        }
        if (obsolete) {
            m_zip.AddFileSpec(entry.name);
            m_archiveList.push_back(entry.name);
        } else if (changed) {
            m_archiveList.push_back(entry.name);
        }
    }
    if (folderFd >= 0) ::close(folderFd);
    // 7, 8.
    if (!m_archiveList.empty()) {
        const BackupName name = SplitExtension(backup.m_strBackupFile);
        std::string archivePath = name.stem + "_Archived_" + ArchiveDateText(m_now()) + name.extension;
        // Two runs in one minute must not share an archive: a later one would
        // otherwise lose the earlier one's old versions.
        for (int n = 2; platform::PathExists(archivePath); ++n)
            archivePath = name.stem + "_Archived_" + ArchiveDateText(m_now()) + " " + std::to_string(n) + name.extension;
        if (!jobmodel::IsValidFileName(platform::FileNamePart(archivePath)) || !jobmodel::IsValidPath(archivePath)) {
            m_log.AddEntry("Internal Error: Invalid Filename " + archivePath + "\nNo files have been archived!",
                           lb::kLogSystemError);
            return 4;
        }
        Status("Extracting archive files..");
        result = m_zip.CopyToArchive(archivePath);
        if (result > 1)
            return failed("Error: Failed to make the archive backup. No old file versions have been archived!\n",
                          result);
        char text[4096];
        std::snprintf(text, sizeof text, "The Archive Backup was successfully saved to %s", archivePath.c_str());
        m_log.AddEntry(text, lb::kLogSummary);
        jobmodel::CBackupIndexFile(m_doc.GetPathName(), archivePath).Save(&m_archivedFolders);
    }
    // 9.
    if (!m_zip.GetFileSpecList().empty()) {
        Status("Removing Obsolete Files...");
        result = m_zip.RemoveFiles();
        if (result > 1)
            return failed("Remove Obsolete Files operation Failed. Some files may not have been removed!\n", result);
    }
    // 10.
    const int purgeDays = options.GetPurgeDays();
    if (purgeDays > 0) {
        const BackupName name = SplitExtension(backup.m_strBackupFile);
        const std::string folder = platform::FolderPart(backup.m_strBackupFile);
        const std::string prefix = platform::FileNamePart(name.stem) + "_Archived_";
        DIR* dir = ::opendir(folder.c_str());
        std::vector<std::string> archives;
        while (dir) {
            dirent* e = ::readdir(dir);
            if (!e) break;
            const std::string file = e->d_name;
            if (file.size() >= prefix.size() + name.extension.size() && file.compare(0, prefix.size(), prefix) == 0 &&
                file.compare(file.size() - name.extension.size(), name.extension.size(), name.extension) == 0)
                archives.push_back(folder + "/" + file);
        }
        if (dir) ::closedir(dir);
        const auto now = m_now();
        for (const auto& archive : archives) {
            const auto created = platform::GetFileTimes(archive).creation;
            if (!created) continue;
            const auto days = std::chrono::duration_cast<std::chrono::hours>(now - *created).count() / 24;
            if (days > purgeDays) {
                platform::DeleteToRecycleBin(archive);
                jobmodel::CBackupIndexFile(m_doc.GetPathName(), archive).Delete();
            }
        }
    }
    return 0;
}

void CBackupEngine::SelectFileForCopy(SelectFileForCopyArgs& a) {
    auto it = std::find(m_archiveList.begin(), m_archiveList.end(), a.name);
    if (it == m_archiveList.end()) {
        a.skip = true;
        return;
    }
    a.skip = false;
    m_archiveList.erase(it);
    if (a.attributes & jobmodel::FILE_ATTRIBUTE_DIRECTORY) return;
    const std::string folder = platform::FolderPart(SourcePath(a.basePath, a.name));
    if (m_archivedFolders.empty() || m_archivedFolders.back() != folder) m_archivedFolders.push_back(folder);
}

void CBackupEngine::FileRemoved(const std::string& name, const std::string& basePath) {
    m_log.AddEntry(SourcePath(basePath, name), lb::kLogFileRemoved);
}

}  // namespace engine
