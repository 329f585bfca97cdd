#include "runner/WindowFront.h"

#include "desktop/Skin.h"
#include "runner/RunnerWindow.h"

#include <QCoreApplication>
#include <QTimer>

namespace runner {

std::string CWindowFront::RunBackup(jobmodel::CAppDoc& doc, const jobmodel::CSettingsRegistry& settings,
                                    std::function<void()>& showWindow) {
    desktop::ApplySkin();
    RunnerWindow window(doc, settings);
    showWindow = [&] { window.BringToFront(); };
    window.ShowUnlessSilent();
    // The run starts from the event loop, once the window is painted.
    QTimer::singleShot(0, &window, [&] { window.StartBackup(); });
    QCoreApplication::exec();
    showWindow = nullptr;
    return window.Engine().FinalStatus();
}

}  // namespace runner
