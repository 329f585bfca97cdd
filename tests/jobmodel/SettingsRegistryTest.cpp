#include "jobmodel/SettingsRegistry.h"

#include "platform/FileSystem.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace jobmodel;
using testsupport::IsolatedUser;

namespace {

const std::string kGeneralHeader = "[HKEY_CURRENT_USER\\Software\\Vellora Ltd.\\Vellora\\General]\n";

}  // namespace

TEST(SettingsRegistry, MissingValuesReadEmptyOrOff) {
    IsolatedUser user;
    CSettingsRegistry settings(Hive::CurrentUser);
    EXPECT_EQ(settings.GetJobFolder(), "");
    EXPECT_EQ(settings.GetLogFolder(), "");
    EXPECT_EQ(settings.GetTempFolder(), "");
    const int switches[] = {settings.GetUseTempFile(),       settings.GetUseWinTempFolder(),
                            settings.GetUseIndexFiles(),     settings.GetPlaySounds(),
                            settings.GetShowBalloonTips(),   settings.GetHideBackupWindows(),
                            settings.GetHideErrorMessages(), settings.GetCloseBackupWindows(),
                            settings.GetCloseIfSuccess()};
    for (int on : switches) EXPECT_EQ(on, 0);
    // A machine hive that does not exist cannot give a key either.
    EXPECT_EQ(CSettingsRegistry(Hive::LocalMachine).GetJobFolder(), "");
}

TEST(SettingsRegistry, StoredValuesFollowTheReadingRules) {
    IsolatedUser user;
    user.WriteHive("user.reg", "REGEDIT4\n\n" + kGeneralHeader +
                                   "\"Job Folder\"=\"/home/ann/Jobs/\"\n"
                                   "\"Log Folder\"=dword:00000001\n"
                                   "\"Temp Folder\"=\"/tmp\"\n"
                                   "\"UseTempFile\"=dword:00000005\n"
                                   "\"UseWinTempFolder\"=dword:ffffffff\n"
                                   "\"UseIndexFiles\"=dword:00000000\n"
                                   "\"Play Sounds\"=\"1\"\n"
                                   "\"show balloon tips\"=dword:7fffffff\n"
                                   "\"Hide Backup Windows\"=dword:80000000\n");
    CSettingsRegistry settings(Hive::CurrentUser);
    EXPECT_EQ(settings.GetJobFolder(), "/home/ann/Jobs");
    EXPECT_EQ(settings.GetLogFolder(), "");  // not a string
    EXPECT_EQ(settings.GetTempFolder(), "/tmp");
    EXPECT_EQ(settings.GetUseTempFile(), 1);
    EXPECT_EQ(settings.GetUseWinTempFolder(), 0);
    EXPECT_EQ(settings.GetUseIndexFiles(), 0);
    EXPECT_EQ(settings.GetPlaySounds(), 0);  // not a DWORD
    EXPECT_EQ(settings.GetShowBalloonTips(), 1);
    EXPECT_EQ(settings.GetHideBackupWindows(), 0);
    EXPECT_EQ(settings.GetHideErrorMessages(), 0);
}

TEST(SettingsRegistry, SettersStoreSwitchesAsZeroOrOne) {
    IsolatedUser user;
    CSettingsRegistry settings(Hive::CurrentUser);
    settings.SetCloseIfSuccess(7);
    settings.SetHideErrorMessages(0);
    settings.SetLogFolder("/home/ann/Log");
    EXPECT_EQ(user.ReadHive("user.reg"), "REGEDIT4\n\n" + kGeneralHeader +
                                             "\"Close if Success\"=dword:00000001\n"
                                             "\"Hide Error Messages\"=dword:00000000\n"
                                             "\"Log Folder\"=\"/home/ann/Log\"\n");
    EXPECT_EQ(settings.GetCloseIfSuccess(), 1);
    EXPECT_EQ(settings.GetLogFolder(), "/home/ann/Log");
}

TEST(SettingsRoot, WritableMachineKeyIsTheRoot) {
    IsolatedUser user;
    user.WriteHive("machine.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Vellora Ltd.\\Vellora\\General]\n");
    EXPECT_EQ(ChooseSettingsRoot(), Hive::LocalMachine);
    EXPECT_FALSE(platform::PathExists(user.RegistryDir() + "/user.reg"));
}

