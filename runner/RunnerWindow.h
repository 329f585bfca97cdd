#pragma once

#include "engine/BackupEngine.h"
#include "runner/ProgressView.h"
#include "runner/TrayIcon.h"

#include <QAction>
#include <QMainWindow>
#include <QToolBar>

#include <memory>

namespace runner {

// The help pages' table of contents, which Help Topics opens.
QString HelpContentsPath();

// The runner's main frame: the progress form, the commands and the tray
// icon, standing as the run's view.
class RunnerWindow : public QMainWindow, public engine::IRunView {
public:
    RunnerWindow(jobmodel::CAppDoc& doc, const jobmodel::CSettingsRegistry& settings);
    ~RunnerWindow() override;

    // Shows the window unless "Hide Backup Windows" keeps it hidden; a
    // message that is not suppressed brings it up later.
    void ShowUnlessSilent();
    // Runs the backup; the window shows it as it goes.
    void StartBackup();
    bool Running() const { return m_bRunning; }
    ProgressView* View() { return m_view; }
    CTrayIcon& Tray() { return *m_tray; }
    engine::CBackupEngine& Engine() { return *m_engine; }
    QAction* m_abort;
    QAction* m_viewLog;
    QAction* m_restore;
    QAction* m_editJob;
    QAction* m_explore;
    QAction* m_about;
    QAction* m_statusBar;
    // Toolbar entries in order, separators as empty texts.
    QStringList ToolbarTexts() const;

    void SetStatus(const std::string& text, int colour, bool bold) override;
    void SetCurrentFile(const std::string& path) override;
    void SetProgress(int bar, int percent) override;
    void RaiseErrorIndication() override;
    void SetViewLogEnabled(bool enabled) override;
    void RunFinished(bool clean) override;
    void ShowBalloon(const std::string& title, const std::string& text, int icon) override;
    void PlaySound(const std::string& soundFile) override;
    void RequestClose() override;
    void BringToFront() override;
    std::string WindowTitle() const override { return "Vellora"; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Starts the editor with one argument; false after telling the user why not.
    bool StartProgram(const QString& program, const QString& argument);
    QString EditorProgram() const;

    jobmodel::CAppDoc& m_doc;
    const jobmodel::CSettingsRegistry& m_settings;
    ProgressView* m_view;
    QToolBar* m_toolbar;
    std::unique_ptr<CTrayIcon> m_tray;
    std::unique_ptr<engine::CBackupEngine> m_engine;
    bool m_bRunning = false;
    bool m_bCloseAfterRun = false;
};

}  // namespace runner
