#pragma once

#include "scheduling/TaskFile.h"

#include <ctime>
#include <string>

namespace runner {

// A run started by a scheduled task (VELLORA_TASK names it, VELLORA_TRIGGER
// the trigger whose crontab line fired): whether it is due today, and its
// marks in the task file while it runs and when it ends. Without a task it
// does nothing.
class ScheduledRun {
public:
    ScheduledRun();
    bool Due() const;
    void Started();
    void Finished(int exitCode);

private:
    // Reads the task, changes it and stores it, unless it cannot be read.
    template <class Change>
    void Update(Change change);

    std::string m_path;
    int m_trigger = -1;
    time_t m_started = 0;
};

}  // namespace runner
