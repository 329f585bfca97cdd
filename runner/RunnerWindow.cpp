#include "runner/RunnerWindow.h"

#include "logbook/LogContent.h"
#include "platform/FileSystem.h"
#include "platform/MessagePump.h"
#include "platform/MessageService.h"
#include "runner/SoundPlayer.h"
#include "desktop/DesktopOpen.h"
#include "desktop/Help.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QProcess>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

namespace runner {

QString HelpContentsPath() { return desktop::HelpPage("index.html"); }

RunnerWindow::RunnerWindow(jobmodel::CAppDoc& doc, const jobmodel::CSettingsRegistry& settings)
    : m_doc(doc), m_settings(settings) {
    const QString name = QString::fromStdString(platform::FileNamePart(doc.GetPathName()));
    setWindowTitle(name + " - Vellora");
    m_view = new ProgressView(this);
    setCentralWidget(m_view);

    auto command = [&](const char* text, const char* prompt, const char* label) {
        auto* action = new QAction(text, this);
        action->setStatusTip(prompt);
        action->setIconText(label);
        return action;
    };
    m_editJob = command("Edit Backup &Job", "Edit this backup job", "Edit Job");
    m_restore = command("&Restore Backup Files", "Open the current backup file for restore", "Restore");
    m_explore = command("&Explore Backup Folder", "Explore the backup folder", "Explore");
    m_viewLog = command("&View Backup Log", "View the backup Log", "View Log");
    m_abort = command("Abort", "Abort the current backup", "Abort");
    m_about = command("About Gorvex...", "Display program information", "About");
    m_editJob->setIcon(desktop::CommandIcon("document-edit", QStyle::SP_FileDialogContentsView));
    m_restore->setIcon(desktop::CommandIcon("document-revert", QStyle::SP_DialogOpenButton));
    m_explore->setIcon(desktop::CommandIcon("folder-open", QStyle::SP_DirOpenIcon));
    m_viewLog->setIcon(desktop::CommandIcon("text-x-generic", QStyle::SP_FileDialogDetailedView));
    m_about->setIcon(desktop::CommandIcon("help-about", QStyle::SP_MessageBoxInformation));
    m_abort->setIcon(desktop::CommandIcon("process-stop", QStyle::SP_BrowserStop));
    QAction* exit = new QAction("E&xit", this);
    m_statusBar = new QAction("&Status Bar", this);
    m_statusBar->setCheckable(true);
    m_statusBar->setChecked(true);
    QAction* help = new QAction("&Help Topics", this);

    QMenu* file = menuBar()->addMenu("&File");
    file->addActions({m_editJob, m_restore, m_explore});
    file->addSeparator();
    file->addAction(exit);
    QMenu* viewMenu = menuBar()->addMenu("&View");
    viewMenu->addActions({m_viewLog, m_statusBar});
    QMenu* helpMenu = menuBar()->addMenu("&Help");
    helpMenu->addActions({help, m_about});

    m_toolbar = addToolBar("Main Toolbar");
    m_toolbar->setMovable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->addActions({m_editJob, m_restore, m_explore});
    m_toolbar->addSeparator();
    m_toolbar->addAction(m_viewLog);
    m_toolbar->addSeparator();
    m_toolbar->addAction(m_about);
    m_toolbar->addSeparator();
    m_toolbar->addAction(m_abort);

    // The caption bar under the toolbar carries the job's title.
    addToolBarBreak();
    QToolBar* caption = addToolBar("Caption");
    caption->setMovable(false);
    auto* title = new QLabel(name, caption);
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    title->setFont(bold);
    title->setContentsMargins(6, 2, 6, 2);
    caption->addWidget(title);

    connect(exit, &QAction::triggered, this, &QWidget::close);
    connect(m_abort, &QAction::triggered, this, [this] { m_engine->RequestAbort(); });
    connect(m_statusBar, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });
    connect(m_editJob, &QAction::triggered, this,
            [this] { StartProgram(EditorProgram(), QString::fromStdString(m_doc.GetPathName())); });
    connect(m_restore, &QAction::triggered, this, [this] {
        StartProgram(EditorProgram(), QString::fromStdString(m_doc.m_BackupSettings.m_strBackupFile));
    });
    connect(m_explore, &QAction::triggered, this, [this] {
        const std::string reason = desktop::OpenWithDesktop(platform::FolderPart(m_doc.m_BackupSettings.m_strBackupFile));
        if (!reason.empty())
            m_engine->ShowRunMessage(false, "Error Exploring Folder - " + reason + "\n\n",
                                     platform::MB_OK | platform::MB_ICONSTOP);
    });
    connect(m_viewLog, &QAction::triggered, this, [this] {
        desktop::ViewLog(logbook::BackupLogPath(m_settings.GetLogFolder(), m_doc.GetPathName()), WindowTitle());
    });
    connect(help, &QAction::triggered, this, [] { QDesktopServices::openUrl(QUrl::fromLocalFile(HelpContentsPath())); });
    connect(m_about, &QAction::triggered, this, [this] {
        QMessageBox::about(this, "About Gorvex", QString("Vellora Version ") + VELLORA_VERSION);
    });
    connect(m_view->m_close, &QPushButton::clicked, this, &QWidget::close);
    for (const char* pane : {"CAP", "NUM", "SCRL"}) statusBar()->addPermanentWidget(new QLabel(pane, this));
    statusBar()->showMessage("Ready");

