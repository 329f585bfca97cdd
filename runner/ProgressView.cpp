#include "runner/ProgressView.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

namespace runner {

namespace {

QProgressBar* Bar(QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

}  // namespace

ProgressView::ProgressView(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
    auto* grid = new QGridLayout(this);
    int row = 0;
    auto field = [&](const char* label) {
        grid->addWidget(new QLabel(label, this), row, 0);
        auto* f = new CColorStatic(this);
        grid->addWidget(f, row++, 1);
        return f;
    };
    m_job = field("Backup Job:");
    m_description = field("Description:");
    m_backupTo = field("Backup To:");
    m_status = field("Current Status:");
    m_file = field("Processing File:");
    m_backupTo->SetPathEllipsis(true);
    m_file->SetPathEllipsis(true);
    auto bar = [&](const char* label) {
        grid->addWidget(new QLabel(label, this), row, 0);
        auto* b = Bar(this);
        grid->addWidget(b, row++, 1);
        return b;
    };
    m_fileProgress = bar("File Progress:");
    m_zipProgress = bar("Zip Progress:");
    m_verifyProgress = bar("Verify Progress:");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_close = new QPushButton("&Close", this);
    m_close->setEnabled(false);
    buttons->addWidget(m_close);
    grid->addLayout(buttons, row, 0, 1, 2);
    grid->setColumnStretch(1, 1);
}

}  // namespace runner
