#pragma once

#include "scheduling/CronTable.h"
#include "scheduling/TaskFile.h"

#include <ctime>
#include <functional>
#include <optional>
#include <string>

namespace scheduling {

inline constexpr uint32_t kSavedMaxRunTime = 10800000;  // 3 hours, in ms

// A job's scheduled task: its task file in the tasks folder, installed
// into the user's crontab while it is enabled. Each operation returns true
// on success.
class CSchedulerTask {
public:
    // Whether cron runs; when it does not, asks whether to start it and
    // asks the init system. 0, or an errno when starting failed.
    int EnsureSchedulerRunning();
    bool Connect();
    // Opens the task of `name` (made when missing and `create`), pointing
    // it at the runner with the job as its argument, and stores it.
    bool OpenTask(const std::string& name, const std::string& jobPath, bool create);
    bool SaveTask();
    bool DeleteTask();
    // Stores the open task under another name, its crontab lines with it.
    bool RenameTask(const std::string& newName);
    // Forgets the open task and its name.
    void Reset();
    bool SetComment(const std::string& comment);
    bool IsEnabled() const;
    // Stores the task at once.
    bool SetEnabled(bool enabled);
    std::optional<uint32_t> GetStatus() const;
    std::optional<time_t> GetLastRunTime() const;
    std::optional<time_t> GetNextRunTime() const;
    int GetTriggerCount() const;
    std::string GetTriggerString(int index) const;
    // Shows the "Modify Schedule(s)" dialog, which `m_modify` opens.
    bool ModifySchedules();
    static std::string GetTasksFolder();
    static std::string DefaultTaskName(const std::string& jobPath);

    bool HasOpenTask() const { return m_open; }
    const std::string& OpenName() const { return m_name; }
    Task& OpenedTask() { return m_task; }
    // Why the last operation failed.
    const std::string& LastError() const { return m_error; }

    // Edits a task in the schedule dialog; true when the user kept the changes.
    std::function<bool(Task&)> m_modify;
    // Asks before starting cron; a program without a user to ask only
    // learns that it does not run.
    bool m_interactive = true;
    // The moment status and next runs are computed for; tests fix it.
    std::function<time_t()> m_now = [] { return std::time(nullptr); };

private:
    std::string PathOf(const std::string& name) const { return GetTasksFolder() + "/" + name; }
    // Puts the task's crontab lines and logon entry in place of the old ones.
    bool Install();

    bool m_connected = false;
    bool m_open = false;
    bool m_dirty = false;
    std::string m_name;
    Task m_task;
    std::string m_error;
};

}  // namespace scheduling
