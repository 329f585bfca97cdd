#pragma once

#include "engine/ConsoleRunView.h"

#include <string>

namespace runner {

// Shows a balloon of a run without windows as a desktop notification
// (org.freedesktop.Notifications) on the user's session bus, found through
// $DBUS_SESSION_BUS_ADDRESS or $XDG_RUNTIME_DIR/bus. False when no bus or
// no notification service answers.
bool NotifyDesktop(const std::string& title, const std::string& text, int icon);

// The view of a run without windows: its balloons become desktop
// notifications when the settings ask for balloons, so that a scheduled
// backup that fails is seen the same day.
class CNotifyingRunView : public engine::CConsoleRunView {
public:
    explicit CNotifyingRunView(bool balloons) : m_balloons(balloons) {}
    void ShowBalloon(const std::string& title, const std::string& text, int icon) override;

private:
    bool m_balloons;
};

}  // namespace runner
