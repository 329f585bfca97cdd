#pragma once

#include "scheduling/Trigger.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace scheduling {

// The Task Scheduler's status codes, which the Scheduler tab shows.
enum TaskStatus : uint32_t {
    kStatusReady = 0x00041300,
    kStatusRunning = 0x00041301,
    kStatusDisabled = 0x00041302,
    kStatusHasNotRun = 0x00041303,
    kStatusNoMoreRuns = 0x00041304,
    kStatusNotScheduled = 0x00041305,
    kStatusTerminated = 0x00041306,
    kStatusNoValidTriggers = 0x00041307,
};

inline constexpr uint32_t kTaskFlagDisabled = 4;
inline constexpr uint32_t kTaskFlagRunOnlyIfLoggedOn = 0x2000;
inline constexpr uint32_t kDefaultMaxRunTime = 259200000;  // 72 hours, in ms
inline constexpr int kResultTerminated = -1;                // the last run was killed

// One task: what it starts, when, and how its runs went. Stored as a small
// text file "<name>.job" in the tasks folder.
struct Task {
    std::string application;
    std::string parameters;
    std::string workingFolder;
    std::string comment;
    uint32_t flags = 0;
    uint32_t maxRunTimeMs = kDefaultMaxRunTime;
    std::vector<Trigger> triggers;
    int runningPid = 0;    // the runner of a run in progress
    time_t lastRun = 0;    // 0: never
    int lastResult = 0;    // the runner's exit status, kResultTerminated when killed

    bool Enabled() const { return !(flags & kTaskFlagDisabled); }
};

std::string EncodeTask(const Task& task);
// False, with the reason, for text that is not a task; `task` then holds
// what could be read.
bool DecodeTask(const std::string& text, Task& task, std::string& error);

// The status code of the task at `now`.
uint32_t TaskStatusAt(const Task& task, time_t now);
// The next run of any of its time triggers after `now`; none without one.
std::optional<time_t> NextRunTime(const Task& task, time_t now);

// Reads a task file; false when it is missing, unreadable or damaged (a
// damaged one reads as a task without triggers and `damaged` is set).
bool LoadTask(const std::string& path, Task& task, bool* damaged = nullptr);
// Writes a task file atomically; 0 or an errno.
int StoreTask(const std::string& path, const Task& task);

}  // namespace scheduling
