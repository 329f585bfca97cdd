#include "scheduling/SchedulerTab.h"

#include "jobmodel/NameValidation.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "scheduling/ScheduleDialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLocale>
#include <QVBoxLayout>

#include <cstdio>
#include <strings.h>

namespace scheduling {

namespace {

constexpr const char* kMustSave =
    "This Job must be saved before a schedule\ncan be created for it!\n\nDo you wish to save it now?";

QColor Colour(int code) {
    switch (code) {
        case 1: return QColor(180, 0, 0);
        case 2: return QColor(0, 180, 0);
        case 3: return QColor(0, 0, 180);
        default: return QColor();
    }
}

// A text in one of the colour codes and weights of the tab's statics.
void SetLook(QLabel* label, const QString& text, int colour, bool bold) {
    label->setText(text);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour ? Colour(colour) : label->parentWidget()->palette().color(QPalette::WindowText));
    label->setPalette(palette);
    QFont font = label->font();
    font.setBold(bold);
    label->setFont(font);
}

// "%X  %x" in the user's locale, or "Never".
QString RunTimeText(std::optional<time_t> when) {
    std::tm threshold {};
    threshold.tm_year = 71;
    threshold.tm_mday = 1;
    threshold.tm_isdst = -1;
    if (!when || *when <= mktime(&threshold)) return "Never";
    const QDateTime t = QDateTime::fromSecsSinceEpoch(*when);
    const QLocale locale;
    return locale.toString(t.time(), QLocale::LongFormat) + "  " + locale.toString(t.date(), QLocale::ShortFormat);
}

bool TaskFileExists(const std::string& name) {
    return platform::PathExists(CSchedulerTask::GetTasksFolder() + "/" + name);
}

}  // namespace

CdlgRenameTask::CdlgRenameTask(const QString& prompt, const QString& name, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Rename Scheduler Job");
    m_prompt = new QLabel(prompt, this);
    m_name = new QLineEdit(name, this);
    m_name->setMinimumWidth(280);
    m_browse = new QPushButton("...", this);
    m_browse->setFixedWidth(m_browse->fontMetrics().horizontalAdvance("....") + 16);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getSaveFileName(this, "Set Scheduler Job Filename",
                                                            QString::fromStdString(CSchedulerTask::GetTasksFolder()),
                                                            "Scheduler Job Files (*.job)");
        if (!chosen.isEmpty()) m_name->setText(QFileInfo(chosen).fileName());
    });
    auto* row = new QHBoxLayout;
    row->addWidget(m_name, 1);
    row->addWidget(m_browse);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_prompt);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

void CdlgRenameTask::accept() {
    const std::string name = m_name->text().toStdString();
    if (!jobmodel::IsValidFileName(name)) {
        platform::Tell(
            "There are invalid characters in the Job Name '" + name +
                "'\nNote: The following characters are not permitted \\ / : * ? \" < > |\n\nPlease re-enter the Job "
                "Filename",
            platform::MB_OK | platform::MB_ICONEXCLAMATION);
        m_name->setFocus();
        return;
    }
    if (!m_name->text().endsWith(".job", Qt::CaseInsensitive)) m_name->setText(m_name->text() + ".Job");
    QDialog::accept();
}

CSchedulerTab::CSchedulerTab(jobmodel::CAppDoc& doc, CSchedulerTask& task, CScheduleHooks& hooks,
                             std::function<void()> modified, std::function<bool()> save, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_task(task), m_hooks(hooks), m_modified(std::move(modified)),
      m_save(std::move(save)) {
    m_enable = new QCheckBox("&Enable Job Scheduling", this);
    m_taskName = new QLabel(this);
    m_rename = new QPushButton("&Rename", this);
    m_status = new QLabel(this);
    m_last = new QLabel(this);
    m_next = new QLabel(this);
    m_active = new QCheckBox("Enable &Current Schedule(s):", this);
    m_triggers = new QListWidget(this);
    m_modify = new QPushButton("&Modify Schedule(s)", this);

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel("(Default:-<Filename>.Job)", this));
    nameRow->addWidget(m_taskName, 1);
    nameRow->addWidget(m_rename);
    auto* runs = new QGroupBox("Task", this);
    auto* grid = new QGridLayout(runs);
    grid->addWidget(new QLabel("Status:", runs), 0, 0);
    grid->addWidget(m_status, 0, 1);
    grid->addWidget(new QLabel("Last Run:", runs), 1, 0);
    grid->addWidget(m_last, 1, 1);
    grid->addWidget(new QLabel("Next Run:", runs), 2, 0);
    grid->addWidget(m_next, 2, 1);
    grid->setColumnStretch(1, 1);
    auto* modifyRow = new QHBoxLayout;
    modifyRow->addStretch();
    modifyRow->addWidget(m_modify);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_enable);
    layout->addLayout(nameRow);
    layout->addWidget(runs);
    layout->addWidget(m_active);
    layout->addWidget(m_triggers, 1);
    layout->addLayout(modifyRow);

    m_task.m_modify = [this](Task& edited) {
        CScheduleDialog dialog(edited, window());
        if (m_exec(dialog) != QDialog::Accepted) return false;
        edited = dialog.Edited();
        return true;
    };
    connect(m_enable, &QCheckBox::clicked, this, &CSchedulerTab::EnableClicked);
    connect(m_active, &QCheckBox::clicked, this, [this](bool on) {
        m_task.SetEnabled(on);
        UpdateScheduleDisplay();
    });
    connect(m_modify, &QPushButton::clicked, this, &CSchedulerTab::ModifySchedules);
    connect(m_triggers, &QListWidget::itemDoubleClicked, this, &CSchedulerTab::ModifySchedules);
    connect(m_rename, &QPushButton::clicked, this, &CSchedulerTab::RenameTask);

    m_enable->setChecked(m_doc.m_ScheduleSettings.m_bScheduleEnabled);
    EnsureTask();
    m_filled = true;
    UpdateScheduleDisplay();
}

