#pragma once

#include "desktop/MessageBoxes.h"
#include "runner/RunnerStartup.h"

namespace runner {

// A run with its progress window and tray icon; questions are message boxes.
class CWindowFront : public IRunFront {
public:
    platform::IMessageService& Messages() override { return m_boxes; }
    std::string RunBackup(jobmodel::CAppDoc& doc, const jobmodel::CSettingsRegistry& settings,
                          std::function<void()>& showWindow) override;

private:
    desktop::BoxMessageService m_boxes;
};

}  // namespace runner
