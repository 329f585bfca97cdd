#pragma once

#include "platform/Registry.h"

#include <string>

namespace jobmodel {

using platform::registry::Hive;

inline constexpr const char* kSettingsKey = "Software\\Vellora Ltd.\\Vellora";
inline constexpr const char* kGeneralSection = "General";

inline constexpr const char* kSoundBackupStart = "VelBackupStart";
inline constexpr const char* kSoundBackupSuccessful = "VelBackupSuccessful";
inline constexpr const char* kSoundBackupFailed = "VelBackupFailed";

// Program-wide settings. Each access opens the key anew; failures are silent:
// getters give the missing-value result, setters do nothing.
class CSettingsRegistry {
public:
    explicit CSettingsRegistry(Hive root) : m_root(root) {}
    Hive Root() const { return m_root; }

    std::string GetJobFolder() const { return GetFolder("Job Folder"); }
    void SetJobFolder(const std::string& v) const { SetString(kGeneralSection, "Job Folder", v); }
    std::string GetLogFolder() const { return GetFolder("Log Folder"); }
    void SetLogFolder(const std::string& v) const { SetString(kGeneralSection, "Log Folder", v); }
    std::string GetTempFolder() const { return GetFolder("Temp Folder"); }
    void SetTempFolder(const std::string& v) const { SetString(kGeneralSection, "Temp Folder", v); }

#define VELLORA_SWITCH(Name, ValueName)                                                    \
    int Get##Name() const { return GetSwitch(kGeneralSection, ValueName); }                \
    void Set##Name(int on) const { SetDWord(kGeneralSection, ValueName, on ? 1u : 0u); }
    VELLORA_SWITCH(UseTempFile, "UseTempFile")
    VELLORA_SWITCH(UseWinTempFolder, "UseWinTempFolder")
    VELLORA_SWITCH(UseIndexFiles, "UseIndexFiles")
    VELLORA_SWITCH(PlaySounds, "Play Sounds")
    VELLORA_SWITCH(ShowBalloonTips, "Show Balloon Tips")
    VELLORA_SWITCH(HideBackupWindows, "Hide Backup Windows")
    VELLORA_SWITCH(HideErrorMessages, "Hide Error Messages")
    VELLORA_SWITCH(CloseBackupWindows, "Close Backup Windows")
    VELLORA_SWITCH(CloseIfSuccess, "Close if Success")
#undef VELLORA_SWITCH

    std::string GetString(const std::string& section, const std::string& name) const;
    void SetString(const std::string& section, const std::string& name, const std::string& value) const;
    // On when the stored REG_DWORD, as a signed 32-bit number, is above 0.
    int GetSwitch(const std::string& section, const std::string& name) const;
    void SetDWord(const std::string& section, const std::string& name, uint32_t value) const;

private:
    std::string GetFolder(const char* name) const;

    Hive m_root;
};

// Decides, once per program start, which hive holds the settings, and on a
// user's first start fills that user's key.
Hive ChooseSettingsRoot();

bool GetAppDataFolder(std::string& folder);
int CopyKeyTree(Hive srcHive, const std::string& srcPath, Hive dstHive, const std::string& dstParent,
                const std::string& dstName);

// App Paths of the two programs; empty when not registered. With `quote`, a
// path holding spaces comes in double quotes.
std::string GetEditorPath(bool quote);
std::string GetRunnerPath(bool quote);
std::string GetEditorFolder();
std::string GetRunnerFolder();
// What installing does: both programs' App Paths in the machine hive, for
// programs in `binFolder`. Returns 0 or an errno.
int RegisterProgramPaths(const std::string& binFolder);

// The sound file of one of the runner's sound events; empty when unset.
std::string GetSoundFile(const std::string& eventName);
// Copies the sound events from the default user when this user has none.
void CopySoundEventsFromDefaultUser();

// Where the scheduler keeps its task files.
std::string GetTasksFolder();

}  // namespace jobmodel
