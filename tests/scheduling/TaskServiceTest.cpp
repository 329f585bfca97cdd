#include "scheduling/SchedulerTask.h"

#include "platform/FileSystem.h"
#include "tests/support/InstalledMessages.h"
#include "tests/support/IsolatedUser.h"
#include "tests/support/Process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

using namespace scheduling;
using testsupport::ReadFile;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

// A crontab program that keeps the table in a file, as the real one does
// for the user; "broken" makes reading fail.
class FileCrontab : public ::testing::Test {
protected:
    testsupport::IsolatedUser user;
    testsupport::InstalledMessages messages;
    std::string table, program;

    void SetUp() override {
        table = user.Root() + "/crontab";
        program = user.Root() + "/crontab.sh";
        WriteFile(program,
                  "#!/bin/sh\n"
                  "table='" + table + "'\n"
                  "[ -e \"$table.broken\" ] && [ \"$1\" = -l ] && { echo 'crontab: cannot read' >&2; exit 2; }\n"
                  "if [ \"$1\" = -l ]; then\n"
                  "  [ -e \"$table\" ] || { echo 'no crontab for ann' >&2; exit 1; }\n"
                  "  cat \"$table\"\n"
                  "elif [ \"$1\" = - ]; then\n"
                  "  cat > \"$table\"\n"
                  "fi\n");
        ::chmod(program.c_str(), 0755);
        setenv("VELLORA_CRONTAB", program.c_str(), 1);
    }
    void TearDown() override { unsetenv("VELLORA_CRONTAB"); }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        const std::string text = fs::exists(table) ? ReadFile(table) : "";
        size_t start = 0;
        for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
            lines.push_back(text.substr(start, nl - start));
        return lines;
    }
    static Task Daily(const std::string& runner, const std::string& job) {
        Task task;
        task.application = runner;
        task.parameters = job;
        Trigger t;
        EXPECT_TRUE(ParseTrigger("weekly:mon,fri@18:30", t));
        t.start = {2026, 12, 10};
        task.triggers.push_back(t);
        EXPECT_TRUE(ParseTrigger("startup", t));
        task.triggers.push_back(t);
        return task;
    }
};

TEST_F(FileCrontab, OnlyOurOwnLinesChange) {
    WriteFile(table, "MAILTO=ann\n0 5 * * * /usr/bin/backup-mail # mine\n1 1 * * * other # vellora-task Other.vlj.job\n");
    CronTable cron(user.Root() + "/tasks");
    std::vector<std::string> lines;
    std::string error;
    ASSERT_TRUE(CronLines("Daily.vlj.job", Daily("/usr/bin/gorvex", "/home/ann/Daily.vlj"), {}, lines, error)) << error;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("30 18 * * 1,5 VELLORA_TASK='Daily.vlj.job' VELLORA_TRIGGER=0 timeout 259200 ", 0), 0u)
        << lines[0];
    EXPECT_EQ(lines[1].rfind("@reboot ", 0), 0u) << lines[1];
    ASSERT_TRUE(cron.SetTaskLines("Daily.vlj.job", lines, error)) << error;
    const auto written = Lines();
    ASSERT_EQ(written.size(), 5u);
    EXPECT_EQ(written[0], "MAILTO=ann");
    EXPECT_EQ(written[2], "1 1 * * * other # vellora-task Other.vlj.job");
    EXPECT_EQ(written[3], lines[0]);
    // Again with other lines: ours are replaced, not added.
    ASSERT_TRUE(cron.SetTaskLines("Daily.vlj.job", {lines[1]}, error)) << error;
    EXPECT_EQ(Lines().size(), 4u);
    ASSERT_TRUE(cron.SetTaskLines("Daily.vlj.job", {}, error)) << error;
    EXPECT_EQ(Lines(), (std::vector<std::string>{"MAILTO=ann", "0 5 * * * /usr/bin/backup-mail # mine",
                                                 "1 1 * * * other # vellora-task Other.vlj.job"}));
    // No crontab yet is an empty one.
    fs::remove(table);
    ASSERT_TRUE(cron.SetTaskLines("Daily.vlj.job", lines, error)) << error;
    EXPECT_EQ(Lines().size(), 2u);
}

