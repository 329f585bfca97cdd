#include "runner/DesktopNotifications.h"

#include "engine/RunView.h"
#include "runner/SessionBus.h"

namespace runner {

namespace {

constexpr int kAnswerMilliseconds = 2000;
constexpr int kShownMilliseconds = 10000;

}  // namespace

bool NotifyDesktop(const std::string& title, const std::string& text, int icon) {
    const std::string address = SessionBusAddress();
    if (address.empty()) return false;
    const char* iconName = icon == engine::kBalloonError     ? "dialog-error"
                           : icon == engine::kBalloonWarning ? "dialog-warning"
                                                             : "dialog-information";
    BusCall notify{"org.freedesktop.Notifications", "/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                   "Notify", "susssasa{sv}i", {}};
    // Application, no notification to replace, icon, summary, body, no
    // actions, no hints, how long it shows.
    notify.arguments.String("Vellora")
        .Uint32(0)
        .String(iconName)
        .String(title)
        .String(text)
        .EmptyArray(4)
        .EmptyArray(8)
        .Int32(kShownMilliseconds);
    return CallOnBus(address, notify, kAnswerMilliseconds);
}

void CNotifyingRunView::ShowBalloon(const std::string& title, const std::string& text, int icon) {
    if (m_balloons) NotifyDesktop(title, text, icon);
}

}  // namespace runner
