#include "desktop/DesktopOpen.h"

#include "platform/FileSystem.h"
#include "platform/MessageService.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

#include <cerrno>

namespace desktop {

QIcon CommandIcon(const char* themeName, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(themeName, QApplication::style()->standardIcon(fallback));
}

std::string OpenWithDesktop(const std::string& path) {
    if (path.empty() || !platform::PathExists(path)) return platform::GetSystemErrorText(ENOENT);
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)))) return "";
    return "No application of the desktop opens it.";
}

void ViewLog(const std::string& logFile, const std::string& caption) {
    // What opens files on a Linux desktop is named where WordPad was.
    const std::string reason = OpenWithDesktop(logFile);
    if (!reason.empty())
        platform::Messages().Show("Error Starting Application - xdg-open\n\n" + reason, caption,
                                  platform::MB_OK | platform::MB_ICONSTOP);
}

}  // namespace desktop
