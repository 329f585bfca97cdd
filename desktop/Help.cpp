#include "desktop/Help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace desktop {

QString HelpPage(const QString& relative) {
    const QString beside = QCoreApplication::applicationDirPath() + "/help/" + relative;
    const QString installed = QCoreApplication::applicationDirPath() + "/../share/vellora/help/" + relative;
    return QFileInfo::exists(beside) || !QFileInfo::exists(installed) ? beside : QFileInfo(installed).canonicalFilePath();
}

bool ShowHelpPage(const QString& relative) { return QDesktopServices::openUrl(QUrl::fromLocalFile(HelpPage(relative))); }

}  // namespace desktop
