#include "scheduling/ScheduleDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

namespace scheduling {

namespace {

QDate ToQDate(const Date& d) { return d.Valid() ? QDate(d.year, d.month, d.day) : QDate::currentDate(); }
Date FromQDate(const QDate& d) { return {d.year(), d.month(), d.day()}; }

}  // namespace

CScheduleDialog::CScheduleDialog(const Task& task, QWidget* parent) : QDialog(parent), m_task(task) {
    setWindowTitle("Modify Schedule(s)");
    m_pages = new QTabWidget(this);
    m_pages->addTab(TaskPage(), "Task");
    m_pages->addTab(SchedulePage(), "Schedule");
    m_pages->addTab(SettingsPage(), "Settings");
    m_pages->setCurrentIndex(1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        StoreTrigger();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addWidget(buttons);
    RefreshList();
    ShowTrigger(m_task.triggers.empty() ? -1 : 0);
    resize(520, 460);
}

QWidget* CScheduleDialog::TaskPage() {
    auto* page = new QWidget(this);
    m_program = new QLineEdit(QString::fromStdString(m_task.application), page);
    m_parameters = new QLineEdit(QString::fromStdString(m_task.parameters), page);
    m_folder = new QLineEdit(QString::fromStdString(m_task.workingFolder), page);
    m_comment = new QLineEdit(QString::fromStdString(m_task.comment), page);
    m_enabled = new QCheckBox("&Enabled (scheduled task runs at specified time)", page);
    m_enabled->setChecked(m_task.Enabled());
    auto* form = new QFormLayout(page);
    form->addRow("&Run:", m_program);
    form->addRow("&Parameters:", m_parameters);
    form->addRow("&Start in:", m_folder);
    form->addRow("&Comments:", m_comment);
    form->addRow(m_enabled);
    return page;
}

QWidget* CScheduleDialog::SchedulePage() {
    auto* page = new QWidget(this);
    m_triggers = new QListWidget(page);
    m_triggers->setMaximumHeight(110);
    m_new = new QPushButton("&New", page);
    m_delete = new QPushButton("&Delete", page);
    m_kind = new QComboBox(page);
    m_kind->addItems({"Once", "Daily", "Weekly", "Monthly", "At System Startup", "At Logon"});
    m_time = new QTimeEdit(page);
    m_time->setDisplayFormat("HH:mm");
    m_start = new QDateEdit(page);
    m_start->setCalendarPopup(true);
    m_hasEnd = new QCheckBox("&End date:", page);
    m_end = new QDateEdit(page);
    m_end->setCalendarPopup(true);
    m_interval = new QSpinBox(page);
    m_interval->setRange(1, 999);
    m_dayOfMonth = new QSpinBox(page);
    m_dayOfMonth->setRange(1, 31);
    const QLocale locale;
    auto* days = new QWidget(page);
    auto* dayRow = new QHBoxLayout(days);
    dayRow->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < 7; ++i) {
        m_days[static_cast<size_t>(i)] = new QCheckBox(locale.dayName(i == 0 ? 7 : i, QLocale::ShortFormat), days);
        dayRow->addWidget(m_days[static_cast<size_t>(i)]);
    }
    auto* months = new QWidget(page);
    auto* monthGrid = new QGridLayout(months);
    monthGrid->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < 12; ++i) {
        m_months[static_cast<size_t>(i)] = new QCheckBox(locale.monthName(i + 1, QLocale::ShortFormat), months);
        monthGrid->addWidget(m_months[static_cast<size_t>(i)], i / 6, i % 6);
    }
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(m_triggers, 1);
    auto* listButtons = new QVBoxLayout;
    listButtons->addWidget(m_new);
    listButtons->addWidget(m_delete);
    listButtons->addStretch();
    listRow->addLayout(listButtons);
    auto* form = new QFormLayout;
    auto* intervalLabel = new QLabel("Every (days or weeks):", page);
    auto* startLabel = new QLabel("Start &date:", page);
    auto* timeLabel = new QLabel("Start &time:", page);
    auto* dayLabel = new QLabel("&Day of the month:", page);
    startLabel->setBuddy(m_start);
    timeLabel->setBuddy(m_time);
    dayLabel->setBuddy(m_dayOfMonth);
    form->addRow("&Schedule task:", m_kind);
    form->addRow(timeLabel, m_time);
    form->addRow(startLabel, m_start);
    form->addRow(m_hasEnd, m_end);
    form->addRow(intervalLabel, m_interval);
    form->addRow(days);
    form->addRow(dayLabel, m_dayOfMonth);
    form->addRow(months);
    m_timedFields = {timeLabel, m_time, startLabel, m_start, m_hasEnd, m_end};
    m_intervalFields = {intervalLabel, m_interval};
    m_dayFields = {days};
    m_monthFields = {dayLabel, m_dayOfMonth, months};
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(listRow);
    layout->addLayout(form);
    layout->addStretch();

