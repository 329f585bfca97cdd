#pragma once

#include "desktop/PasswordFields.h"
#include "editor/OptionsPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <functional>

namespace editor {

using desktop::CPasswordPrompt;

// "Enter Password" with the old, new and confirmation fields; OK is refused
// with its message while they do not fit.
class CdlgZipSetPassword : public QDialog {
public:
    CdlgZipSetPassword(std::string current, QWidget* parent = nullptr);
    void accept() override;
    QLineEdit* m_old;
    QLineEdit* m_new;
    QLineEdit* m_confirm;

private:
    std::string m_current;
};

// The Options tab: compression, verification, old versions, the password
// and the rules for removable disks.
class COptionsTab : public QWidget {
public:
    COptionsTab(jobmodel::CAppDoc& doc, std::function<void()> modified, QWidget* parent = nullptr);
    bool SaveToJob();

    // How the password dialogs are shown; tests answer them.
    std::function<int(QDialog&)> m_exec = [](QDialog& dialog) { return dialog.exec(); };

    QComboBox* m_compression;
    QCheckBox* m_verify;
    QCheckBox* m_archive;
    QLineEdit* m_purgeDays;
    QCheckBox* m_usePassword;
    QPushButton* m_change;
    QCheckBox* m_useVolumeName;
    QLineEdit* m_volumeName;
    QPushButton* m_readLabel;
    QComboBox* m_spanning;
    QComboBox* m_nonEmpty;

private:
    void Take();
    void Show();
    bool ChangePassword();
    void UsePasswordToggled(bool on);

    jobmodel::CAppDoc& m_doc;
    std::function<void()> m_modified;
    bool m_bRemovable;
    OptionsPageFields m_fields;
    std::vector<QLabel*> m_purgeLabels;
};

// The Logging tab: which sections the job's log holds, and the last log.
class CLoggingTab : public QWidget {
public:
    CLoggingTab(jobmodel::CAppDoc& doc, std::function<void()> modified, std::function<bool()> save,
                QWidget* parent = nullptr);
    bool SaveToJob();

    QCheckBox* m_createLog;
    std::vector<QCheckBox*> m_sections;  // in the order of the job's switches
    QCheckBox* m_errors;
    QPushButton* m_viewLastLog;

private:
    void UpdateEnabling();
    std::string LogPath() const;

    jobmodel::CAppDoc& m_doc;
    std::function<void()> m_modified;
    std::function<bool()> m_save;
};

}  // namespace editor
