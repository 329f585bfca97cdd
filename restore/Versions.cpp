#include "restore/Versions.h"

#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <string_view>

#include "logbook/LogBookBase.h"
#include "platform/FileSystem.h"
#include "restore/RestorePage.h"
#include "restore/RestoreTree.h"
#include "zipcomponent/CentralDirectory.h"
#include "zipcomponent/XceedZip.h"

namespace restore {

namespace {

uint64_t PathHash(std::string_view path) { return std::hash<std::string_view>()(path); }

constexpr const char* kArchived = "_Archived_";

}  // namespace

const CVersionCatalog::Table* CVersionCatalog::Load(const std::string& zipPath) {
    zipcomponent::FileIdentity identity;
    if (!zipcomponent::FileIdentity::Of(zipPath, identity)) return nullptr;
    Table& table = m_tables[zipPath];
    if (table.identity == identity) return &table;
    table = Table{identity, {}};
    auto add = [&](const std::string& basePath, const std::string& name, uint64_t size, time_t modified,
                   bool encrypted) {
        if (name.empty() || name.back() == '/') return;
        table.files.push_back({PathHash(TreePath(basePath, name)), size, modified, encrypted});
    };
    zipcomponent::CentralDirectory directory;
    if (zipcomponent::ReadCentralDirectory(zipPath, directory, zipcomponent::DirectoryUse::Listing)) {
        for (const auto& e : directory.entries) add(e.basePath, e.name, e.size, e.modified, e.encryption != ZIP_EM_NONE);
    } else {
        // What the quick reader leaves (zips of other tools, damaged ones) libzip reads.
        zipcomponent::CXceedZip zip;
        zip.m_strArchivePath = zipPath;
        zipcomponent::ZipContents contents;
        if (zip.ListContents(contents, 0) >= 2) {
            m_tables.erase(zipPath);
            return nullptr;
        }
        for (const auto& item : contents.m_items) add(item.basePath, item.name, item.size, item.modified, item.encrypted);
    }
    std::sort(table.files.begin(), table.files.end(), [](const Slot& a, const Slot& b) { return a.hash < b.hash; });
    table.files.shrink_to_fit();
    return &table;
}

std::vector<FileVersion> CVersionCatalog::FindVersions(const std::vector<BackupFileEntry>& zips,
                                                       const std::string& path) {
    std::vector<FileVersion> versions;
    const uint64_t hash = PathHash(path);
    for (size_t i = 0; i < zips.size(); ++i) {
        const Table* table = Load(zips[i].path);
        if (!table) continue;
        auto range = std::equal_range(table->files.begin(), table->files.end(), Slot{hash, 0, 0, false},
                                      [](const Slot& a, const Slot& b) { return a.hash < b.hash; });
        for (auto it = range.first; it != range.second; ++it)
            versions.push_back({zips[i].path, VersionLabel(zips[i], i == 0), it->size,
                                static_cast<time_t>(it->modified), it->encrypted});
    }
    std::stable_sort(versions.begin(), versions.end(),
                     [](const FileVersion& a, const FileVersion& b) { return a.modified > b.modified; });
    return versions;
}

std::string VersionLabel(const BackupFileEntry& entry, bool isBackup) {
    if (isBackup) return "Current backup";
    const size_t at = entry.text.find(kArchived);
    return at == std::string::npos ? entry.text : entry.text.substr(at + std::string_view(kArchived).size());
}

std::string DatedName(const std::string& fileName, time_t modified) {
    std::tm local {};
    localtime_r(&modified, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d %H.%M", &local);
    const size_t dot = fileName.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const std::string stem = hasExtension ? fileName.substr(0, dot) : fileName;
    const std::string extension = hasExtension ? fileName.substr(dot) : std::string();
    return stem + " (" + date + ")" + extension;
}

std::string RestoreVersion(CRestorePage& page, const FileVersion& version, const std::string& path,
                           VersionTarget target, const std::string& folder) {
    if (!page.SelectBackupPath(version.zipPath)) return "Error: Backup file does not exist\n" + version.zipPath;
    selection::SelectionNode* node = page.Tree().FindPath(path);
    if (!node || node->IsFolder()) return "There are no files selected to restore !!";
    page.Tree().SetItemState(*node, selection::kFileSelected);
    page.m_nOverwriteMode = kRestoreAll;
    std::string temporary;
    switch (target) {
        case VersionTarget::OriginalFolder: page.m_nDestMode = kOriginalFolders; break;
        case VersionTarget::Folder:
            page.m_nDestMode = kSpecificFolder;
            page.m_strDestination = folder;
            break;
        case VersionTarget::BesideOriginal: {
            // Into a folder of its own beside the original, then renamed: the
            // original is never touched.
            std::string pattern = platform::FolderPart(path) + "/.vellora-version-XXXXXX";
            platform::CreateFolderPath(platform::FolderPart(path));
            if (!::mkdtemp(pattern.data())) return platform::GetSystemErrorText(errno);
            temporary = pattern;
            page.m_nDestMode = kSpecificFolder;
            page.m_strDestination = temporary;
            break;
        }
    }
    std::string result = page.RunRestore();
    if (!temporary.empty()) {
        const std::string written = temporary + "/" + platform::FileNamePart(path);
        const std::string dated = platform::FolderPart(path) + "/" + DatedName(platform::FileNamePart(path), version.modified);
        if (platform::PathExists(written)) {
            if (::rename(written.c_str(), dated.c_str()) == 0) {
                page.RenameLogged(written, dated);
            } else {
                result = platform::GetSystemErrorText(errno);
            }
        }
        std::error_code ignored;
        std::filesystem::remove_all(temporary, ignored);
    }
    return result;
}

}  // namespace restore
