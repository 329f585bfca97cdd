#include "scheduling/TaskFile.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace scheduling {

namespace {

constexpr const char* kHeader = "# Vellora task";

// Values are one line each: backslashes and line ends are escaped.
std::string Escape(const std::string& value) {
    std::string out;
    for (char c : value) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

std::string Unescape(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const char next = value[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

bool ParseUnsigned(const std::string& text, uint64_t& out) {
    if (text.empty() || text.size() > 19) return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    out = value;
    return true;
}

// "weekly:mon@18:00 start=2026-12-10 end=2027-01-31"
bool ParseTriggerLine(const std::string& line, Trigger& t) {
    size_t space = line.find(' ');
    if (!ParseTrigger(line.substr(0, space), t)) return false;
    while (space != std::string::npos) {
        const size_t next = line.find(' ', space + 1);
        const std::string field = line.substr(space + 1, next == std::string::npos ? std::string::npos : next - space - 1);
        space = next;
        Date date;
        if (field.rfind("start=", 0) == 0 && ParseDate(field.substr(6), date)) t.start = date;
        else if (field.rfind("end=", 0) == 0 && ParseDate(field.substr(4), date)) t.end = date;
        else return false;
    }
    return true;
}

bool ProcessAlive(int pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); }

}  // namespace

std::string EncodeTask(const Task& task) {
    std::string text = std::string(kHeader) + "\n";
    text += "application=" + Escape(task.application) + "\n";
    text += "parameters=" + Escape(task.parameters) + "\n";
    text += "folder=" + Escape(task.workingFolder) + "\n";
    text += "comment=" + Escape(task.comment) + "\n";
    text += "flags=" + std::to_string(task.flags) + "\n";
    text += "maxruntime=" + std::to_string(task.maxRunTimeMs) + "\n";
    for (const Trigger& t : task.triggers) {
        text += "trigger=" + FormatTrigger(t);
        if (t.Timed() && t.kind != Trigger::kOnce && t.start.Valid()) text += " start=" + DateText(t.start);
        if (t.end) text += " end=" + DateText(*t.end);
        text += "\n";
    }
    if (task.runningPid) text += "running=" + std::to_string(task.runningPid) + "\n";
    text += "lastrun=" + std::to_string(static_cast<long long>(task.lastRun)) + "\n";
    text += "lastresult=" + std::to_string(task.lastResult) + "\n";
    return text;
}

bool DecodeTask(const std::string& text, Task& task, std::string& error) {
    task = Task();
    size_t start = 0;
    int number = 0;
    bool headerSeen = false;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (number == 1) {
            headerSeen = line == kHeader;
            if (!headerSeen) break;
            continue;
        }
        if (line.empty() || line[0] == '#') continue;
        const size_t equals = line.find('=');
        const std::string key = line.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
        uint64_t n = 0;
        bool ok = equals != std::string::npos;
        if (key == "application") task.application = Unescape(value);
        else if (key == "parameters") task.parameters = Unescape(value);
        else if (key == "folder") task.workingFolder = Unescape(value);
        else if (key == "comment") task.comment = Unescape(value);
        else if (key == "flags" && (ok = ParseUnsigned(value, n) && n <= UINT32_MAX)) task.flags = static_cast<uint32_t>(n);
        else if (key == "maxruntime" && (ok = ParseUnsigned(value, n) && n <= UINT32_MAX))
            task.maxRunTimeMs = static_cast<uint32_t>(n);
        else if (key == "running" && (ok = ParseUnsigned(value, n) && n <= INT32_MAX)) task.runningPid = static_cast<int>(n);
        else if (key == "lastrun" && (ok = ParseUnsigned(value, n))) task.lastRun = static_cast<time_t>(n);
        else if (key == "lastresult") {
            char* after = nullptr;
            const long result = std::strtol(value.c_str(), &after, 10);
            ok = !value.empty() && after && *after == '\0';
            if (ok) task.lastResult = static_cast<int>(result);
        } else if (key == "trigger") {
            Trigger t;
            ok = ParseTriggerLine(value, t);
            if (ok) task.triggers.push_back(t);
        } else {
            ok = false;
        }
        if (!ok) {
            error = "line " + std::to_string(number) + " is not understood: " + line;
            task.triggers.clear();
            return false;
        }
    }
    if (!headerSeen) {
        error = "it is not a Vellora task file";
        task = Task();
        return false;
    }
    return true;
}

std::optional<time_t> NextRunTime(const Task& task, time_t now) {
    std::optional<time_t> next;
    for (const Trigger& t : task.triggers)
        if (auto when = NextRun(t, now); when && (!next || *when < *next)) next = when;
    return next;
}

uint32_t TaskStatusAt(const Task& task, time_t now) {
    if (ProcessAlive(task.runningPid)) return kStatusRunning;
    if (!task.Enabled()) return kStatusDisabled;
    if (task.triggers.empty()) return kStatusNoValidTriggers;
    bool untimed = false;
    for (const Trigger& t : task.triggers) untimed = untimed || !t.Timed();
    if (!untimed && !NextRunTime(task, now)) return task.lastRun ? kStatusNoMoreRuns : kStatusNotScheduled;
    if (!task.lastRun) return kStatusHasNotRun;
    if (task.lastResult == kResultTerminated) return kStatusTerminated;
    return kStatusReady;
}

bool LoadTask(const std::string& path, Task& task, bool* damaged) {
    if (damaged) *damaged = false;
    std::string text;
    if (platform::ReadWholeFile(path, text) != 0) return false;
    std::string error;
    if (DecodeTask(text, task, error)) return true;
    if (damaged) *damaged = true;
    return false;
}

int StoreTask(const std::string& path, const Task& task) {
    return platform::WriteFileAtomically(path, EncodeTask(task));
}

}  // namespace scheduling