TEST_F(FileCrontab, ACrontabThatCannotBeReadIsNeverReplaced) {
    WriteFile(table, "0 5 * * * /usr/bin/backup-mail\n");
    WriteFile(table + ".broken", "");
    std::string error;
    EXPECT_FALSE(CronTable(user.Root()).SetTaskLines("Daily.vlj.job", {"@reboot x # vellora-task Daily.vlj.job"}, error));
    EXPECT_EQ(error, "The crontab could not be read: crontab: cannot read");
    EXPECT_EQ(ReadFile(table), "0 5 * * * /usr/bin/backup-mail\n");
}

TEST_F(FileCrontab, AJobPathReachesTheRunnerAsOneArgument) {
    // A stand-in runner that prints its arguments and the task it was told.
    const std::string runner = user.Root() + "/bin dir/gorvex";
    WriteFile(runner, "#!/bin/sh\nprintf '%s|' \"$VELLORA_TASK\" \"$VELLORA_TRIGGER\" \"$#\" \"$@\"\n");
    ::chmod(runner.c_str(), 0755);
    for (const std::string& job :
         std::vector<std::string>{user.Root() + "/my jobs/Daily's 100%.vlj", user.Root() + "/a\"b$HOME`x`.vlj"}) {
        std::vector<std::string> lines;
        std::string error;
        ASSERT_TRUE(CronLines("Task 50%.job", Daily(runner, job), {}, lines, error)) << error;
        // What cron runs: the command after the five time fields, with "\%" back to "%".
        std::string command = lines[0];
        for (int field = 0; field < 5; ++field) command = command.substr(command.find(' ') + 1);
        command = command.substr(0, command.rfind(" # vellora-task "));
        for (size_t at; (at = command.find("\\%")) != std::string::npos;) command.replace(at, 2, "%");
        const auto run = testsupport::RunProgram("sh", {"-c", command});
        EXPECT_EQ(run.out, "Task 50%.job|0|1|" + job + "|") << command;
    }
    std::vector<std::string> lines;
    std::string error;
    EXPECT_FALSE(CronLines("Daily.job", Daily(runner, "/jobs/two\nlines.vlj"), {}, lines, error));
    EXPECT_NE(error.find("line break"), std::string::npos);
}

TEST(TaskFile, WrittenAndReadBackWithEveryField) {
    Task task;
    task.application = "/usr/bin/gorvex";
    task.parameters = "/home/ann/Jobs/Daily.vlj";
    task.workingFolder = "/usr/bin";
    task.comment = "nightly\nwith a second line \\ and a backslash";
    task.flags = kTaskFlagRunOnlyIfLoggedOn | kTaskFlagDisabled;
    task.maxRunTimeMs = kSavedMaxRunTime;
    Trigger t;
    ASSERT_TRUE(ParseTrigger("monthly:1:jan,jul@06:00", t));
    t.start = {2026, 12, 10};
    t.end = Date{2027, 12, 31};
    task.triggers = {t};
    ASSERT_TRUE(ParseTrigger("logon", t));
    task.triggers.push_back(t);
    task.lastRun = 1796900000;
    task.lastResult = 1;
    Task back;
    std::string error;
    ASSERT_TRUE(DecodeTask(EncodeTask(task), back, error)) << error;
    EXPECT_EQ(EncodeTask(back), EncodeTask(task));
    EXPECT_EQ(back.comment, task.comment);
    EXPECT_EQ(back.triggers, task.triggers);

    for (const std::string& damaged :
         std::vector<std::string>{"not a task", EncodeTask(task) + "trigger=fortnightly@08:00\n",
                                  EncodeTask(task) + "flags=lots\n", EncodeTask(task) + "mystery=1\n"}) {
        EXPECT_FALSE(DecodeTask(damaged, back, error)) << damaged;
        EXPECT_TRUE(back.triggers.empty());
        EXPECT_FALSE(error.empty());
    }
}