    connect(m_triggers, &QListWidget::currentRowChanged, this, [this](int row) {
        if (m_showing) return;
        StoreTrigger();
        ShowTrigger(row);
    });
    connect(m_new, &QPushButton::clicked, this, [this] {
        StoreTrigger();
        Trigger t;
        t.kind = Trigger::kDaily;
        t.hour = 9;
        t.start = FromQDate(QDate::currentDate());
        m_task.triggers.push_back(t);
        RefreshList();
        ShowTrigger(static_cast<int>(m_task.triggers.size()) - 1);
    });
    connect(m_delete, &QPushButton::clicked, this, [this] {
        if (m_row < 0) return;
        m_task.triggers.erase(m_task.triggers.begin() + m_row);
        m_row = -1;
        RefreshList();
        ShowTrigger(m_task.triggers.empty() ? -1 : 0);
    });
    connect(m_kind, &QComboBox::currentIndexChanged, this, [this] {
        ShowFieldsForKind();
        StoreTrigger();
        RefreshList();
    });
    auto store = [this] {
        StoreTrigger();
        RefreshList();
    };
    connect(m_time, &QTimeEdit::timeChanged, this, store);
    connect(m_start, &QDateEdit::dateChanged, this, store);
    connect(m_end, &QDateEdit::dateChanged, this, store);
    connect(m_hasEnd, &QCheckBox::toggled, this, [this, store](bool on) {
        m_end->setEnabled(on);
        store();
    });
    connect(m_interval, &QSpinBox::valueChanged, this, store);
    connect(m_dayOfMonth, &QSpinBox::valueChanged, this, store);
    for (QCheckBox* box : m_days) connect(box, &QCheckBox::toggled, this, store);
    for (QCheckBox* box : m_months) connect(box, &QCheckBox::toggled, this, store);
    return page;
}

QWidget* CScheduleDialog::SettingsPage() {
    auto* page = new QWidget(this);
    m_hours = new QSpinBox(page);
    m_hours->setRange(0, 999);
    m_minutes = new QSpinBox(page);
    m_minutes->setRange(0, 59);
    const uint32_t minutes = m_task.maxRunTimeMs / 60000;
    m_hours->setValue(static_cast<int>(minutes / 60));
    m_minutes->setValue(static_cast<int>(minutes % 60));
    m_loggedOn = new QCheckBox("Run &only if logged on", page);
    m_loggedOn->setChecked(m_task.flags & kTaskFlagRunOnlyIfLoggedOn);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Stop the task if it runs for:", page));
    row->addWidget(m_hours);
    row->addWidget(new QLabel("hour(s)", page));
    row->addWidget(m_minutes);
    row->addWidget(new QLabel("minute(s)", page));
    row->addStretch();
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(row);
    layout->addWidget(m_loggedOn);
    layout->addStretch();
    return page;
}

void CScheduleDialog::RefreshList() {
    m_showing = true;
    const int row = m_row;
    m_triggers->clear();
    for (size_t i = 0; i < m_task.triggers.size(); ++i)
        m_triggers->addItem(QString::number(i + 1) + ". " + QString::fromStdString(TriggerString(m_task.triggers[i])));
    m_triggers->setCurrentRow(row);
    m_showing = false;
}

