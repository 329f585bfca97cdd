#include "runner/ProgressView.h"

#include "ui_ProgressView.h"

namespace runner {

ProgressView::ProgressView(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::ProgressView>()) {
    m_ui->setupUi(this);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
    m_ui->grid->setColumnStretch(1, 1);
    m_job = m_ui->job;
    m_description = m_ui->description;
    m_backupTo = m_ui->backupTo;
    m_status = m_ui->status;
    m_file = m_ui->file;
    m_fileProgress = m_ui->fileProgress;
    m_zipProgress = m_ui->zipProgress;
    m_verifyProgress = m_ui->verifyProgress;
    m_close = m_ui->close;
    m_backupTo->SetPathEllipsis(true);
    m_file->SetPathEllipsis(true);
}

ProgressView::~ProgressView() = default;

}  // namespace runner