TEST(SettingsRoot, FirstStartOfAUserCopiesTheMachineValuesAndMakesTheFolders) {
    IsolatedUser user;
    user.WriteHive("machine.reg",
                   "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Vellora Ltd.\\Vellora\\General]\n"
                   "\"UseWinTempFolder\"=dword:00000001\n\"Play Sounds\"=dword:00000001\n"
                   "\"Job Folder\"=\"/srv/jobs\"\n"
                   "[HKEY_LOCAL_MACHINE\\Software\\Vellora Ltd.\\Vellora\\Settings]\n\"Skin\"=dword:00000002\n");
    chmod((user.RegistryDir() + "/machine.reg").c_str(), 0444);
    EXPECT_EQ(ChooseSettingsRoot(), Hive::CurrentUser);

    CSettingsRegistry settings(Hive::CurrentUser);
    const std::string jobs = user.Documents() + "/My Backups/Jobs";
    const std::string logs = user.Documents() + "/My Backups/Log";
    EXPECT_EQ(settings.GetJobFolder(), jobs);
    EXPECT_EQ(settings.GetLogFolder(), logs);
    EXPECT_TRUE(platform::IsFolder(jobs));
    EXPECT_TRUE(platform::IsFolder(logs));
    EXPECT_EQ(settings.GetPlaySounds(), 1);
    EXPECT_EQ(settings.GetTempFolder(), platform::GetWindowsTempFolder());
    EXPECT_EQ(settings.GetSwitch("Settings", "Skin"), 1);

    // The second start finds the user's key and changes nothing.
    settings.SetJobFolder("/mine");
    const std::string hive = user.ReadHive("user.reg");
    EXPECT_EQ(ChooseSettingsRoot(), Hive::CurrentUser);
    EXPECT_EQ(user.ReadHive("user.reg"), hive);
}

TEST(SettingsRoot, FirstStartWithoutMachineSettingsStillSetsTheFolders) {
    IsolatedUser user;
    EXPECT_EQ(ChooseSettingsRoot(), Hive::CurrentUser);
    CSettingsRegistry settings(Hive::CurrentUser);
    EXPECT_EQ(settings.GetJobFolder(), user.Documents() + "/My Backups/Jobs");
    EXPECT_EQ(settings.GetTempFolder(), "");
}

TEST(AppPaths, ReadFromTheMachineHive) {
    IsolatedUser user;
    EXPECT_EQ(GetEditorPath(true), "");
    EXPECT_EQ(GetRunnerPath(false), "");
    EXPECT_EQ(GetRunnerFolder(), "");
    user.WriteHive("machine.reg",
                   "REGEDIT4\n\n"
                   "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vellora.exe]\n"
                   "@=\"/opt/My Apps/vellora\"\n\"Path\"=\"/opt/My Apps\"\n"
                   "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Gorvex.exe]\n"
                   "@=\"/usr/bin/gorvex\"\n\"Path\"=dword:00000001\n");
    EXPECT_EQ(GetEditorPath(false), "/opt/My Apps/vellora");
    EXPECT_EQ(GetEditorPath(true), "\"/opt/My Apps/vellora\"");
    EXPECT_EQ(GetEditorFolder(), "/opt/My Apps");
    EXPECT_EQ(GetRunnerPath(true), "/usr/bin/gorvex");
    EXPECT_EQ(GetRunnerFolder(), "");
}

TEST(SoundEvents, CopiedFromTheDefaultUserOnlyWhenMissing) {
    IsolatedUser user;
    user.WriteHive("default-user.reg",
                   "REGEDIT4\n\n"
                   "[HKEY_USERS\\.DEFAULT\\AppEvents\\Schemes\\Apps\\VelBackup\\VelBackupStart\\.Current]\n"
                   "@=\"/usr/share/sounds/start.oga\"\n"
                   "[HKEY_USERS\\.DEFAULT\\AppEvents\\Schemes\\Apps\\VelBackup\\VelBackupFailed\\.Current]\n"
                   "@=\"/usr/share/sounds/failed.oga\"\n"
                   "[HKEY_USERS\\.DEFAULT\\AppEvents\\EventLabels\\VelBackupStart]\n@=\"Backup Started\"\n"
                   "[HKEY_USERS\\.DEFAULT\\AppEvents\\EventLabels\\VelBackupFailed]\n@=\"Backup Failed\"\n");
    EXPECT_EQ(GetSoundFile(kSoundBackupStart), "");
    CopySoundEventsFromDefaultUser();
    EXPECT_EQ(GetSoundFile(kSoundBackupStart), "/usr/share/sounds/start.oga");
    EXPECT_EQ(GetSoundFile(kSoundBackupFailed), "/usr/share/sounds/failed.oga");
    EXPECT_EQ(GetSoundFile(kSoundBackupSuccessful), "");
    platform::RegValue label;
    ASSERT_EQ(platform::registry::QueryValue(Hive::CurrentUser, "AppEvents\\EventLabels\\VelBackupFailed", "", label),
              0);
    EXPECT_EQ(label, platform::RegValue::String("Backup Failed"));

    platform::registry::SetValue(Hive::CurrentUser, "AppEvents\\Schemes\\Apps\\VelBackup\\VelBackupStart\\.Current",
                                 "", platform::RegValue::String("/home/ann/mine.oga"));
    CopySoundEventsFromDefaultUser();
    EXPECT_EQ(GetSoundFile(kSoundBackupStart), "/home/ann/mine.oga");
}

TEST(TasksFolder, DefaultsBelowTheApplicationFolder) {
    IsolatedUser user;
    EXPECT_EQ(GetTasksFolder(), user.AppData() + "/Tasks");
    user.WriteHive("machine.reg",
                   "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\SchedulingAgent]\n"
                   "\"TasksFolder\"=\"/var/lib/vellora/tasks\"\n");
    EXPECT_EQ(GetTasksFolder(), "/var/lib/vellora/tasks");
}
