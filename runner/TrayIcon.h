#pragma once

#include <QString>

#include <memory>

class QSystemTrayIcon;
class QMenu;
class QWidget;

namespace runner {

enum TrayIconId : int { kIconRunning = 151, kIconError = 157, kIconFinished = 131 };

// The runner's notification-area icon. Its state is kept readable so it can
// be checked where no tray exists.
class CTrayIcon {
public:
    CTrayIcon(const QString& name, QWidget* window);
    ~CTrayIcon();

    void SetError();
    void SetFinished();
    void ShowBalloon(const QString& text, const QString& title, int seconds, int iconKind);

    int IconId() const { return m_iconId; }
    const QString& ToolTip() const { return m_toolTip; }
    bool ErrorFlag() const { return m_bError; }
    const QString& LastBalloonTitle() const { return m_balloonTitle; }
    const QString& LastBalloonText() const { return m_balloonText; }
    // The tray menu's entries as it would show them now.
    QStringList MenuEntries() const;

private:
    void Update(bool finished);

    QString m_name;
    QWidget* m_window;
    int m_iconId = kIconRunning;
    bool m_bError = false;
    QString m_toolTip;
    QString m_balloonTitle, m_balloonText;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    std::unique_ptr<QMenu> m_menu;
};

// Cuts text to at most `bytes` bytes of UTF-8 without splitting a character.
QString CutToBytes(const QString& text, int bytes);

}  // namespace runner
