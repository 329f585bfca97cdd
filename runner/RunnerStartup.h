#pragma once

#include "jobmodel/AppDoc.h"
#include "jobmodel/SettingsRegistry.h"
#include "platform/MessageService.h"

#include <functional>
#include <string>

namespace runner {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitNotSuccessful = 1;
inline constexpr int kExitNoJob = 2;

// How a run meets its user: through the standard streams alone, or through
// its windows.
class IRunFront {
public:
    virtual ~IRunFront() = default;
    virtual platform::IMessageService& Messages() = 0;
    // Runs the opened job's backup and gives its final status. `showWindow`
    // is what brings the run to the front when another program asks.
    virtual std::string RunBackup(jobmodel::CAppDoc& doc, const jobmodel::CSettingsRegistry& settings,
                                  std::function<void()>& showWindow) = 0;
};

// The whole runner: the job is opened, run and reported. Exit status 0 for a
// successful backup, 1 for any other end, 2 when the job cannot be opened.
int RunJob(int argc, char** argv, IRunFront& front);

// A run without windows (cron, no display): questions get their safe
// answer on standard error, balloons become desktop notifications.
class CHeadlessFront : public IRunFront {
public:
    platform::IMessageService& Messages() override { return m_printed; }
    std::string RunBackup(jobmodel::CAppDoc& doc, const jobmodel::CSettingsRegistry& settings,
                          std::function<void()>& showWindow) override;

private:
    platform::StderrMessageService m_printed;
};

}  // namespace runner
