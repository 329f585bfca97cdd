#pragma once

#include "restore/RestorePage.h"

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

namespace editor {

// The editor's status bar: a message pane, a wide pane that a smooth
// progress bar always fills, and the Caps, Num and Scroll Lock panes. Long
// operations of the pages report through it.
class CProgressStatusBar : public QStatusBar, public restore::IStatusProgress {
public:
    explicit CProgressStatusBar(QWidget* parent = nullptr);

    void ShowStatusProgress(int percent, const QString& text);
    void ShowStatusProgress(const std::string& text, int percent) override {
        ShowStatusProgress(percent, QString::fromStdString(text));
    }
    void ClearStatusProgress() override;

    QString Message() const { return m_message->text(); }
    int Progress() const { return m_progress->value(); }

    static constexpr const char* kIdleText = "For Help, press F1";

private:
    QLabel* m_message;
    QProgressBar* m_progress;
};

}  // namespace editor
