#include "scheduling/SchedulerTask.h"

#include "jobmodel/SettingsRegistry.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "platform/ProgramStart.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

namespace scheduling {

namespace {

bool CronDaemonRuns() {
    DIR* proc = ::opendir("/proc");
    if (!proc) return false;
    bool found = false;
    while (dirent* e = ::readdir(proc)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
        std::string comm;
        if (platform::ReadWholeFile(std::string("/proc/") + e->d_name + "/comm", comm) != 0) continue;
        while (!comm.empty() && comm.back() == '\n') comm.pop_back();
        if (comm == "cron" || comm == "crond") {
            found = true;
            break;
        }
    }
    ::closedir(proc);
    return found;
}

std::string Quoted(const std::string& value) {
    std::string out = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\' || c == '`' || c == '$') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

int CSchedulerTask::EnsureSchedulerRunning() {
    if (CronDaemonRuns()) return 0;
    if (!m_interactive) return ESRCH;
    if (platform::Tell("Scheduler Not Running!\nDo you wish to start the Scheduler ?",
                       platform::MB_YESNO | platform::MB_ICONQUESTION) != platform::IDYES)
        return 0;
    const int status = std::system("systemctl start cron >/dev/null 2>&1");
    if (status == 0) return 0;
    const int error = WIFEXITED(status) && WEXITSTATUS(status) == 127 ? ENOENT : EPERM;
    platform::Tell("The cron service could not be started: " + platform::GetSystemErrorText(error),
                   platform::MB_ICONSTOP);
    return error;
}

bool CSchedulerTask::Connect() {
    if (!m_connected) EnsureSchedulerRunning();
    m_connected = true;
    return true;
}

std::string CSchedulerTask::GetTasksFolder() {
    std::string folder = jobmodel::GetTasksFolder();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string CSchedulerTask::DefaultTaskName(const std::string& jobPath) {
    const std::string name = platform::FileNamePart(jobPath);
    return name.empty() ? "" : name + ".job";
}

void CSchedulerTask::Reset() {
    m_open = false;
    m_dirty = false;
    m_name.clear();
    m_task = Task();
}

bool CSchedulerTask::OpenTask(const std::string& givenName, const std::string& jobPath, bool create) {
    if (!m_connected && !Connect()) return false;
    const std::string name = platform::FileNamePart(givenName);
    if (m_open && ::strcasecmp(name.c_str(), m_name.c_str()) == 0) return true;
    Reset();
    if (name.empty() || jobPath.empty()) {
        m_error = "The task has no name or no job.";
        return false;
    }
    std::string runner = jobmodel::GetRunnerPath(false);
    std::string folder = jobmodel::GetRunnerFolder();
    if (runner.empty()) {
        // Not registered: the runner installed beside this program.
        folder = platform::ProgramFolder();
        runner = folder + "/gorvex";
        if (!platform::PathExists(runner)) {
            runner = "gorvex";
            folder.clear();
        }
    }
    Task task;
    bool damaged = false;
    const bool exists = LoadTask(PathOf(name), task, &damaged);
    if (damaged) {
        // Never overwritten unasked: the user may want what it holds.
        m_error = "The task file " + PathOf(name) + " is damaged.";
        return false;
    }
    if (!exists) {
        if (!create) {
            m_error = "There is no task " + name + ".";
            return false;
        }
        task = Task();
        task.flags |= kTaskFlagRunOnlyIfLoggedOn;
    }
    task.application = runner;
    task.parameters = jobPath;
    task.workingFolder = folder;
    m_task = task;
    m_name = name;
    m_open = true;
    m_dirty = !exists;
    if (!SaveTask()) {
        Reset();
        return false;
    }
    return true;
}

bool CSchedulerTask::SaveTask() {
    if (!m_open) return true;
    m_task.maxRunTimeMs = kSavedMaxRunTime;
    // The runner records its runs in the file: those fields are its.
    Task stored;
    if (LoadTask(PathOf(m_name), stored)) {
        m_task.runningPid = stored.runningPid;
        m_task.lastRun = stored.lastRun;
        m_task.lastResult = stored.lastResult;
        m_dirty = m_dirty || EncodeTask(stored) != EncodeTask(m_task);
    } else {
        m_dirty = true;
    }
    if (m_dirty) {
        platform::CreateFolderPath(GetTasksFolder());
        if (int err = StoreTask(PathOf(m_name), m_task)) {
            m_error = "The task file " + PathOf(m_name) + " could not be written: " + platform::GetSystemErrorText(err);
            return false;
        }
        m_dirty = false;
    }
    return Install();
}

bool CSchedulerTask::Install() {
    std::vector<std::string> lines;
    if (!CronLines(m_name, m_task, CronEnvironment::FromThisProcess(), lines, m_error)) return false;
    if (!CronTable(GetTasksFolder()).SetTaskLines(m_name, lines, m_error)) return false;
    bool atLogon = false;
    for (const Trigger& t : m_task.triggers) atLogon = atLogon || t.kind == Trigger::kAtLogon;
    const std::string entry = LogonEntryPath(m_name);
    if (!atLogon || !m_task.Enabled()) {
        ::unlink(entry.c_str());
        return true;
    }
    platform::CreateFolderPath(platform::FolderPart(entry));
    const std::string text = "[Desktop Entry]\nType=Application\nName=Vellora backup " + m_name +
                             "\nExec=env VELLORA_TASK=" + Quoted(m_name) + " " + Quoted(m_task.application) + " " +
                             Quoted(m_task.parameters) + "\nNoDisplay=true\nX-GNOME-Autostart-enabled=true\n";
    if (int err = platform::WriteFileAtomically(entry, text)) {
        m_error = "The logon entry " + entry + " could not be written: " + platform::GetSystemErrorText(err);
        return false;
    }
    return true;
}

bool CSchedulerTask::DeleteTask() {
    if (m_name.empty()) return true;
    const std::string name = m_name;
    Reset();
    ::unlink(LogonEntryPath(name).c_str());
    if (!CronTable(GetTasksFolder()).SetTaskLines(name, {}, m_error)) return false;
    if (::unlink(PathOf(name).c_str()) != 0 && errno != ENOENT) {
        m_error = platform::GetSystemErrorText(errno);
        return false;
    }
    return true;
}

bool CSchedulerTask::RenameTask(const std::string& newName) {
    if (!m_open || !SaveTask()) return false;
    if (::rename(PathOf(m_name).c_str(), PathOf(newName).c_str()) != 0) {
        m_error = "The task file could not be renamed: " + platform::GetSystemErrorText(errno);
        return false;
    }
    ::unlink(LogonEntryPath(m_name).c_str());
    if (!CronTable(GetTasksFolder()).SetTaskLines(m_name, {}, m_error)) return false;
    m_name = platform::FileNamePart(newName);
    return SaveTask();
}

bool CSchedulerTask::SetComment(const std::string& comment) {
    if (!m_open) return false;
    if (m_task.comment != comment) m_dirty = true;
    m_task.comment = comment;
    return true;
}

bool CSchedulerTask::IsEnabled() const { return m_open && m_task.Enabled(); }

bool CSchedulerTask::SetEnabled(bool enabled) {
    if (!m_open) return false;
    const uint32_t flags = enabled ? m_task.flags & ~kTaskFlagDisabled : m_task.flags | kTaskFlagDisabled;
    m_dirty = m_dirty || flags != m_task.flags;
    m_task.flags = flags;
    return SaveTask();
}

std::optional<uint32_t> CSchedulerTask::GetStatus() const {
    if (!m_open) return std::nullopt;
    Task current = m_task;
    Task stored;
    if (LoadTask(PathOf(m_name), stored)) {
        current.runningPid = stored.runningPid;
        current.lastRun = stored.lastRun;
        current.lastResult = stored.lastResult;
    }
    return TaskStatusAt(current, m_now());
}

std::optional<time_t> CSchedulerTask::GetLastRunTime() const {
    Task stored;
    if (!m_open || !LoadTask(PathOf(m_name), stored) || stored.lastRun == 0) return std::nullopt;
    return stored.lastRun;
}

std::optional<time_t> CSchedulerTask::GetNextRunTime() const {
    if (!m_open || !m_task.Enabled()) return std::nullopt;
    return NextRunTime(m_task, m_now());
}

int CSchedulerTask::GetTriggerCount() const { return m_open ? static_cast<int>(m_task.triggers.size()) : 0; }

std::string CSchedulerTask::GetTriggerString(int index) const {
    if (!m_open || index < 0 || index >= GetTriggerCount()) return "";
    return TriggerString(m_task.triggers[static_cast<size_t>(index)]);
}

bool CSchedulerTask::ModifySchedules() {
    if (!m_open || !m_modify) return false;
    Task edited = m_task;
    if (!m_modify(edited)) return true;
    m_dirty = m_dirty || EncodeTask(edited) != EncodeTask(m_task);
    m_task = edited;
    return SaveTask();
}

}  // namespace scheduling
