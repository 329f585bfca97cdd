#include "jobmodel/SettingsRegistry.h"
#include "platform/FileSystem.h"
#include "scheduling/SchedulerTask.h"
#include "tests/support/IsolatedUser.h"
#include "tests/support/Process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <unistd.h>

using namespace scheduling;
namespace fs = std::filesystem;

namespace {

bool CronRuns() {
    return testsupport::RunProgram("sh", {"-c", "grep -qx -e cron -e crond /proc/[0-9]*/comm"}).exitCode == 0;
}

// The whole way, with the system's own cron daemon and the user's real
// crontab: vellora-job schedules a job for the coming minute, cron starts
// the runner, the runner backs up and records its run in the task.
TEST(RealCron, ADaemonStartsAScheduledBackup) {
    if (::geteuid() != 0 || !fs::exists("/usr/sbin/cron"))
        GTEST_SKIP() << "needs root and the cron daemon (installed by scripts/setup.sh)";
    if (!CronRuns()) {
        ASSERT_EQ(testsupport::RunProgram("/usr/sbin/cron", {}).exitCode, 0);
    }
    ASSERT_TRUE(CronRuns());
    testsupport::IsolatedUser user;
    unsetenv("VELLORA_CRONTAB");

    // The programs as an installation has them: side by side, registered.
    const std::string bin = user.Root() + "/bin";
    fs::create_directories(bin);
    fs::create_symlink(GORVEX_PROGRAM, bin + "/gorvex");
    ASSERT_EQ(jobmodel::RegisterProgramPaths(bin), 0);
    const std::string data = user.Root() + "/data", job = user.Root() + "/Nightly.vlj";
    const std::string backup = user.Root() + "/backups/Nightly.velarc";
    testsupport::WriteFile(data + "/ann.txt", "Dear Ann,\n");
    auto tool = [](std::vector<std::string> args) { return testsupport::RunProgram(VELLORA_JOB_TOOL, args); };
    ASSERT_EQ(tool({"new", job}).exitCode, 0);
    ASSERT_EQ(tool({"add", job, "6", data}).exitCode, 0);
    ASSERT_EQ(tool({"set", job, "m_strBackupFile=" + backup}).exitCode, 0);

    // The coming minute, with time to spare for writing the crontab.
    time_t when = std::time(nullptr) + 60;
    std::tm local {};
    localtime_r(&when, &local);
    if (local.tm_sec > 45) {
        when += 60;
        localtime_r(&when, &local);
    }
    char trigger[64];
    std::strftime(trigger, sizeof trigger, "once:%Y-%m-%d@%H:%M", &local);
    const auto scheduled = tool({"schedule", job, trigger});
    ASSERT_EQ(scheduled.exitCode, 0) << scheduled.err;

    const std::string taskFile = CSchedulerTask::GetTasksFolder() + "/Nightly.vlj.job";
    Task task;
    for (int wait = 0; wait < 150 && !(LoadTask(taskFile, task) && task.lastRun && !task.runningPid); ++wait)
        std::this_thread::sleep_for(std::chrono::seconds(1));
    const std::string crontab = testsupport::RunProgram("crontab", {"-l"}).out;
    EXPECT_EQ(tool({"schedule", job, "--off"}).exitCode, 0);
    EXPECT_NE(task.lastRun, 0) << "cron did not start the runner; the crontab was:\n" << crontab;
    EXPECT_EQ(task.lastResult, 0);
    EXPECT_EQ(testsupport::RunProgram("unzip", {"-tq", backup}).exitCode, 0);
    EXPECT_EQ(testsupport::RunProgram("crontab", {"-l"}).out.find("# vellora-task Nightly.vlj.job"), std::string::npos);
}

}  // namespace
