#pragma once

#include "runner/ColorStatic.h"

#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

#include <memory>

namespace Ui {
class ProgressView;
}

namespace runner {

// The run's form (resources/ProgressView.ui): job, description, destination, status, the file being
// processed and three progress bars, on white.
class ProgressView : public QWidget {
public:
    explicit ProgressView(QWidget* parent = nullptr);
    ~ProgressView() override;

    CColorStatic* m_job;
    CColorStatic* m_description;
    CColorStatic* m_backupTo;
    CColorStatic* m_status;
    CColorStatic* m_file;
    QProgressBar* m_fileProgress;
    QProgressBar* m_zipProgress;
    QProgressBar* m_verifyProgress;
    QPushButton* m_close;

private:
    std::unique_ptr<Ui::ProgressView> m_ui;
};

}  // namespace runner