    // The initial update.
    m_view->m_job->SetText(name, 3, false);
    m_view->m_description->SetText(QString::fromStdString(doc.m_BackupSettings.m_strDescription), 3, false);
    m_view->m_backupTo->SetText(QString::fromStdString(doc.m_BackupSettings.m_strBackupFile), 3, false);
    m_viewLog->setEnabled(false);
    m_restore->setEnabled(false);
    resize(560, 380);
    setFixedSize(size());

    m_tray = std::make_unique<CTrayIcon>(name, this);
    m_engine = std::make_unique<engine::CBackupEngine>(doc, settings, *this);
    platform::SetPumpHook([] { QCoreApplication::processEvents(); });
}

RunnerWindow::~RunnerWindow() { platform::SetPumpHook(nullptr); }

void RunnerWindow::ShowUnlessSilent() {
    if (!m_settings.GetHideBackupWindows())
        show();
    else if (!QSystemTrayIcon::isSystemTrayAvailable())
        showMinimized();  // no tray icon to reach a hidden window by
}

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
    m_tray->SetFinished();
}

void RunnerWindow::ShowBalloon(const std::string& title, const std::string& text, int icon) {
    if (!m_settings.GetShowBalloonTips()) return;
    m_tray->ShowBalloon(QString::fromStdString(text), QString::fromStdString(title), 10, icon);
}

void RunnerWindow::PlaySound(const std::string& soundFile) { PlaySoundFile(soundFile); }

QStringList RunnerWindow::ToolbarTexts() const {
    QStringList texts;
    for (QAction* a : m_toolbar->actions()) texts << (a->isSeparator() ? QString() : a->iconText());
    return texts;
}

QString RunnerWindow::EditorProgram() const {
    const std::string registered = jobmodel::GetEditorPath(false);
    if (!registered.empty()) return QString::fromStdString(registered);
    return QCoreApplication::applicationDirPath() + "/vellora";
}

bool RunnerWindow::StartProgram(const QString& program, const QString& argument) {
    if (QProcess::startDetached(program, {argument})) return true;
    const int err = QFileInfo::exists(program) ? EACCES : ENOENT;
    m_engine->ShowRunMessage(false,
                             "Error Starting Application - " + platform::FileNamePart(program.toStdString()) + "\n\n" +
                                 platform::GetSystemErrorText(err),
                             platform::MB_OK | platform::MB_ICONSTOP);
    return false;
}

void RunnerWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Silent mode keeps the window off the taskbar once it is minimised.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && m_settings.GetHideBackupWindows() &&
        QSystemTrayIcon::isSystemTrayAvailable())
        QTimer::singleShot(0, this, &QWidget::hide);
}

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
