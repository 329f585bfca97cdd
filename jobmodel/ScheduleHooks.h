#pragma once

#include <string>

namespace jobmodel {

// What the editor's job document asks of the job's scheduled task. The
// scheduling module answers it; without one (the runner, or before it is
// built) a document asks nothing.
class IScheduleHooks {
public:
    virtual ~IScheduleHooks() = default;
    // A job with scheduling on was opened: its task is opened, or made anew.
    virtual void OpenTask(const std::string& jobPath, const std::string& taskName) = 0;
    // The job is saved with scheduling on: the task takes the description as
    // its comment and is stored.
    virtual void StoreTask(const std::string& comment) = 0;
    // The job is saved with scheduling off, or a new schedule was discarded:
    // the task goes.
    virtual void DeleteTask() = 0;
    // The document was cleared, or saved under a new name: the task it held
    // is forgotten.
    virtual void ResetTask() = 0;
};

}  // namespace jobmodel
