#include "runner/RunnerWindow.h"

#include "logbook/LogContent.h"
#include "platform/FileSystem.h"
#include "platform/MessagePump.h"
#include "platform/MessageService.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

namespace runner {

RunnerWindow::RunnerWindow(jobmodel::CAppDoc& doc, const jobmodel::CSettingsRegistry& settings)
    : m_doc(doc), m_settings(settings) {
    const QString name = QString::fromStdString(platform::FileNamePart(doc.GetPathName()));
    setWindowTitle(name + " - Vellora");
    m_view = new ProgressView(this);
    setCentralWidget(m_view);

    QMenu* file = menuBar()->addMenu("&File");
    QToolBar* tools = addToolBar("Commands");
    tools->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    auto command = [&](const char* text, const char* tip) {
        auto* action = new QAction(text, this);
        action->setStatusTip(tip);
        file->addAction(action);
        tools->addAction(action);
        return action;
    };
    m_editJob = command("&Edit Job", "Open this job in the job editor");
    m_restore = command("&Restore", "Restore files from this backup");
    m_explore = command("E&xplore", "Open the backup folder");
    m_viewLog = command("&View Log", "Show the log of this run");
    m_abort = command("&Abort", "Stop the backup");
    file->addSeparator();
    QAction* exit = file->addAction("E&xit");
    connect(exit, &QAction::triggered, this, &QWidget::close);
    connect(m_abort, &QAction::triggered, this, [this] { m_engine->RequestAbort(); });
    connect(m_explore, &QAction::triggered, this, [this] {
        QDesktopServices::openUrl(QUrl::fromLocalFile(
            QString::fromStdString(platform::FolderPart(m_doc.m_BackupSettings.m_strBackupFile))));
    });
    connect(m_viewLog, &QAction::triggered, this, [this] {
        const std::string log = logbook::BackupLogPath(m_settings.GetLogFolder(), m_doc.GetPathName());
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(log)));
    });
    connect(m_view->m_close, &QPushButton::clicked, this, &QWidget::close);
    statusBar()->showMessage("Ready");

    // The initial update.
    m_view->m_job->SetText(name, 3, false);
    m_view->m_description->SetText(QString::fromStdString(doc.m_BackupSettings.m_strDescription), 3, false);
    m_view->m_backupTo->SetText(QString::fromStdString(doc.m_BackupSettings.m_strBackupFile), 3, false);
    m_viewLog->setEnabled(false);
    m_restore->setEnabled(false);
    resize(560, 330);

    m_tray = std::make_unique<CTrayIcon>(name, this);
    m_engine = std::make_unique<engine::CBackupEngine>(doc, settings, *this, m_media);
    platform::SetPumpHook([] { QCoreApplication::processEvents(); });
}

RunnerWindow::~RunnerWindow() { platform::SetPumpHook(nullptr); }

void RunnerWindow::StartBackup() {
    m_bRunning = true;
    m_engine->RunBackup();
    m_bRunning = false;
    if (m_bCloseAfterRun) QTimer::singleShot(0, this, &QWidget::close);
}

void RunnerWindow::SetStatus(const std::string& text, int colour, bool bold) {
    m_view->m_status->SetText(QString::fromStdString(text), colour, bold);
}

void RunnerWindow::SetCurrentFile(const std::string& path) {
    m_view->m_file->SetText(QString::fromStdString(path), 0, false);
}

void RunnerWindow::SetProgress(int bar, int percent) {
    QProgressBar* b = bar == engine::kFileBar      ? m_view->m_fileProgress
                      : bar == engine::kWritingBar ? m_view->m_zipProgress
                                                   : m_view->m_verifyProgress;
    b->setValue(percent);
}

void RunnerWindow::RaiseErrorIndication() { m_tray->SetError(); }

void RunnerWindow::SetViewLogEnabled(bool enabled) { m_viewLog->setEnabled(enabled); }

void RunnerWindow::RunFinished(bool) {
    m_view->m_close->setEnabled(true);
    m_restore->setEnabled(true);
    m_abort->setEnabled(false);
    m_tray->SetFinished();
}

void RunnerWindow::ShowBalloon(const std::string& title, const std::string& text, int icon) {
    if (!m_settings.GetShowBalloonTips()) return;
    m_tray->ShowBalloon(QString::fromStdString(text), QString::fromStdString(title), 10, icon);
}

void RunnerWindow::PlaySound(const std::string&) {}

void RunnerWindow::RequestClose() { m_bCloseAfterRun = true; }

void RunnerWindow::BringToFront() {
    showNormal();
    raise();
    activateWindow();
}

void RunnerWindow::closeEvent(QCloseEvent* event) {
    if (!m_bRunning) {
        event->accept();
        return;
    }
    // The window closes once the run has returned. Between two operations of
    // the zip component there is nothing to confirm: the run just stops.
    const bool working = m_engine->Zip().GetActiveOperation() != zipcomponent::kIdle;
    if (!working || platform::Messages().Show("A Backup is currently in progress !\n\nAre you sure you want to "
                                              "Abort the current backup ?",
                                              WindowTitle(), platform::MB_YESNO | platform::MB_ICONQUESTION) ==
                        platform::IDYES) {
        m_bCloseAfterRun = true;
        m_engine->RequestAbort();
    }
    event->ignore();
}

}  // namespace runner
