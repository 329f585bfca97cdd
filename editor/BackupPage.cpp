#include "editor/BackupPage.h"

#include "jobmodel/FileTypes.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "platform/Volumes.h"

#include <strings.h>

namespace editor {

namespace {

constexpr const char* kDefaultExtension = "velarc";

bool Refuse(const std::string& text) {
    platform::Tell(text, platform::MB_OK | platform::MB_ICONEXCLAMATION);
    return false;
}

std::string Extension(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? "" : fileName.substr(dot + 1);
}

}  // namespace

BackupPageFields LoadBackupPage(const jobmodel::CAppDoc& doc) {
    const auto& backup = doc.m_BackupSettings;
    BackupPageFields fields{backup.m_strBackupFile, backup.m_strDescription, backup.m_nFileFilterMode,
                           jobmodel::SplitFileTypes(backup.m_strFileTypes)};
    if (fields.filterMode != jobmodel::kFilterInclude && fields.filterMode != jobmodel::kFilterExclude)
        fields.filterMode = jobmodel::kFilterAll;
    return fields;
}

bool InitialShowFiles(const jobmodel::CBackupItemArray& items, bool profileShowFiles) {
    for (int i = 0; i < items.GetCount(); ++i)
        if (!(items.GetAt(i).m_dwAttributes & selection::kFolderAttribute)) return true;
    return profileShowFiles;
}

void ChooseFilterMode(BackupPageFields& fields, int mode) {
    fields.filterMode = mode;
    fields.fileTypes.clear();
    if (mode == jobmodel::kFilterAll) fields.fileTypes.push_back("*");
}

bool AddFileType(BackupPageFields& fields, const std::string& text) {
    if (text.empty()) return false;
    // A folder part is no file type; ":" would split it in the job.
    if (text.find_first_of("/:") != std::string::npos)
        return Refuse("The File Specification '" + text + "' is invalid");
    fields.fileTypes.push_back(text);
    return true;
}

bool SaveBackupPage(BackupPageFields& fields, const CBackupTree& tree, jobmodel::CAppDoc& doc) {
    std::string& path = fields.backupFile;
    // 1.
    if (path.empty() || path[0] != '/' || platform::FileNamePart(path).empty())
        return Refuse("Backup destination filename incomplete!!");
    // 2.
    const std::string name = platform::FileNamePart(path);
    if (name.find_first_of("\\/:*?\"<>|") != std::string::npos)
        return Refuse("There are invalid characters in the Backup Destination File\n" + name +
                      "\nNote: The following characters are not permitted \\ / : * ? \" < > |\n\nPlease re-enter "
                      "the filename");
    // 3.
    const std::string extension = Extension(name);
    if (::strcasecmp(extension.c_str(), kDefaultExtension) != 0 && ::strcasecmp(extension.c_str(), "zip") != 0) {
        const std::string question = "The Backup Destination Filename '" + name + "' is invalid !!\nThe file extension must be ." +
                                     kDefaultExtension + " (default) or .zip\n\nPress 'Yes' to use the default "
                                     "extension or 'No' to Edit it";
        if (platform::Tell(question, platform::MB_YESNO | platform::MB_ICONQUESTION) != platform::IDYES) return false;
        path += std::string(".") + kDefaultExtension;
    }
    // 4.
    platform::VolumeInfo volume;
    platform::GetVolumeInfo(path, volume);
    const bool removable =
        volume.type == platform::DriveType::Removable || volume.type == platform::DriveType::CdRom;
    if (removable && !platform::SamePath(platform::FolderPart(path), volume.root)) {
        const std::string moved = (volume.root == "/" ? "" : volume.root) + "/" + platform::FileNamePart(path);
        platform::Tell("The backup destination file must be in the Root Folder\non a removable disk!\n\nThe Path " +
                           path + " will be modified to " + moved,
                       platform::MB_OK | platform::MB_ICONINFORMATION);
        path = moved;
    }
    // 5.
    if (tree.ExplicitNodes().empty()) return Refuse("There are no files selected for backup !!");
    // 6.
    auto& backup = doc.m_BackupSettings;
    backup.m_strBackupFile = path;
    backup.m_strDescription = fields.description;
    backup.m_nFileFilterMode = fields.filterMode;
    backup.m_strFileTypes = jobmodel::JoinFileTypes(fields.fileTypes);
    tree.StoreSelection(backup.m_items);
    return true;
}

}  // namespace editor
