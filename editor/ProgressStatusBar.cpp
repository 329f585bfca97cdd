#include "editor/ProgressStatusBar.h"

namespace editor {

CProgressStatusBar::CProgressStatusBar(QWidget* parent) : QStatusBar(parent) {
    m_message = new QLabel(kIdleText, this);
    addWidget(m_message, 1);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    // As wide as the 49 blanks of the pane it fills.
    m_progress->setFixedWidth(fontMetrics().horizontalAdvance(QString(49, ' ')));
    m_progress->setMaximumHeight(fontMetrics().height());
    addPermanentWidget(m_progress);
    for (const char* pane : {"CAP", "NUM", "SCRL"}) addPermanentWidget(new QLabel(pane, this));
}

void CProgressStatusBar::ShowStatusProgress(int percent, const QString& text) {
    m_progress->setValue(percent);
    if (!text.isEmpty()) m_message->setText(text);
}

void CProgressStatusBar::ClearStatusProgress() {
    m_progress->setValue(0);
    m_message->setText(kIdleText);
}

}  // namespace editor