void CScheduleDialog::ShowTrigger(int row) {
    m_showing = true;
    m_row = row;
    const bool any = row >= 0 && row < static_cast<int>(m_task.triggers.size());
    m_delete->setEnabled(any);
    m_kind->setEnabled(any);
    const Trigger t = any ? m_task.triggers[static_cast<size_t>(row)] : Trigger();
    m_triggers->setCurrentRow(any ? row : -1);
    m_kind->setCurrentIndex(static_cast<int>(t.kind));
    m_time->setTime(QTime(t.hour, t.minute));
    m_start->setDate(ToQDate(t.start));
    m_hasEnd->setChecked(t.end.has_value());
    m_end->setDate(t.end ? ToQDate(*t.end) : ToQDate(t.start));
    m_end->setEnabled(t.end.has_value());
    m_interval->setValue(t.interval);
    m_dayOfMonth->setValue(t.dayOfMonth);
    for (size_t i = 0; i < 7; ++i) m_days[i]->setChecked(t.weekDays & (1u << i));
    for (size_t i = 0; i < 12; ++i) m_months[i]->setChecked(t.months & (1u << i));
    ShowFieldsForKind();
    if (!any)
        for (auto* list : {&m_timedFields, &m_intervalFields, &m_dayFields, &m_monthFields})
            for (QWidget* w : *list) w->setVisible(false);
    m_showing = false;
}

void CScheduleDialog::ShowFieldsForKind() {
    const auto kind = static_cast<Trigger::Kind>(m_kind->currentIndex());
    const bool timed = kind != Trigger::kAtStartup && kind != Trigger::kAtLogon;
    for (QWidget* w : m_timedFields) w->setVisible(timed);
    for (QWidget* w : m_intervalFields) w->setVisible(kind == Trigger::kDaily || kind == Trigger::kWeekly);
    for (QWidget* w : m_dayFields) w->setVisible(kind == Trigger::kWeekly);
    for (QWidget* w : m_monthFields) w->setVisible(kind == Trigger::kMonthly);
}

void CScheduleDialog::StoreTrigger() {
    if (m_showing || m_row < 0 || m_row >= static_cast<int>(m_task.triggers.size())) return;
    Trigger& t = m_task.triggers[static_cast<size_t>(m_row)];
    t.kind = static_cast<Trigger::Kind>(m_kind->currentIndex());
    t.hour = m_time->time().hour();
    t.minute = m_time->time().minute();
    t.start = FromQDate(m_start->date());
    t.end = m_hasEnd->isChecked() ? std::optional<Date>(FromQDate(m_end->date())) : std::nullopt;
    t.interval = m_interval->value();
    t.dayOfMonth = m_dayOfMonth->value();
    t.weekDays = 0;
    for (size_t i = 0; i < 7; ++i)
        if (m_days[i]->isChecked()) t.weekDays |= 1u << i;
    // A weekly trigger without a day runs on its start date's weekday.
    if (t.kind == Trigger::kWeekly && !t.weekDays) t.weekDays = 1u << m_start->date().dayOfWeek() % 7;
    t.months = 0;
    for (size_t i = 0; i < 12; ++i)
        if (m_months[i]->isChecked()) t.months |= 1u << i;
}

Task CScheduleDialog::Edited() const {
    Task task = m_task;
    task.application = m_program->text().toStdString();
    task.parameters = m_parameters->text().toStdString();
    task.workingFolder = m_folder->text().toStdString();
    task.comment = m_comment->text().toStdString();
    task.flags = m_enabled->isChecked() ? task.flags & ~kTaskFlagDisabled : task.flags | kTaskFlagDisabled;
    task.flags = m_loggedOn->isChecked() ? task.flags | kTaskFlagRunOnlyIfLoggedOn
                                         : task.flags & ~kTaskFlagRunOnlyIfLoggedOn;
    task.maxRunTimeMs = static_cast<uint32_t>((m_hours->value() * 60 + m_minutes->value()) * 60000);
    return task;
}

}  // namespace scheduling
