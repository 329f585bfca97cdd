#include "jobmodel/SettingsRegistry.h"

#include "platform/FileSystem.h"
#include "platform/SpecialFolders.h"

namespace jobmodel {

namespace reg = platform::registry;

namespace {

constexpr const char* kAppPathsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
constexpr const char* kEditorExe = "Vellora.exe";
constexpr const char* kRunnerExe = "Gorvex.exe";
constexpr const char* kSoundScheme = "AppEvents\\Schemes\\Apps\\VelBackup";

std::string SectionKey(const std::string& section) { return std::string(kSettingsKey) + "\\" + section; }

// A REG_SZ value up to its terminating zero; empty for other types.
std::string ReadStringValue(Hive hive, const std::string& key, const std::string& name) {
    platform::RegValue value;
    if (reg::QueryValue(hive, key, name, value) != 0) return "";
    if (value.type != platform::REG_SZ && value.type != platform::REG_EXPAND_SZ) return "";
    return value.data.substr(0, value.data.find('\0'));
}

std::string QuotedIfSpaced(std::string path, bool quote) {
    if (quote && path.find(' ') != std::string::npos) return "\"" + path + "\"";
    return path;
}

}  // namespace

std::string CSettingsRegistry::GetString(const std::string& section, const std::string& name) const {
    const std::string key = SectionKey(section);
    if (reg::CreateKey(m_root, key, reg::Access::Read) != 0) return "";
    return ReadStringValue(m_root, key, name);
}

void CSettingsRegistry::SetString(const std::string& section, const std::string& name,
                                  const std::string& value) const {
    reg::SetValue(m_root, SectionKey(section), name, platform::RegValue::String(value));
}

int CSettingsRegistry::GetSwitch(const std::string& section, const std::string& name) const {
    const std::string key = SectionKey(section);
    if (reg::CreateKey(m_root, key, reg::Access::Read) != 0) return 0;
    platform::RegValue value;
    if (reg::QueryValue(m_root, key, name, value) != 0) return 0;
    if (value.type != platform::REG_DWORD || value.data.size() != 4) return 0;
    uint32_t raw = 0;
    for (int i = 3; i >= 0; --i) raw = (raw << 8) | static_cast<unsigned char>(value.data[static_cast<size_t>(i)]);
    return static_cast<int32_t>(raw) > 0 ? 1 : 0;
}

void CSettingsRegistry::SetDWord(const std::string& section, const std::string& name, uint32_t value) const {
    reg::SetValue(m_root, SectionKey(section), name, platform::RegValue::DWord(value));
}

std::string CSettingsRegistry::GetFolder(const char* name) const {
    std::string folder = GetString(kGeneralSection, name);
    if (folder.size() > 1 && folder.back() == platform::kPathSeparator) folder.pop_back();
    return folder;
}

Hive ChooseSettingsRoot() {
    const std::string general = SectionKey(kGeneralSection);
    if (reg::OpenKey(Hive::LocalMachine, general, reg::Access::Full) == 0) return Hive::LocalMachine;
    if (reg::OpenKey(Hive::CurrentUser, general, reg::Access::Full) == 0) return Hive::CurrentUser;

    if (reg::OpenKey(Hive::LocalMachine, kSettingsKey, reg::Access::Read) == 0)
        jobmodel::CopyKeyTree(Hive::LocalMachine, kSettingsKey, Hive::CurrentUser, "Software", "Vellora Ltd.\\Vellora");
    CSettingsRegistry settings(Hive::CurrentUser);
    const std::string personal = platform::GetPersonalFolder();
    if (!personal.empty()) {
        const std::string jobs = personal + "/My Backups/Jobs";
        const std::string logs = personal + "/My Backups/Log";
        platform::CreateFolderPath(jobs);
        platform::CreateFolderPath(logs);
        settings.SetJobFolder(jobs);
        settings.SetLogFolder(logs);
    }
    if (settings.GetUseWinTempFolder()) settings.SetTempFolder(platform::GetWindowsTempFolder());
    return Hive::CurrentUser;
}

bool GetAppDataFolder(std::string& folder) { return platform::GetAppDataFolder(folder); }

int CopyKeyTree(Hive srcHive, const std::string& srcPath, Hive dstHive, const std::string& dstParent,
                const std::string& dstName) {
    return reg::CopyKeyTree(srcHive, srcPath, dstHive, dstParent, dstName);
}

std::string GetEditorPath(bool quote) {
    return QuotedIfSpaced(ReadStringValue(Hive::LocalMachine, std::string(kAppPathsKey) + kEditorExe, ""), quote);
}

std::string GetRunnerPath(bool quote) {
    return QuotedIfSpaced(ReadStringValue(Hive::LocalMachine, std::string(kAppPathsKey) + kRunnerExe, ""), quote);
}

std::string GetEditorFolder() {
    return ReadStringValue(Hive::LocalMachine, std::string(kAppPathsKey) + kEditorExe, "Path");
}

std::string GetRunnerFolder() {
    return ReadStringValue(Hive::LocalMachine, std::string(kAppPathsKey) + kRunnerExe, "Path");
}

int RegisterProgramPaths(const std::string& binFolder) {
    const std::pair<const char*, const char*> programs[] = {{kEditorExe, "vellora"}, {kRunnerExe, "gorvex"}};
    for (const auto& [key, program] : programs) {
        const std::string path = std::string(kAppPathsKey) + key;
        if (int err = reg::SetValue(Hive::LocalMachine, path, "", platform::RegValue::String(binFolder + "/" + program)))
            return err;
        if (int err = reg::SetValue(Hive::LocalMachine, path, "Path", platform::RegValue::String(binFolder))) return err;
    }
    return 0;
}

std::string GetSoundFile(const std::string& eventName) {
    return ReadStringValue(Hive::CurrentUser, std::string(kSoundScheme) + "\\" + eventName + "\\.Current", "");
}

void CopySoundEventsFromDefaultUser() {
    if (!GetSoundFile(kSoundBackupStart).empty()) return;
    const std::string source = std::string(".DEFAULT\\") + kSoundScheme;
    if (reg::OpenKey(Hive::Users, source, reg::Access::Read) == 0)
        jobmodel::CopyKeyTree(Hive::Users, source, Hive::CurrentUser, "AppEvents\\Schemes\\Apps", "VelBackup");
    for (const char* event : {kSoundBackupFailed, kSoundBackupStart, kSoundBackupSuccessful}) {
        const std::string label = std::string(".DEFAULT\\AppEvents\\EventLabels\\") + event;
        if (reg::OpenKey(Hive::Users, label, reg::Access::Read) == 0)
            jobmodel::CopyKeyTree(Hive::Users, label, Hive::CurrentUser, "AppEvents\\EventLabels", event);
    }
}

std::string GetTasksFolder() {
    std::string folder = ReadStringValue(Hive::LocalMachine, "SOFTWARE\\Microsoft\\SchedulingAgent", "TasksFolder");
    if (!folder.empty()) return folder;
    std::string appData;
    if (!platform::GetAppDataFolder(appData)) return "";
    return appData + "/Tasks";
}

}  // namespace jobmodel