TEST(TaskFile, StatusFollowsTheTable) {
    const time_t now = 1796900000;
    Trigger daily;
    ASSERT_TRUE(ParseTrigger("daily@18:00", daily));
    daily.start = {2026, 1, 1};
    Trigger past;
    ASSERT_TRUE(ParseTrigger("once:2026-01-01@08:00", past));
    struct Case {
        const char* what;
        std::function<void(Task&)> change;
        uint32_t status;
    };
    const Case cases[] = {
        {"no triggers", [](Task&) {}, kStatusNoValidTriggers},
        {"never ran", [&](Task& t) { t.triggers = {daily}; }, kStatusHasNotRun},
        {"ran", [&](Task& t) { t.triggers = {daily}; t.lastRun = now - 60; }, kStatusReady},
        {"killed", [&](Task& t) { t.triggers = {daily}; t.lastRun = now - 60; t.lastResult = kResultTerminated; },
         kStatusTerminated},
        {"disabled", [&](Task& t) { t.triggers = {daily}; t.flags = kTaskFlagDisabled; }, kStatusDisabled},
        {"running", [&](Task& t) { t.triggers = {daily}; t.runningPid = static_cast<int>(::getpid()); }, kStatusRunning},
        {"runner gone", [&](Task& t) { t.triggers = {daily}; t.runningPid = 999999; }, kStatusHasNotRun},
        {"over, ran", [&](Task& t) { t.triggers = {past}; t.lastRun = now - 60; }, kStatusNoMoreRuns},
        {"over, never ran", [&](Task& t) { t.triggers = {past}; }, kStatusNotScheduled},
    };
    for (const Case& c : cases) {
        Task task;
        c.change(task);
        EXPECT_EQ(TaskStatusAt(task, now), c.status) << c.what;
    }
}

TEST_F(FileCrontab, TheTaskOfAJobFromOpeningToDeleting) {
    const std::string job = user.Root() + "/Jobs/Daily.vlj";
    WriteFile(job, "job");
    CSchedulerTask scheduler;
    scheduler.m_now = [] { return time_t{1796900000}; };
    EXPECT_EQ(CSchedulerTask::DefaultTaskName(job), "Daily.vlj.job");
    EXPECT_EQ(CSchedulerTask::DefaultTaskName(""), "");
    EXPECT_FALSE(scheduler.OpenTask("Daily.vlj.job", job, false));
    ASSERT_TRUE(scheduler.OpenTask("Daily.vlj.job", job, true)) << scheduler.LastError();
    const std::string file = CSchedulerTask::GetTasksFolder() + "/Daily.vlj.job";
    EXPECT_EQ(file, user.AppData() + "/Tasks/Daily.vlj.job");
    Task stored;
    ASSERT_TRUE(LoadTask(file, stored));
    EXPECT_EQ(stored.parameters, job);
    EXPECT_EQ(stored.flags, kTaskFlagRunOnlyIfLoggedOn);
    EXPECT_EQ(stored.maxRunTimeMs, kSavedMaxRunTime);
    EXPECT_EQ(scheduler.GetStatus(), kStatusNoValidTriggers);
    EXPECT_EQ(scheduler.GetTriggerCount(), 0);
    EXPECT_FALSE(scheduler.GetLastRunTime());

    scheduler.m_modify = [](Task& task) {
        Trigger t;
        ParseTrigger("daily@18:00", t);
        t.start = {2026, 12, 1};
        task.triggers = {t};
        return true;
    };
    ASSERT_TRUE(scheduler.ModifySchedules()) << scheduler.LastError();
    EXPECT_EQ(scheduler.GetTriggerCount(), 1);
    EXPECT_EQ(scheduler.GetStatus(), kStatusHasNotRun);
    EXPECT_TRUE(scheduler.GetNextRunTime());
    ASSERT_EQ(Lines().size(), 1u);
    ASSERT_TRUE(scheduler.SetEnabled(false));
    EXPECT_EQ(scheduler.GetStatus(), kStatusDisabled);
    EXPECT_TRUE(Lines().empty());  // a disabled task has no lines
    ASSERT_TRUE(scheduler.SetEnabled(true));
    EXPECT_EQ(Lines().size(), 1u);

    // The runner's records are its own: saving keeps them.
    ASSERT_TRUE(LoadTask(file, stored));
    stored.lastRun = 1796890000;
    stored.lastResult = 0;
    ASSERT_EQ(StoreTask(file, stored), 0);
    ASSERT_TRUE(scheduler.SetComment("nightly"));
    ASSERT_TRUE(scheduler.SaveTask());
    ASSERT_TRUE(LoadTask(file, stored));
    EXPECT_EQ(stored.lastRun, 1796890000);
    EXPECT_EQ(stored.comment, "nightly");
    EXPECT_EQ(scheduler.GetStatus(), kStatusReady);
    EXPECT_EQ(scheduler.GetLastRunTime(), time_t{1796890000});

    ASSERT_TRUE(scheduler.DeleteTask());
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(Lines().empty());
}

