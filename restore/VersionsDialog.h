#pragma once

#include "restore/Versions.h"

#include <QButtonGroup>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <functional>

namespace restore {

// Every copy of one file in the backup and its archive zips, newest first;
// the chosen copy goes back to its folder, to another folder, or beside
// the original under a dated name.
class CdlgVersions : public QDialog {
public:
    // `restore` runs RestoreVersion for the chosen copy and gives its result.
    CdlgVersions(const std::string& path, std::vector<FileVersion> versions,
                 std::function<std::string(const FileVersion&, VersionTarget, const std::string&)> restore,
                 QWidget* parent = nullptr);

    QTreeWidget* m_list;
    QRadioButton* m_original;
    QRadioButton* m_folder;
    QRadioButton* m_beside;
    QLineEdit* m_destination;
    QPushButton* m_browse;
    QPushButton* m_restore;
    QLabel* m_result;

private:
    void Restore();

    std::string m_path;
    std::vector<FileVersion> m_versions;
    std::function<std::string(const FileVersion&, VersionTarget, const std::string&)> m_run;
    QButtonGroup* m_targets;
};

}  // namespace restore
