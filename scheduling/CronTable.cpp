#include "scheduling/CronTable.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace scheduling {

namespace {

// Single quotes for the shell that cron starts; "%" is cron's line break.
std::string Quote(const std::string& value) {
    std::string out = "'";
    for (char c : value) {
        if (c == '\'') out += "'\\''";
        else if (c == '%') out += "\\%";
        else out += c;
    }
    return out + "'";
}

struct ProgramRun {
    int exitCode = -1;
    std::string out, err;
};

// Runs a program with `input` on its standard input and collects its output.
ProgramRun RunWithInput(const std::vector<std::string>& args, const std::string& input) {
    ProgramRun run;
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC)) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) {
        ::close(in[1]);
        ::close(out[0]);
        ::close(err[0]);
        run.err = std::strerror(spawned);
        return run;
    }
    platform::WriteAll(in[1], input);
    ::close(in[1]);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    int open = 2;
    while (open > 0 && ::poll(fds, 2, 60000) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0) ::close(f.fd);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string CrontabProgram() {
    const char* program = std::getenv("VELLORA_CRONTAB");
    return program && *program ? program : "crontab";
}

std::string List(unsigned mask, int count, int first) {
    std::string text;
    for (int i = 0; i < count; ++i)
        if (mask & (1u << i)) text += (text.empty() ? "" : ",") + std::to_string(i + first);
    return text;
}

// The cron time fields of a time trigger; what cron cannot say (intervals,
// start and end dates, a year) the runner decides from the task file.
std::string Schedule(const Trigger& t) {
    const std::string at = std::to_string(t.minute) + " " + std::to_string(t.hour) + " ";
    switch (t.kind) {
        case Trigger::kOnce: return at + std::to_string(t.start.day) + " " + std::to_string(t.start.month) + " *";
        case Trigger::kDaily: return at + "* * *";
        case Trigger::kWeekly: return at + "* * " + List(t.weekDays, 7, 0);
        case Trigger::kMonthly:
            return at + std::to_string(t.dayOfMonth) + " " + (t.months ? List(t.months, 12, 1) : "*") + " *";
        case Trigger::kAtStartup: return "@reboot";
        default: return "";
    }
}

}  // namespace

CronEnvironment CronEnvironment::FromThisProcess() {
    CronEnvironment environment;
    for (const char* name : {"VELLORA_REGISTRY_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR",
                             "DBUS_SESSION_BUS_ADDRESS", "HOME", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) environment.variables.emplace_back(name, value);
    }
    return environment;
}

std::string TaskMarker(const std::string& taskName) { return "# vellora-task " + taskName; }

bool CronLines(const std::string& taskName, const Task& task, const CronEnvironment& environment,
               std::vector<std::string>& lines, std::string& error) {
    lines.clear();
    for (const std::string* value : {&taskName, &task.application, &task.parameters, &task.workingFolder}) {
        if (value->find_first_of("\n\r") != std::string::npos) {
            error = "A line break in \"" + *value + "\" cannot be put into a crontab.";
            return false;
        }
    }
    if (!task.Enabled()) return true;
    for (size_t i = 0; i < task.triggers.size(); ++i) {
        const Trigger& t = task.triggers[i];
        if (t.kind == Trigger::kAtLogon) continue;
        std::string command = "VELLORA_TASK=" + Quote(taskName) + " VELLORA_TRIGGER=" + std::to_string(i);
        for (const auto& [name, value] : environment.variables) command += " " + name + "=" + Quote(value);
        const uint32_t seconds = std::max<uint32_t>(1, task.maxRunTimeMs / 1000);
        command += " timeout " + std::to_string(seconds) + " " + Quote(task.application) + " " + Quote(task.parameters);
        if (!task.workingFolder.empty()) command = "cd " + Quote(task.workingFolder) + " && " + command;
        lines.push_back(Schedule(t) + " " + command + " " + TaskMarker(taskName));
    }
    return true;
}

bool CronTable::Read(std::string& text, std::string& error) {
    const ProgramRun run = RunWithInput({CrontabProgram(), "-l"}, "");
    // crontab -l fails with "no crontab for <user>" when the user has none.
    if (run.exitCode == 1 && run.err.find("no crontab for") != std::string::npos) {
        text.clear();
        return true;
    }
    if (run.exitCode != 0) {
        error = "The crontab could not be read: " + (run.err.empty() ? "crontab failed" : run.err);
        while (!error.empty() && error.back() == '\n') error.pop_back();
        return false;
    }
    text = run.out;
    return true;
}

bool CronTable::Write(const std::string& text, std::string& error) {
    const ProgramRun run = RunWithInput({CrontabProgram(), "-"}, text);
    if (run.exitCode == 0) return true;
    error = "The crontab could not be written: " + (run.err.empty() ? "crontab failed" : run.err);
    while (!error.empty() && error.back() == '\n') error.pop_back();
    return false;
}

bool CronTable::SetTaskLines(const std::string& taskName, const std::vector<std::string>& lines, std::string& error) {
    platform::CreateFolderPath(m_lockFolder);
    const std::string lockPath = m_lockFolder + "/.crontab.lock";
    const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0) {
        error = "The crontab could not be locked: " + platform::GetSystemErrorText(errno);
        if (lock >= 0) ::close(lock);
        return false;
    }
    std::string old;
    bool ok = Read(old, error);
    if (ok) {
        const std::string marker = " " + TaskMarker(taskName);
        std::string updated;
        size_t start = 0;
        while (start < old.size()) {
            size_t end = old.find('\n', start);
            if (end == std::string::npos) end = old.size();
            const std::string line = old.substr(start, end - start);
            start = end + 1;
            const bool ours = line.size() >= marker.size() &&
                              line.compare(line.size() - marker.size(), marker.size(), marker) == 0;
            if (!ours) updated += line + "\n";
        }
        for (const auto& line : lines) updated += line + "\n";
        std::string check;
        ok = updated == old || (Write(updated, error) && Read(check, error));
        if (ok && updated != old && check != updated) {
            error = "The crontab read back is not the one written.";
            ok = false;
        }
    }
    ::flock(lock, LOCK_UN);
    ::close(lock);
    return ok;
}

std::string LogonEntryPath(const std::string& taskName) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const std::string folder = config && *config ? config : std::string(home ? home : "") + "/.config";
    return folder + "/autostart/vellora-task-" + taskName + ".desktop";
}

}  // namespace scheduling