TEST_F(FileCrontab, ADamagedTaskFileIsNeverOverwritten) {
    const std::string file = CSchedulerTask::GetTasksFolder() + "/Daily.vlj.job";
    WriteFile(file, "# Vellora task\ntrigger=whenever\n");
    CSchedulerTask scheduler;
    EXPECT_FALSE(scheduler.OpenTask("Daily.vlj.job", user.Root() + "/Daily.vlj", true));
    EXPECT_NE(scheduler.LastError().find("damaged"), std::string::npos);
    EXPECT_EQ(ReadFile(file), "# Vellora task\ntrigger=whenever\n");
}

TEST_F(FileCrontab, VelloraJobSchedulesAndTellsTheStatus) {
    setenv("LC_ALL", "C", 1);
    const std::string job = user.Root() + "/Daily.vlj";
    auto tool = [&](std::vector<std::string> args) { return testsupport::RunProgram(VELLORA_JOB_TOOL, args); };
    ASSERT_EQ(tool({"new", job}).exitCode, 0);
    EXPECT_EQ(tool({"schedule", job, "fortnightly@08:00"}).exitCode, 2);
    auto run = tool({"schedule", job, "weekly:mon,tue,wed,thu,fri@18:00", "startup", "logon"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(Lines().size(), 2u);
    EXPECT_EQ(Lines()[0].rfind("0 18 * * 1,2,3,4,5 ", 0), 0u) << Lines()[0];
    EXPECT_NE(Lines()[0].find("'" + job + "' # vellora-task Daily.vlj.job"), std::string::npos) << Lines()[0];
    EXPECT_TRUE(fs::exists(LogonEntryPath("Daily.vlj.job")));
    EXPECT_NE(tool({"show", job}).out.find("\"m_strTaskName\":\"Daily.vlj.job\""), std::string::npos);

    run = tool({"status", job});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string start = [] {
        char text[16];
        const time_t now = time(nullptr);
        std::tm local {};
        localtime_r(&now, &local);
        std::strftime(text, sizeof text, "%m/%d/%Y", &local);
        return std::string(text);
    }();
    EXPECT_EQ(run.out.rfind("Task: Daily.vlj.job\nStatus: Has not run !\nLast: Never\nNext: ", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("\nTrigger: At 18:00 every Mon, Tue, Wed, Thu, Fri of every week, starting " + start +
                           "\nTrigger: Run at system startup\nTrigger: Run at user logon\n"),
              std::string::npos)
        << run.out;

    run = tool({"schedule", job, "--off"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Lines().empty());
    EXPECT_FALSE(fs::exists(CSchedulerTask::GetTasksFolder() + "/Daily.vlj.job"));
    EXPECT_FALSE(fs::exists(LogonEntryPath("Daily.vlj.job")));
    EXPECT_EQ(tool({"status", job}).out, "Task: none\n");
    unsetenv("LC_ALL");
}

}  // namespace
