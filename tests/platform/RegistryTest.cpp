#include "platform/Registry.h"

#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace reg = platform::registry;
using platform::RegValue;
using reg::Access;
using reg::Hive;
using testsupport::IsolatedUser;

TEST(Registry, HiveFilesLiveInTheRegistryFolder) {
    IsolatedUser user;
    EXPECT_EQ(reg::HiveFilePath(Hive::LocalMachine), user.RegistryDir() + "/machine.reg");
    EXPECT_EQ(reg::HiveFilePath(Hive::CurrentUser), user.RegistryDir() + "/user.reg");
    EXPECT_EQ(reg::HiveFilePath(Hive::Users), user.RegistryDir() + "/default-user.reg");
}

TEST(Registry, ValuesPersistInTheirHiveAndNamesIgnoreCase) {
    IsolatedUser user;
    ASSERT_EQ(reg::SetValue(Hive::CurrentUser, "Software\\Vellora Ltd.\\Vellora\\General", "Log Folder",
                            RegValue::String("/logs")),
              0);
    ASSERT_EQ(reg::SetValue(Hive::CurrentUser, "SOFTWARE\\vellora ltd.\\VELLORA\\general", "Play Sounds",
                            RegValue::DWord(1)),
              0);
    EXPECT_EQ(user.ReadHive("user.reg"),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Vellora Ltd.\\Vellora\\General]\n"
              "\"Log Folder\"=\"/logs\"\n\"Play Sounds\"=dword:00000001\n");

    RegValue value;
    EXPECT_EQ(reg::QueryValue(Hive::CurrentUser, "software\\vellora ltd.\\vellora\\General", "LOG FOLDER", value), 0);
    EXPECT_EQ(value, RegValue::String("/logs"));
    EXPECT_EQ(reg::QueryValue(Hive::LocalMachine, "Software\\Vellora Ltd.\\Vellora\\General", "Log Folder", value),
              ENOENT);
    EXPECT_EQ(reg::OpenKey(Hive::CurrentUser, "Software\\Vellora Ltd.", Access::Full), 0);
    EXPECT_EQ(reg::OpenKey(Hive::CurrentUser, "Software\\Other", Access::Read), ENOENT);
}

TEST(Registry, DamagedHiveReadsEmptyAndIsNeverOverwritten) {
    IsolatedUser user;
    const std::string damaged = "REGEDIT4\n[HKEY_CURRENT_USER\\Software]\n\"Job Folder\"=\"/jobs\n";
    user.WriteHive("user.reg", damaged);
    RegValue value;
    EXPECT_NE(reg::QueryValue(Hive::CurrentUser, "Software", "Job Folder", value), 0);
    EXPECT_NE(reg::OpenKey(Hive::CurrentUser, "Software", Access::Read), 0);
    EXPECT_NE(reg::CreateKey(Hive::CurrentUser, "Software\\New", Access::Read), 0);
    EXPECT_NE(reg::SetValue(Hive::CurrentUser, "Software", "Job Folder", RegValue::String("/x")), 0);
    EXPECT_EQ(user.ReadHive("user.reg"), damaged);
}

TEST(Registry, ReadOnlyHiveRefusesFullAccessAndWrites) {
    IsolatedUser user;
    const std::string text = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Vellora Ltd.\\Vellora\\General]\n";
    user.WriteHive("machine.reg", text);
    ASSERT_EQ(chmod(reg::HiveFilePath(Hive::LocalMachine).c_str(), 0444), 0);
    EXPECT_EQ(reg::OpenKey(Hive::LocalMachine, "Software\\Vellora Ltd.\\Vellora\\General", Access::Read), 0);
    EXPECT_EQ(reg::OpenKey(Hive::LocalMachine, "Software\\Vellora Ltd.\\Vellora\\General", Access::Full), EACCES);
    EXPECT_EQ(reg::SetValue(Hive::LocalMachine, "Software", "x", RegValue::DWord(1)), EACCES);
    EXPECT_EQ(user.ReadHive("machine.reg"), text);
}

