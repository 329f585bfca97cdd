#include "scheduling/ScheduleHooks.h"

#include "platform/FileSystem.h"
#include "platform/MessageService.h"

namespace scheduling {

StatusLook DescribeStatus(std::optional<uint32_t> status) {
    constexpr int kText = 0, kRed = 1, kBlue = 3;
    if (!status) return {"Error retrieving status!", kRed, true};
    switch (*status) {
        case kStatusReady: return {"Ready", kText, false};
        case kStatusRunning: return {"Running !", kBlue, false};
        case kStatusDisabled: return {"Disabled !", kRed, true};
        case kStatusHasNotRun: return {"Has not run !", kBlue, false};
        case kStatusNoMoreRuns: return {"No more runs scheduled !", kRed, false};
        case kStatusNotScheduled: return {"Task not scheduled !", kBlue, false};
        case kStatusTerminated: return {"User terminated last run  !", kBlue, true};
        case kStatusNoValidTriggers: return {"No triggers set !", kBlue, false};
        case 0x00041308: return {"Triggers have no run times !", kRed, false};
        default:
            if (*status >= 0x80041309 && *status <= 0x80041313) return {"Error getting Status!", kRed, true};
            return {"Task not scheduled!", kRed, true};
    }
}

bool CScheduleHooks::Open(const std::string& jobPath, const std::string& taskName) {
    std::string path = jobPath;
    while (!platform::PathExists(path)) {
        if (!m_saveJob ||
            platform::Messages().Show("This Job must be saved before a schedule\ncan be created for it!\n\nDo you wish "
                                      "to save it now?",
                                      "Vellora", platform::MB_YESNO | platform::MB_ICONQUESTION) != platform::IDYES ||
            !m_saveJob())
            return false;
        if (m_jobPath) path = m_jobPath();
    }
    if (m_task.OpenTask(taskName, path, true)) return true;
    platform::Tell("Unable to open/create Scheduler Task: " + taskName + " !!!\n", platform::MB_ICONSTOP);
    return false;
}

void CScheduleHooks::OpenTask(const std::string& jobPath, const std::string& taskName) { Open(jobPath, taskName); }

void CScheduleHooks::StoreTask(const std::string& comment) {
    if (m_task.SetComment(comment) && !m_task.SaveTask()) platform::Tell(m_task.LastError(), platform::MB_ICONSTOP);
}

void CScheduleHooks::DeleteTask() {
    if (!m_task.DeleteTask()) platform::Tell(m_task.LastError(), platform::MB_ICONSTOP);
}

void CScheduleHooks::ResetTask() { m_task.Reset(); }

}  // namespace scheduling
