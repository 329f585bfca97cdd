#pragma once

#include "runner/ColorStatic.h"

#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

namespace runner {

// The run's form: job, description, destination, status, the file being
// processed and three progress bars, on white.
class ProgressView : public QWidget {
public:
    explicit ProgressView(QWidget* parent = nullptr);

    CColorStatic* m_job;
    CColorStatic* m_description;
    CColorStatic* m_backupTo;
    CColorStatic* m_status;
    CColorStatic* m_file;
    QProgressBar* m_fileProgress;
    QProgressBar* m_zipProgress;
    QProgressBar* m_verifyProgress;
    QPushButton* m_close;
};

}  // namespace runner
