#include "runner/TrayIcon.h"

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

namespace runner {

namespace {

// Our own drawing of the three icons: a disk in the state's colour.
QIcon DrawIcon(int id) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour = id == kIconError ? QColor(180, 0, 0) : id == kIconFinished ? QColor(0, 150, 0)
                                                                                       : QColor(0, 0, 180);
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(3, 3, 26, 26, 5, 5);
    p.setBrush(Qt::white);
    p.drawRect(9, 5, 14, 9);
    return QIcon(pixmap);
}

}  // namespace

QString CutToBytes(const QString& text, int bytes) {
    QString cut = text;
    while (cut.toUtf8().size() > bytes) cut.chop(1);
    if (!cut.isEmpty() && cut.back().isHighSurrogate()) cut.chop(1);
    return cut;
}

CTrayIcon::CTrayIcon(const QString& name, QWidget* window) : m_name(name), m_window(window) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) && QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray = std::make_unique<QSystemTrayIcon>();
        m_menu = std::make_unique<QMenu>();
        QObject::connect(m_tray.get(), &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason why) {
            if (why == QSystemTrayIcon::DoubleClick && m_window) {
                m_window->showNormal();
                m_window->raise();
                m_window->activateWindow();
            }
        });
        QObject::connect(m_menu.get(), &QMenu::aboutToShow, [this] {
            m_menu->clear();
            for (const QString& entry : MenuEntries()) {
                if (entry.isEmpty()) {
                    m_menu->addSeparator();
                } else if (entry == "&Restore") {
                    m_menu->addAction(entry, [this] {
                        m_window->showNormal();
                        m_window->raise();
                    });
                } else if (entry == "E&xit") {
                    m_menu->addAction(entry, [this] { m_window->close(); });
                } else {
                    m_menu->addAction(entry, [this] {
                        QMessageBox::about(m_window, "About Gorvex", QString("Vellora Version ") + VELLORA_VERSION);
                    });
                }
            }
        });
        m_tray->setContextMenu(m_menu.get());
        m_tray->show();
    }
    Update(false);
}

CTrayIcon::~CTrayIcon() = default;

QStringList CTrayIcon::MenuEntries() const {
    QStringList entries;
    if (!m_window || !m_window->isVisible() || m_window->isMinimized()) entries << "&Restore";
    entries << "E&xit" << "" << "&About";
    return entries;
}

void CTrayIcon::Update(bool finished) {
    const char* state = finished ? (m_bError ? "Backup Finished, ERROR !!!" : "Backup Finished, No Errors")
                                 : (m_bError ? "Backup in progress, ERROR !!!" : "Backup in progress, No Errors");
    m_toolTip = CutToBytes(m_name + ": " + state, 127);
    if (m_tray) {
        m_tray->setIcon(DrawIcon(m_iconId));
        m_tray->setToolTip(m_toolTip);
    }
}

void CTrayIcon::SetError() {
    m_bError = true;
    m_iconId = kIconError;
    Update(false);
}

void CTrayIcon::SetFinished() {
    m_iconId = m_bError ? kIconError : kIconFinished;
    Update(true);
}

void CTrayIcon::ShowBalloon(const QString& text, const QString& title, int seconds, int iconKind) {
    m_balloonText = CutToBytes(text, 255);
    m_balloonTitle = CutToBytes(title, 63);
    if (m_tray)
        m_tray->showMessage(m_balloonTitle, m_balloonText,
                            iconKind == 3 ? QSystemTrayIcon::Critical : QSystemTrayIcon::Information, seconds * 1000);
}

}  // namespace runner
