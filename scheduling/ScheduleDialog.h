#pragma once

#include "scheduling/TaskFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimeEdit>

#include <array>

namespace scheduling {

// "Modify Schedule(s)": the task's program and comment, its triggers, and
// its limits, on three pages. OK hands the edited task back.
class CScheduleDialog : public QDialog {
public:
    explicit CScheduleDialog(const Task& task, QWidget* parent = nullptr);
    // The task as the pages now say.
    Task Edited() const;

    QTabWidget* m_pages;
    // Task page.
    QLineEdit* m_program;
    QLineEdit* m_parameters;
    QLineEdit* m_folder;
    QLineEdit* m_comment;
    QCheckBox* m_enabled;
    // Schedule page: the list, and the fields of the trigger chosen in it.
    QListWidget* m_triggers;
    QPushButton* m_new;
    QPushButton* m_delete;
    QComboBox* m_kind;
    QTimeEdit* m_time;
    QDateEdit* m_start;
    QCheckBox* m_hasEnd;
    QDateEdit* m_end;
    QSpinBox* m_interval;
    std::array<QCheckBox*, 7> m_days;
    QSpinBox* m_dayOfMonth;
    std::array<QCheckBox*, 12> m_months;
    // Settings page.
    QSpinBox* m_hours;
    QSpinBox* m_minutes;
    QCheckBox* m_loggedOn;

private:
    QWidget* TaskPage();
    QWidget* SchedulePage();
    QWidget* SettingsPage();
    // Shows a trigger in the fields, or stores the fields into it.
    void ShowTrigger(int row);
    void StoreTrigger();
    void RefreshList();
    void ShowFieldsForKind();

    Task m_task;
    int m_row = -1;
    bool m_showing = false;
    std::vector<QWidget*> m_timedFields, m_intervalFields, m_dayFields, m_monthFields;
};

}  // namespace scheduling
