#pragma once

#include "jobmodel/SettingsRegistry.h"

#include <string>

namespace editor {

// The twelve program settings the options dialog edits.
struct ProgramOptions {
    std::string jobFolder, logFolder, tempFolder;
    bool useTempFile = true, useWinTempFolder = false, playSounds = false, showBalloonTips = false,
         useIndexFiles = false, hideBackupWindows = false, hideErrorMessages = false, closeBackupWindows = false,
         closeIfSuccess = false;
};

struct ProgramOptionsEnabling {
    bool hideErrorMessages, closeIfSuccess, location, tempFolder;
};

// Read on opening; the hidden "Use Temp File" box is always ticked then.
ProgramOptions LoadProgramOptions(const jobmodel::CSettingsRegistry& settings);
ProgramOptionsEnabling OptionsEnabling(const ProgramOptions& options);
// "Windows Temp Folder" ticked: the system's temporary folder fills the
// edit; false after its message when there is none.
bool FillSystemTempFolder(ProgramOptions& options, const std::string& systemTemp);

enum class FolderField { None, Jobs, Log, Temp };
// OK: every folder must exist or be made at the user's word. The field to
// go back to when one is refused; None when all are there.
FolderField CheckFolders(const ProgramOptions& options);
// Writes the twelve settings in their order.
void SaveProgramOptions(const ProgramOptions& options, const jobmodel::CSettingsRegistry& settings);

// The desktop's sound settings; false after the message when there are none.
bool OpenSoundSettings();

}  // namespace editor
