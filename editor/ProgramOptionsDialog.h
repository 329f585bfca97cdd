#pragma once

#include "editor/ProgramOptions.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <functional>

namespace editor {

// "Vellora Options": the program settings, read on opening and written on OK.
class CProgramOptionsDialog : public QDialog {
public:
    CProgramOptionsDialog(const jobmodel::CSettingsRegistry& settings, QWidget* parent = nullptr);
    void accept() override;

    // The folder picker; tests answer it.
    std::function<QString(const QString& title, const QString& start)> m_pickFolder;

    QLineEdit* m_jobFolder;
    QLineEdit* m_logFolder;
    QLineEdit* m_tempFolder;
    QPushButton* m_browseJobs;
    QPushButton* m_browseLog;
    QPushButton* m_browseTemp;
    QCheckBox* m_playSounds;
    QPushButton* m_configure;
    QCheckBox* m_balloons;
    QCheckBox* m_indexFiles;
    QCheckBox* m_useTempFile;
    QLabel* m_location;
    QCheckBox* m_winTemp;
    QCheckBox* m_hideWindows;
    QCheckBox* m_hideErrors;
    QCheckBox* m_closeWindows;
    QCheckBox* m_onlyIfSuccess;

private:
    ProgramOptions Taken() const;
    void ApplyEnabling();

    const jobmodel::CSettingsRegistry& m_settings;
};

}  // namespace editor
