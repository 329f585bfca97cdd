#include "runner/DesktopNotifications.h"

#include "engine/RunView.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

#include <cstdlib>
#include <sys/stat.h>

namespace runner {

namespace {

constexpr int kAnswerMilliseconds = 2000;
constexpr int kShownMilliseconds = 10000;

// Cron starts a run without the bus address; the session's bus lives in
// its runtime folder.
void FindSessionBus() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if ((address && *address) || !runtime || !*runtime) return;
    const std::string bus = std::string(runtime) + "/bus";
    struct stat st {};
    if (::stat(bus.c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
        setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + bus).c_str(), 1);
}

}  // namespace

bool NotifyDesktop(const std::string& title, const std::string& text, int icon) {
    FindSessionBus();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        "org.freedesktop.Notifications", "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "Notify");
    const char* iconName = icon == engine::kBalloonError     ? "dialog-error"
                           : icon == engine::kBalloonWarning ? "dialog-warning"
                                                             : "dialog-information";
    call << QString("Vellora") << 0u << QString(iconName) << QString::fromStdString(title)
         << QString::fromStdString(text) << QStringList() << QVariantMap() << kShownMilliseconds;
    return bus.call(call, QDBus::Block, kAnswerMilliseconds).type() == QDBusMessage::ReplyMessage;
}

void CNotifyingRunView::ShowBalloon(const std::string& title, const std::string& text, int icon) {
    if (m_balloons) NotifyDesktop(title, text, icon);
}

}  // namespace runner
