#include "editor/ProgramOptionsDialog.h"

#include "platform/FileSystem.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

namespace editor {

CProgramOptionsDialog::CProgramOptionsDialog(const jobmodel::CSettingsRegistry& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings) {
    setWindowTitle("Vellora Options");
    // A white dialog, its texts drawn on white.
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    m_pickFolder = [this](const QString& title, const QString& start) {
        return QFileDialog::getExistingDirectory(this, title, start);
    };

    auto folderRow = [this](QGridLayout* grid, int row, const char* label, QLineEdit*& edit, QPushButton*& browse) {
        edit = new QLineEdit(this);
        browse = new QPushButton("...", this);
        browse->setFixedWidth(32);
        auto* caption = new QLabel(label, this);
        caption->setBuddy(edit);
        grid->addWidget(caption, row, 0);
        grid->addWidget(edit, row, 1);
        grid->addWidget(browse, row, 2);
    };
    auto* folders = new QGroupBox("Folders", this);
    auto* folderGrid = new QGridLayout(folders);
    folderRow(folderGrid, 0, "&Jobs Folder:", m_jobFolder, m_browseJobs);
    folderRow(folderGrid, 1, "&Log Folder:", m_logFolder, m_browseLog);

    auto* notes = new QGroupBox("Notifications", this);
    auto* noteGrid = new QGridLayout(notes);
    m_playSounds = new QCheckBox("&Play Sound Notifications", notes);
    m_configure = new QPushButton("&Configure", notes);
    m_balloons = new QCheckBox("Show &Balloon Tip Notifications", notes);
    m_indexFiles = new QCheckBox("Use &Index Files", notes);
    noteGrid->addWidget(m_playSounds, 0, 0);
    noteGrid->addWidget(m_configure, 0, 1);
    noteGrid->addWidget(m_balloons, 1, 0, 1, 2);
    noteGrid->addWidget(m_indexFiles, 2, 0, 1, 2);

    auto* temp = new QGroupBox("Temporary File", this);
    auto* tempGrid = new QGridLayout(temp);
    m_useTempFile = new QCheckBox("&Use Temp File (Not used!!!)", temp);
    m_useTempFile->hide();
    m_location = new QLabel("L&ocation:", temp);
    m_winTemp = new QCheckBox("&Windows Temp Folder", temp);
    m_tempFolder = new QLineEdit(temp);
    m_location->setBuddy(m_tempFolder);
    m_browseTemp = new QPushButton("...", temp);
    m_browseTemp->setFixedWidth(32);
    tempGrid->addWidget(m_location, 0, 0);
    tempGrid->addWidget(m_winTemp, 0, 1, 1, 2);
    tempGrid->addWidget(m_tempFolder, 1, 0, 1, 2);
    tempGrid->addWidget(m_browseTemp, 1, 2);

    auto* silent = new QGroupBox("Backup Windows", this);
    auto* silentGrid = new QGridLayout(silent);
    m_hideWindows = new QCheckBox("&Hide Backup Windows in Taskbar", silent);
    m_hideErrors = new QCheckBox("Hide &Error Message Windows", silent);
    m_closeWindows = new QCheckBox("&Close Backup Windows Automatically", silent);
    m_onlyIfSuccess = new QCheckBox("Only if &Successful", silent);
    silentGrid->addWidget(m_hideWindows, 0, 0);
    silentGrid->addWidget(m_hideErrors, 1, 0);
    silentGrid->setColumnMinimumWidth(0, 20);
    silentGrid->addWidget(m_closeWindows, 2, 0);
    silentGrid->addWidget(m_onlyIfSuccess, 3, 0);
    m_hideErrors->setContentsMargins(20, 0, 0, 0);
    m_onlyIfSuccess->setContentsMargins(20, 0, 0, 0);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    for (QWidget* w : {static_cast<QWidget*>(folders), static_cast<QWidget*>(notes), static_cast<QWidget*>(temp),
                       static_cast<QWidget*>(silent), static_cast<QWidget*>(buttons)})
        layout->addWidget(w);

    const ProgramOptions o = LoadProgramOptions(settings);
    m_jobFolder->setText(QString::fromStdString(o.jobFolder));
    m_logFolder->setText(QString::fromStdString(o.logFolder));
    m_tempFolder->setText(QString::fromStdString(o.tempFolder));
    m_useTempFile->setChecked(o.useTempFile);
    m_winTemp->setChecked(o.useWinTempFolder);
    m_playSounds->setChecked(o.playSounds);
    m_balloons->setChecked(o.showBalloonTips);
    m_indexFiles->setChecked(o.useIndexFiles);
    m_hideWindows->setChecked(o.hideBackupWindows);
    m_hideErrors->setChecked(o.hideErrorMessages);
    m_closeWindows->setChecked(o.closeBackupWindows);
    m_onlyIfSuccess->setChecked(o.closeIfSuccess);
    // Balloons need a notification area that shows messages.
    m_balloons->setEnabled(QSystemTrayIcon::supportsMessages());
    ApplyEnabling();

    for (QCheckBox* box : {m_hideWindows, m_closeWindows})
        connect(box, &QCheckBox::clicked, this, &CProgramOptionsDialog::ApplyEnabling);
    connect(m_winTemp, &QCheckBox::clicked, this, [this](bool on) {
        if (on) {
            ProgramOptions o = Taken();
            if (FillSystemTempFolder(o, platform::GetWindowsTempFolder()))
                m_tempFolder->setText(QString::fromStdString(o.tempFolder));
        }
        ApplyEnabling();
    });
    auto browse = [this](QLineEdit* edit, const char* title) {
        const QString picked = m_pickFolder(title, edit->text());
        if (!picked.isEmpty()) edit->setText(picked);
    };
    connect(m_browseJobs, &QPushButton::clicked, this, [=] { browse(m_jobFolder, "Select Job Folder"); });
    connect(m_browseLog, &QPushButton::clicked, this, [=] { browse(m_logFolder, "Select Log Folder"); });
    connect(m_browseTemp, &QPushButton::clicked, this, [=] { browse(m_tempFolder, "Select Temp Folder"); });
    connect(m_configure, &QPushButton::clicked, this, [] { OpenSoundSettings(); });
}

ProgramOptions CProgramOptionsDialog::Taken() const {
    ProgramOptions o;
    o.jobFolder = m_jobFolder->text().toStdString();
    o.logFolder = m_logFolder->text().toStdString();
    o.tempFolder = m_tempFolder->text().toStdString();
    o.useTempFile = m_useTempFile->isChecked();
    o.useWinTempFolder = m_winTemp->isChecked();
    o.playSounds = m_playSounds->isChecked();
    o.showBalloonTips = m_balloons->isChecked();
    o.useIndexFiles = m_indexFiles->isChecked();
    o.hideBackupWindows = m_hideWindows->isChecked();
    o.hideErrorMessages = m_hideErrors->isChecked();
    o.closeBackupWindows = m_closeWindows->isChecked();
    o.closeIfSuccess = m_onlyIfSuccess->isChecked();
    return o;
}

void CProgramOptionsDialog::ApplyEnabling() {
    const ProgramOptionsEnabling e = OptionsEnabling(Taken());
    m_hideErrors->setEnabled(e.hideErrorMessages);
    m_onlyIfSuccess->setEnabled(e.closeIfSuccess);
    m_location->setEnabled(e.location);
    m_winTemp->setEnabled(e.location);
    m_tempFolder->setEnabled(e.tempFolder);
    m_browseTemp->setEnabled(e.tempFolder);
}

void CProgramOptionsDialog::accept() {
    const ProgramOptions o = Taken();
    switch (CheckFolders(o)) {
        case FolderField::Jobs: m_jobFolder->setFocus(); m_jobFolder->selectAll(); return;
        case FolderField::Log: m_logFolder->setFocus(); m_logFolder->selectAll(); return;
        case FolderField::Temp: m_tempFolder->setFocus(); m_tempFolder->selectAll(); return;
        case FolderField::None: break;
    }
    SaveProgramOptions(o, m_settings);
    QDialog::accept();
}

}  // namespace editor
