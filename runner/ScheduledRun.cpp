#include "runner/ScheduledRun.h"

#include "scheduling/SchedulerTask.h"

#include <cstdlib>
#include <unistd.h>

namespace runner {

ScheduledRun::ScheduledRun() {
    const char* task = std::getenv("VELLORA_TASK");
    if (!task || !*task) return;
    m_path = scheduling::CSchedulerTask::GetTasksFolder() + "/" + task;
    const char* trigger = std::getenv("VELLORA_TRIGGER");
    if (trigger && *trigger) m_trigger = std::atoi(trigger);
}

bool ScheduledRun::Due() const {
    if (m_path.empty() || m_trigger < 0) return true;
    scheduling::Task task;
    // A task that went, was switched off or lost this trigger runs nothing.
    if (!scheduling::LoadTask(m_path, task) || !task.Enabled() ||
        m_trigger >= static_cast<int>(task.triggers.size()))
        return false;
    const scheduling::Trigger& t = task.triggers[static_cast<size_t>(m_trigger)];
    return !t.Timed() || scheduling::FiresOnDay(t, scheduling::LocalDate(std::time(nullptr)));
}

template <class Change>
void ScheduledRun::Update(Change change) {
    if (m_path.empty()) return;
    scheduling::Task task;
    if (!scheduling::LoadTask(m_path, task)) return;
    change(task);
    scheduling::StoreTask(m_path, task);
}

void ScheduledRun::Started() {
    m_started = std::time(nullptr);
    Update([](scheduling::Task& task) { task.runningPid = static_cast<int>(::getpid()); });
}

void ScheduledRun::Finished(int exitCode) {
    Update([&](scheduling::Task& task) {
        task.runningPid = 0;
        task.lastRun = m_started;
        task.lastResult = exitCode;
    });
}

}  // namespace runner
