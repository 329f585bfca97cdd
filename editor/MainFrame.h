#pragma once

#include "editor/BackupTab.h"
#include "editor/OptionsTabs.h"
#include "editor/ProgressStatusBar.h"
#include "editor/RunnerLaunch.h"
#include "restore/RestoreTab.h"
#include "scheduling/SchedulerTab.h"
#include "jobmodel/AppDoc.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QTabWidget>
#include <QToolBar>

namespace editor {

// The editor's main frame: menus, toolbar, caption bar, the progress status
// bar and the tab view of the job document.
class CMainFrame : public QMainWindow {
public:
    explicit CMainFrame(jobmodel::CAppDoc& doc, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The document commands; each false when it did not happen.
    bool NewJob();
    bool OpenFile(const std::string& path);
    bool Save();
    bool SaveAs();
    // The tip of the day, from the tips file beside the help.
    void ShowTip();
    // Asks whether to save a changed job; false when the user cancels.
    bool SaveModified();

    CProgressStatusBar* Status() { return m_status; }
    CBackupTab* BackupTab() { return m_backupTab; }
    COptionsTab* OptionsTab() { return m_optionsTab; }
    CLoggingTab* LoggingTab() { return m_loggingTab; }
    restore::CRestoreTab* RestoreTab() { return m_restoreTab; }
    scheduling::CSchedulerTab* SchedulerTab() { return m_schedulerTab; }
    scheduling::CSchedulerTask& Scheduler() { return m_scheduler; }
    QTabWidget* Tabs() { return m_tabs; }
    // Toolbar entries in order, separators as empty texts.
    QStringList ToolbarTexts() const;
    // The help page F1 opens: the active tab's.
    QString HelpTopic() const;
    // The document title, as the caption bar and the window title show it.
    QString DocumentTitle() const;

    QAction* m_new;
    QAction* m_open;
    QAction* m_save;
    QAction* m_saveAs;
    QAction* m_deleteJob;
    QAction* m_runBackup;
    QAction* m_options;
    QAction* m_about;
    // Where the save dialog and the runner look; tests point them elsewhere.
    StartProgram m_start = StartDetached();
    std::function<std::string(const QString& title, const std::string& proposed)> m_askSavePath;
    std::function<std::string()> m_pickJobToDelete;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The view's initial update: caption, pages for the document kind.
    void ShowDocument();
    void Modified();
    void AddRecentFile(const std::string& path);
    void ShowRecentFiles();
    void DeleteJob();
    // Every page checks and stores its data; false when one refuses.
    bool SavePages();

    jobmodel::CAppDoc& m_doc;
    QTabWidget* m_tabs;
    CBackupTab* m_backupTab = nullptr;
    COptionsTab* m_optionsTab = nullptr;
    CLoggingTab* m_loggingTab = nullptr;
    restore::CRestoreTab* m_restoreTab = nullptr;
    scheduling::CSchedulerTab* m_schedulerTab = nullptr;
    // The job's task, which the document reaches through the hooks.
    scheduling::CSchedulerTask m_scheduler;
    scheduling::CScheduleHooks m_scheduleHooks{m_scheduler};
    QLabel* m_caption;
    QLabel* m_captionIcon;
    QToolBar* m_toolbar;
    CProgressStatusBar* m_status;
    QMenu* m_fileMenu;
    QAction* m_recentSeparator;
    std::vector<QAction*> m_recentActions;
};

}  // namespace editor
