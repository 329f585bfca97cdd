#pragma once

#include "jobmodel/ScheduleHooks.h"
#include "scheduling/SchedulerTask.h"

#include <functional>
#include <string>

namespace scheduling {

// The status text of a status code as the Scheduler tab shows it, with its
// colour (0 window text, 1 red, 2 green, 3 blue) and weight.
struct StatusLook {
    std::string text;
    int colour;
    bool bold;
};
StatusLook DescribeStatus(std::optional<uint32_t> status);

// What a job document asks of its task, answered by the job's scheduler
// object. `m_saveJob` saves a job that has no file yet; without it such a
// job gets no task.
class CScheduleHooks : public jobmodel::IScheduleHooks {
public:
    explicit CScheduleHooks(CSchedulerTask& task) : m_task(task) {}
    void OpenTask(const std::string& jobPath, const std::string& taskName) override;
    void StoreTask(const std::string& comment) override;
    void DeleteTask() override;
    void ResetTask() override;
    // Opens the task for a job: false (after its message) when it cannot.
    bool Open(const std::string& jobPath, const std::string& taskName);

    std::function<bool()> m_saveJob;
    std::function<std::string()> m_jobPath;

private:
    CSchedulerTask& m_task;
};

}  // namespace scheduling