TEST(Registry, WritersInSeveralProcessesLoseNothing) {
    IsolatedUser user;
    constexpr int kProcesses = 4;
    constexpr int kValues = 25;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < kValues; ++i)
                failures += reg::SetValue(Hive::CurrentUser, "Software\\Race",
                                          "p" + std::to_string(p) + "v" + std::to_string(i),
                                          RegValue::DWord(static_cast<uint32_t>(i))) != 0;
            _exit(failures ? 1 : 0);
        }
    }
    for (int p = 0; p < kProcesses; ++p) {
        int status = 0;
        wait(&status);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::vector<std::string> names;
    ASSERT_EQ(reg::EnumValueNames(Hive::CurrentUser, "Software\\Race", names), 0);
    EXPECT_EQ(names.size(), static_cast<size_t>(kProcesses * kValues));
}

TEST(Registry, CopyKeyTreeCopiesValuesAndSubKeysAcrossHives) {
    IsolatedUser user;
    user.WriteHive("default-user.reg",
                   "REGEDIT4\n\n[HKEY_USERS\\.DEFAULT\\AppEvents\\Schemes\\Apps\\VelBackup]\n@=\"Vellora\"\n"
                   "[HKEY_USERS\\.DEFAULT\\AppEvents\\Schemes\\Apps\\VelBackup\\VelBackupStart\\.Current]\n"
                   "@=\"/usr/share/sounds/start.oga\"\n\"Flags\"=hex:01,02\n");
    ASSERT_EQ(reg::CopyKeyTree(Hive::Users, ".DEFAULT\\AppEvents\\Schemes\\Apps\\VelBackup", Hive::CurrentUser,
                               "AppEvents\\Schemes\\Apps", "VelBackup"),
              0);
    RegValue value;
    ASSERT_EQ(reg::QueryValue(Hive::CurrentUser, "AppEvents\\Schemes\\Apps\\VelBackup\\VelBackupStart\\.Current",
                              "", value),
              0);
    EXPECT_EQ(value, RegValue::String("/usr/share/sounds/start.oga"));
    ASSERT_EQ(reg::QueryValue(Hive::CurrentUser, "AppEvents\\Schemes\\Apps\\VelBackup\\VelBackupStart\\.Current",
                              "Flags", value),
              0);
    EXPECT_EQ(value.type, platform::REG_BINARY);
    ASSERT_EQ(reg::QueryValue(Hive::CurrentUser, "AppEvents\\Schemes\\Apps\\VelBackup", "", value), 0);
    EXPECT_EQ(value, RegValue::String("Vellora"));

    EXPECT_EQ(reg::CopyKeyTree(Hive::Users, ".DEFAULT\\Missing", Hive::CurrentUser, "X", "Y"), ENOENT);
    EXPECT_EQ(reg::OpenKey(Hive::CurrentUser, "X", Access::Read), ENOENT);
}

TEST(Registry, CopyIntoItsOwnSourceSkipsTheCopy) {
    IsolatedUser user;
    user.WriteHive("user.reg",
                   "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\"a\"=dword:00000001\n"
                   "[HKEY_CURRENT_USER\\Software\\Tools]\n\"b\"=\"x\"\n"
                   "[HKEY_CURRENT_USER\\Software\\Backup Old]\n\"c\"=\"y\"\n");
    ASSERT_EQ(reg::CopyKeyTree(Hive::CurrentUser, "Software", Hive::CurrentUser, "software", "Backup"), 0);
    std::vector<std::string> names;
    ASSERT_EQ(reg::EnumSubKeys(Hive::CurrentUser, "Software\\Backup", names), 0);
    EXPECT_EQ(names, std::vector<std::string>{"Tools"});
    RegValue value;
    EXPECT_EQ(reg::QueryValue(Hive::CurrentUser, "Software\\Backup", "a", value), 0);
}
