#pragma once

#include "jobmodel/AppDoc.h"
#include "scheduling/ScheduleHooks.h"
#include "scheduling/SchedulerTask.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>

#include <functional>

namespace scheduling {

// "Rename Scheduler Job": a valid file name, ".Job" added when it lacks
// the ending.
class CdlgRenameTask : public QDialog {
public:
    CdlgRenameTask(const QString& prompt, const QString& name, QWidget* parent = nullptr);
    void accept() override;
    QString Name() const { return m_name->text(); }
    QLabel* m_prompt;
    QLineEdit* m_name;
    QPushButton* m_browse;
};

// The Scheduler tab: whether the job runs on a schedule, its task's name,
// status, last and next run, and its triggers.
class CSchedulerTab : public QWidget {
public:
    CSchedulerTab(jobmodel::CAppDoc& doc, CSchedulerTask& task, CScheduleHooks& hooks, std::function<void()> modified,
                  std::function<bool()> save, QWidget* parent = nullptr);

    // Makes sure the job has its task when scheduling is ticked.
    bool EnsureTask();
    void UpdateScheduleDisplay();
    void RenameTask();
    // Copies the tab into the job before a save.
    void SaveToJob();

    // How the dialogs are shown; tests answer them.
    std::function<int(QDialog&)> m_exec = [](QDialog& dialog) { return dialog.exec(); };

    QCheckBox* m_enable;
    QLabel* m_taskName;
    QPushButton* m_rename;
    QLabel* m_status;
    QLabel* m_last;
    QLabel* m_next;
    QCheckBox* m_active;
    QListWidget* m_triggers;
    QPushButton* m_modify;

private:
    void EnableClicked();
    void ModifySchedules();
    void EnableControls();

    jobmodel::CAppDoc& m_doc;
    CSchedulerTask& m_task;
    CScheduleHooks& m_hooks;
    std::function<void()> m_modified;
    std::function<bool()> m_save;
    bool m_filled = false;
};

}  // namespace scheduling
