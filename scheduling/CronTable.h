#pragma once

#include "scheduling/TaskFile.h"

#include <string>
#include <vector>

namespace scheduling {

// What a task's cron lines carry besides the runner and the job: where the
// settings and data were when the task was saved, and the session's
// runtime folder and bus, so that notifications reach the desktop.
struct CronEnvironment {
    std::vector<std::pair<std::string, std::string>> variables;
    // The variables of this process that a scheduled run needs.
    static CronEnvironment FromThisProcess();
};

// The marker every line of ours ends with.
std::string TaskMarker(const std::string& taskName);

// The crontab lines that run a task: one per time trigger, "@reboot" for
// start-up. Each runs `timeout` with the task's limit around the runner,
// which is told the task and the trigger, and the job as one argument.
// False, with the reason, when the task cannot be put into a crontab.
bool CronLines(const std::string& taskName, const Task& task, const CronEnvironment& environment,
               std::vector<std::string>& lines, std::string& error);

// The user's crontab, through the crontab program ($VELLORA_CRONTAB, else
// "crontab"). Only our own lines are ever changed; the edit holds a lock,
// gives up when the old crontab cannot be read (that is not an empty
// crontab), and reads the new one back.
class CronTable {
public:
    explicit CronTable(std::string lockFolder) : m_lockFolder(std::move(lockFolder)) {}

    // Puts the task's lines in place of the ones it had; an empty list
    // removes them. False with `error` set when the crontab was left as it was.
    bool SetTaskLines(const std::string& taskName, const std::vector<std::string>& lines, std::string& error);
    // The crontab's text; false when it cannot be read.
    static bool Read(std::string& text, std::string& error);

private:
    static bool Write(const std::string& text, std::string& error);
    std::string m_lockFolder;
};

// The XDG autostart entry that runs a task at logon.
std::string LogonEntryPath(const std::string& taskName);

}  // namespace scheduling
