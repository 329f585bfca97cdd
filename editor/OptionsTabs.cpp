#include "editor/OptionsTabs.h"

#include "desktop/PasswordFields.h"

#include "desktop/DesktopOpen.h"

#include "jobmodel/SettingsRegistry.h"
#include "logbook/LogContent.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QVBoxLayout>

namespace editor {

using desktop::MaskedEdit;
using desktop::OkCancel;

namespace {

constexpr const char* kCaption = "Vellora";

}  // namespace

CdlgZipSetPassword::CdlgZipSetPassword(std::string current, QWidget* parent)
    : QDialog(parent), m_current(std::move(current)) {
    setWindowTitle("Enter Password");
    m_old = MaskedEdit(this);
    m_new = MaskedEdit(this);
    m_confirm = MaskedEdit(this);
    auto* form = new QFormLayout(this);
    form->addRow("&Old Password", m_old);
    form->addRow("&New Password:", m_new);
    form->addRow("&Confirm New Password:", m_confirm);
    form->addRow(OkCancel(this));
    m_old->setEnabled(!m_current.empty());
}

void CdlgZipSetPassword::accept() {
    const std::string refusal = PasswordRefusal(m_current, m_old->text().toStdString(), m_new->text().toStdString(),
                                                m_confirm->text().toStdString());
    if (!refusal.empty()) {
        platform::Messages().Show(refusal, kCaption, platform::MB_OK | platform::MB_ICONEXCLAMATION);
        return;
    }
    QDialog::accept();
}

COptionsTab::COptionsTab(jobmodel::CAppDoc& doc, std::function<void()> modified, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_modified(std::move(modified)), m_bRemovable(RemovableDestination(doc)) {
    m_compression = new QComboBox(this);
    m_compression->addItems({"No compression", "Low compression (Fastest)", "Normal Compression",
                             "Maximum compression (Slowest)"});
    m_verify = new QCheckBox("&Verify Backup File", this);
    m_archive = new QCheckBox("&Archive changed/deleted files", this);
    m_purgeDays = new QLineEdit(this);
    m_purgeDays->setMaxLength(4);
    m_purgeDays->setValidator(new QIntValidator(0, 9999, m_purgeDays));
    m_purgeDays->setFixedWidth(m_purgeDays->fontMetrics().horizontalAdvance("00000") + 12);
    m_usePassword = new QCheckBox("&Use Password:", this);
    m_change = new QPushButton("C&hange", this);
    m_useVolumeName = new QCheckBox("&Only save to disks with this Volume Name:", this);
    m_volumeName = new QLineEdit(this);
    m_volumeName->setMaxLength(9);
    m_readLabel = new QPushButton("...", this);
    m_readLabel->setFixedWidth(32);
    m_spanning = new QComboBox(this);
    m_spanning->addItems({"Never", "Always", "Enable"});
    m_nonEmpty = new QComboBox(this);
    m_nonEmpty->addItems({"Erase existing files", "Append files", "Ask for another disk", "Abort backup"});

    auto* backup = new QGroupBox("Backup", this);
    auto* backupLayout = new QGridLayout(backup);
    auto* compressionLabel = new QLabel("&Compression Level:", backup);
    compressionLabel->setBuddy(m_compression);
    backupLayout->addWidget(compressionLabel, 0, 0);
    backupLayout->addWidget(m_compression, 0, 1, 1, 3);
    backupLayout->addWidget(m_verify, 1, 0, 1, 4);
    backupLayout->addWidget(m_archive, 2, 0, 1, 4);
    auto* purge = new QLabel("&Purge archive files older than", backup);
    purge->setBuddy(m_purgeDays);
    auto* days = new QLabel("days", backup);
    auto* never = new QLabel("(0 = never purge)", backup);
    m_purgeLabels = {purge, days, never};
    auto* purgeRow = new QHBoxLayout;
    purgeRow->setContentsMargins(20, 0, 0, 0);
    purgeRow->addWidget(purge);
    purgeRow->addWidget(m_purgeDays);
    purgeRow->addWidget(days);
    purgeRow->addWidget(never);
    purgeRow->addStretch();
    backupLayout->addLayout(purgeRow, 3, 0, 1, 4);
    auto* passwordRow = new QHBoxLayout;
    passwordRow->addWidget(m_usePassword);
    passwordRow->addWidget(m_change);
    passwordRow->addStretch();
    backupLayout->addLayout(passwordRow, 4, 0, 1, 4);

    auto* removable = new QGroupBox("Removable Disks", this);
    auto* removableLayout = new QGridLayout(removable);
    removableLayout->addWidget(m_useVolumeName, 0, 0, 1, 3);
    removableLayout->addWidget(m_volumeName, 1, 0, 1, 2);
    removableLayout->addWidget(m_readLabel, 1, 2);
    auto* spanningLabel = new QLabel("Disk &Spanning: ", removable);
    spanningLabel->setBuddy(m_spanning);
    auto* nonEmptyLabel = new QLabel("If a disk not &empty:", removable);
    nonEmptyLabel->setBuddy(m_nonEmpty);
    removableLayout->addWidget(spanningLabel, 2, 0);
    removableLayout->addWidget(m_spanning, 2, 1, 1, 2);
    removableLayout->addWidget(nonEmptyLabel, 3, 0);
    removableLayout->addWidget(m_nonEmpty, 3, 1, 1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(backup);
    layout->addWidget(removable);
    layout->addStretch();

    m_fields = LoadOptionsPage(doc, m_bRemovable);
    Show();

    auto changed = [this] {
        Take();
        Show();
        m_modified();
    };
    connect(m_compression, &QComboBox::activated, this, changed);
    connect(m_verify, &QCheckBox::clicked, this, changed);
    connect(m_archive, &QCheckBox::clicked, this, changed);
    connect(m_useVolumeName, &QCheckBox::clicked, this, changed);
    connect(m_nonEmpty, &QComboBox::activated, this, changed);
    connect(m_purgeDays, &QLineEdit::textEdited, this, changed);
    connect(m_volumeName, &QLineEdit::textEdited, this, changed);
    connect(m_spanning, &QComboBox::activated, this, [this](int spanning) {
        Take();
        ChooseSpanning(m_fields, spanning);
        Show();
        m_modified();
    });
    connect(m_usePassword, &QCheckBox::clicked, this, &COptionsTab::UsePasswordToggled);
    connect(m_change, &QPushButton::clicked, this, [this] { ChangePassword(); });
    connect(m_readLabel, &QPushButton::clicked, this, [this] {
        std::string label;
        if (!ReadDestinationLabel(m_doc, label)) return;
        m_volumeName->setText(QString::fromStdString(label));
        Take();
        m_modified();
    });
}

void COptionsTab::Take() {
    m_fields.compressionIndex = m_compression->currentIndex();
    m_fields.verify = m_verify->isChecked();
    m_fields.archive = m_archive->isChecked();
    m_fields.purgeDays = m_purgeDays->text().toStdString();
    m_fields.usePassword = m_usePassword->isChecked();
    m_fields.useVolumeName = m_useVolumeName->isChecked();
    m_fields.volumeName = m_volumeName->text().toStdString();
    m_fields.spanning = m_spanning->currentIndex();
    m_fields.nonEmpty = m_nonEmpty->currentIndex();
}

void COptionsTab::Show() {
    const OptionsEnabling e = UpdateEnabling(m_fields, m_bRemovable);
    m_compression->setCurrentIndex(m_fields.compressionIndex);
    m_verify->setChecked(m_fields.verify);
    m_archive->setChecked(m_fields.archive);
    m_purgeDays->setText(QString::fromStdString(m_fields.purgeDays));
    m_usePassword->setChecked(m_fields.usePassword);
    m_useVolumeName->setChecked(m_fields.useVolumeName);
    m_volumeName->setText(QString::fromStdString(m_fields.volumeName));
    m_spanning->setCurrentIndex(m_fields.spanning);
    m_nonEmpty->setCurrentIndex(m_fields.nonEmpty);
    m_useVolumeName->setEnabled(e.volumeNameBox);
    m_volumeName->setEnabled(e.volumeName);
    m_readLabel->setEnabled(e.volumeName);
    m_spanning->setEnabled(e.spanning);
    m_nonEmpty->setEnabled(e.nonEmpty);
    m_archive->setEnabled(e.archive);
    m_change->setEnabled(e.change);
    m_purgeDays->setEnabled(e.purgeDays);
    for (QLabel* label : m_purgeLabels) label->setEnabled(e.purgeDays);
}

bool COptionsTab::ChangePassword() {
    CdlgZipSetPassword dialog(m_doc.m_JobOptions.m_strPassword, this);
    if (m_exec(dialog) != QDialog::Accepted) return false;
    bool use = m_usePassword->isChecked();
    TakeNewPassword(m_doc, dialog.m_new->text().toStdString(), use);
    m_usePassword->setChecked(use);
    Take();
    Show();
    m_modified();
    return true;
}

void COptionsTab::UsePasswordToggled(bool on) {
    if (on) {
        ChangePassword();
        if (m_doc.m_JobOptions.m_strPassword.empty()) m_usePassword->setChecked(false);
    } else {
        CPasswordPrompt prompt("You must enter the current password to remove it!\nPlease enter the password here...",
                               this);
        if (m_exec(prompt) != QDialog::Accepted ||
            !RemovePassword(m_doc, prompt.m_password->text().toStdString()))
            m_usePassword->setChecked(true);
    }
    Take();
    Show();
    m_modified();
}

bool COptionsTab::SaveToJob() {
    Take();
    return SaveOptionsPage(m_fields, m_doc);
}

CLoggingTab::CLoggingTab(jobmodel::CAppDoc& doc, std::function<void()> modified, std::function<bool()> save,
                         QWidget* parent)
    : QWidget(parent), m_doc(doc), m_modified(std::move(modified)), m_save(std::move(save)) {
    const auto& log = doc.m_LogSettings;
    m_createLog = new QCheckBox("&Create Backup Log File", this);
    m_createLog->setChecked(log.m_bCreateLog);
    auto* sections = new QGroupBox("Log Sections", this);
    auto* grid = new QGridLayout(sections);
    const std::pair<const char*, int> boxes[] = {{"Summary &Information", log.m_bLogSummary},
                                                 {"Files &Added", log.m_bLogAdded},
                                                 {"Files &Updated", log.m_bLogUpdated},
                                                 {"Files already &Stored", log.m_bLogNotUpdated},
                                                 {"Files E&xcluded", log.m_bLogExcluded},
                                                 {"Files S&kipped", log.m_bLogSkipped},
                                                 {"Files &Removed", log.m_bLogRemoved}};
    int at = 0;
    for (const auto& [label, on] : boxes) {
        auto* box = new QCheckBox(label, sections);
        box->setChecked(on);
        m_sections.push_back(box);
        grid->addWidget(box, at % 4, at / 4);
        ++at;
        connect(box, &QCheckBox::clicked, this, [this] { m_modified(); });
    }
    m_errors = new QCheckBox("&Errors and Warnings", sections);
    m_errors->setChecked(log.m_bLogErrors);
    m_errors->setEnabled(false);
    grid->addWidget(m_errors, at % 4, at / 4);
    m_viewLastLog = new QPushButton("&View Last Log", this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_createLog);
    layout->addWidget(sections);
    auto* row = new QHBoxLayout;
    row->addWidget(m_viewLastLog);
    row->addStretch();
    layout->addLayout(row);
    layout->addStretch();
    UpdateEnabling();

    connect(m_createLog, &QCheckBox::clicked, this, [this] {
        if (m_doc.GetPathName().empty()) {
            if (platform::Messages().Show("This Job must be saved before a Logging can be enabled!\n\nDo you wish to "
                                          "save it now?",
                                          kCaption, platform::MB_YESNO | platform::MB_ICONQUESTION) == platform::IDYES)
                m_save();
        } else {
            m_modified();
        }
        UpdateEnabling();
    });
    connect(m_viewLastLog, &QPushButton::clicked, this, [this] { desktop::ViewLog(LogPath(), kCaption); });
}

std::string CLoggingTab::LogPath() const {
    return logbook::BackupLogPath(jobmodel::CSettingsRegistry(jobmodel::ChooseSettingsRoot()).GetLogFolder(),
                                  m_doc.GetPathName());
}

void CLoggingTab::UpdateEnabling() {
    for (QCheckBox* box : m_sections) box->setEnabled(m_createLog->isChecked());
    const std::string log = LogPath();
    m_viewLastLog->setEnabled(!log.empty() && platform::PathExists(log));
}

bool CLoggingTab::SaveToJob() {
    auto& log = m_doc.m_LogSettings;
    log.m_bCreateLog = m_createLog->isChecked();
    int* switches[] = {&log.m_bLogSummary, &log.m_bLogAdded,    &log.m_bLogUpdated, &log.m_bLogNotUpdated,
                       &log.m_bLogExcluded, &log.m_bLogSkipped, &log.m_bLogRemoved};
    for (size_t i = 0; i < m_sections.size(); ++i) *switches[i] = m_sections[i]->isChecked();
    return true;
}

}  // namespace editor
