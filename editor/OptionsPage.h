#pragma once

#include "jobmodel/AppDoc.h"

#include <string>

namespace editor {

// The Options tab's values, as its controls hold them.
struct OptionsPageFields {
    int compressionIndex = 2;  // "No compression", "Low", "Normal", "Maximum"
    bool verify = true;
    bool archive = true;
    std::string purgeDays;
    bool usePassword = false;
    bool useVolumeName = false;
    std::string volumeName;
    int spanning = jobmodel::kSpanNever;
    int nonEmpty = jobmodel::kAppendFiles;
};

// Which of the tab's controls can be used.
struct OptionsEnabling {
    bool volumeNameBox, volumeName, spanning, nonEmpty, archive, change, purgeDays;
};

// Whether the job's backup file lies on a removable or optical drive.
bool RemovableDestination(const jobmodel::CAppDoc& doc);

// A destination that is not removable never spans disks.
OptionsPageFields LoadOptionsPage(const jobmodel::CAppDoc& doc, bool removable);
// The rules between the controls; spanning on a removable drive unticks
// the archive box.
OptionsEnabling UpdateEnabling(OptionsPageFields& fields, bool removable);
// "Never" also sets the non-empty rule back to "Append files".
void ChooseSpanning(OptionsPageFields& fields, int spanning);
// False, after its message, refuses the save.
bool SaveOptionsPage(const OptionsPageFields& fields, jobmodel::CAppDoc& doc);

// The volume label of the backup file's drive, cut to what a volume name
// holds; false after the message when it cannot be read.
bool ReadDestinationLabel(const jobmodel::CAppDoc& doc, std::string& name);

// Why the password dialog refuses its OK, or "" when it accepts.
std::string PasswordRefusal(const std::string& current, const std::string& old, const std::string& newPassword,
                            const std::string& confirmation);
// After the dialog's OK: a new password is taken for the next run and the
// user told. `usePassword` goes off when the password was removed.
void TakeNewPassword(jobmodel::CAppDoc& doc, const std::string& newPassword, bool& usePassword);
// "Use Password" unticked: removes the password when `entered` is the
// current one; false (after the message) keeps it.
bool RemovePassword(jobmodel::CAppDoc& doc, const std::string& entered);

}  // namespace editor