bool CSchedulerTab::EnsureTask() {
    if (!m_enable->isChecked()) return false;
    std::string name = m_doc.m_ScheduleSettings.m_strTaskName;
    if (name.empty()) {
        while (m_doc.GetPathName().empty()) {
            if (platform::Tell(kMustSave, platform::MB_YESNO | platform::MB_ICONQUESTION) != platform::IDYES ||
                !m_save())
                return false;
        }
        name = CSchedulerTask::DefaultTaskName(m_doc.GetPathName());
        while (!name.empty() && TaskFileExists(name)) {
            CdlgRenameTask dialog("The default Scheduler Job Name already exists,\nPlease enter a new name",
                                  QString::fromStdString(name), this);
            if (m_exec(dialog) != QDialog::Accepted) return false;
            name = dialog.Name().toStdString();
        }
        if (name.empty()) {
            platform::Tell(
                "Could not create a scheduler job, the filename is invalid!\nPlease make sure you have saved this "
                "backup job before\ncreating a scheduler for it!",
                platform::MB_OK);
            return false;
        }
    }
    if (m_task.HasOpenTask() && ::strcasecmp(m_task.OpenName().c_str(), name.c_str()) == 0) {
        m_doc.m_ScheduleSettings.m_strTaskName = name;
        return true;
    }
    if (m_hooks.Open(m_doc.GetPathName(), name)) {
        m_doc.m_ScheduleSettings.m_strTaskName = name;
        return true;
    }
    char text[1024];
    std::snprintf(text, sizeof text, "Could not open/create scheduler job %s!", name.c_str());
    platform::Tell(text, platform::MB_OK);
    m_enable->setChecked(false);
    m_doc.m_ScheduleSettings.m_strTaskName.clear();
    return false;
}

void CSchedulerTab::EnableClicked() {
    if (!EnsureTask()) m_enable->setChecked(false);
    m_doc.m_ScheduleSettings.m_bScheduleEnabled = m_enable->isChecked() ? 1 : 0;
    if (m_filled) m_modified();
    UpdateScheduleDisplay();
}

void CSchedulerTab::UpdateScheduleDisplay() {
    const bool on = m_enable->isChecked();
    m_triggers->clear();
    if (!on) {
        m_taskName->clear();
        m_next->clear();
        m_last->clear();
        m_status->clear();
        m_active->setChecked(false);
    } else {
        SetLook(m_taskName, QString::fromStdString(m_doc.m_ScheduleSettings.m_strTaskName), 0, false);
        QPalette palette = m_taskName->palette();
        palette.setColor(QPalette::WindowText, QColor(80, 80, 140));
        m_taskName->setPalette(palette);
        for (int i = 0; i < m_task.GetTriggerCount(); ++i)
            m_triggers->addItem(QString::fromStdString(m_task.GetTriggerString(i)));
        SetLook(m_last, RunTimeText(m_task.GetLastRunTime()), 0, false);
        SetLook(m_next, RunTimeText(m_task.GetNextRunTime()), 0, false);
        m_active->setChecked(m_task.IsEnabled());
        const StatusLook look = DescribeStatus(m_task.GetStatus());
        SetLook(m_status, QString::fromStdString(look.text), look.colour, look.bold);
    }
    EnableControls();
}

void CSchedulerTab::EnableControls() {
    const bool on = m_enable->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{m_rename, m_active, m_triggers, m_modify}) w->setEnabled(on);
}

void CSchedulerTab::ModifySchedules() {
    SaveToJob();
    if (!m_task.ModifySchedules()) {
        platform::Tell("Unable to open Properties for Scheduler Job !!!\n", platform::MB_OK | platform::MB_ICONSTOP);
        return;
    }
    UpdateScheduleDisplay();
}

void CSchedulerTab::RenameTask() {
    const std::string old = m_doc.m_ScheduleSettings.m_strTaskName;
    std::string name = old;
    for (;;) {
        CdlgRenameTask dialog("Enter New Scheduler Job Name", QString::fromStdString(name), this);
        if (m_exec(dialog) != QDialog::Accepted) return;
        name = dialog.Name().toStdString();
        if (::strcasecmp(name.c_str(), old.c_str()) == 0) return;
        if (!TaskFileExists(name)) break;
        platform::Tell("The filename \"" + name + "\" already exists\n\nPlease Enter a new name", platform::MB_OK);
    }
    if (platform::Tell(
            "This job must be saved before the file can be renamed.\nDo you wish to save changes and rename the "
            "scheduler job filename?",
            platform::MB_YESNO | platform::MB_ICONQUESTION) != platform::IDYES)
        return;
    if (!m_task.RenameTask(name)) {
        platform::Tell(m_task.LastError(), platform::MB_OK | platform::MB_ICONSTOP);
        return;
    }
    m_doc.m_ScheduleSettings.m_strTaskName = name;
    m_modified();
    m_save();
    if (!m_hooks.Open(m_doc.GetPathName(), name)) {
        SetLook(m_taskName, QString::fromStdString(name), 1, true);
        return;
    }
    UpdateScheduleDisplay();
}

void CSchedulerTab::SaveToJob() {
    m_doc.m_ScheduleSettings.m_bScheduleEnabled = m_enable->isChecked() ? 1 : 0;
    m_doc.m_ScheduleSettings.m_bSchedulesActive = m_active->isChecked() ? 1 : 0;
}

}  // namespace scheduling
