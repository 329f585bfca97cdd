#pragma once

#include "editor/BackupTree.h"
#include "jobmodel/AppDoc.h"

#include <string>
#include <vector>

namespace editor {

// The Backup tab's fields beside its tree.
struct BackupPageFields {
    std::string backupFile;
    std::string description;
    int filterMode = jobmodel::kFilterAll;
    std::vector<std::string> fileTypes;
};

// The fields of a job as the tab shows them: a filter mode it does not
// know becomes "all files".
BackupPageFields LoadBackupPage(const jobmodel::CAppDoc& doc);

// Whether the tree starts with files shown: always when the job selects a
// file, else as the profile last had it.
bool InitialShowFiles(const jobmodel::CBackupItemArray& items, bool profileShowFiles);

// The file-type filter's radio buttons: "all files" leaves "*" alone in the list.
void ChooseFilterMode(BackupPageFields& fields, int mode);
// "<- Add": a plain file specification joins the list; one with a folder
// part is refused with its message. Empty text adds nothing.
bool AddFileType(BackupPageFields& fields, const std::string& text);

// Checks the fields in order and stores them and the tree's marks into the
// job. False, after its message, refuses the save; the backup file may be
// corrected on the way (a default extension, the root of a removable disk).
bool SaveBackupPage(BackupPageFields& fields, const CBackupTree& tree, jobmodel::CAppDoc& doc);

}  // namespace editor
