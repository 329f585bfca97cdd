#pragma once

#include "editor/BackupPage.h"
#include "editor/BackupTree.h"
#include "selection/SelectionTreeView.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>

#include <functional>

namespace editor {

// The Backup tab: what a job backs up, the file-type filter and where the
// backup goes. The decisions are the tree's and BackupPage's; this page
// shows them and passes the user's clicks on.
class CBackupTab : public QWidget {
public:
    CBackupTab(jobmodel::CAppDoc& doc, std::function<void()> modified, QWidget* parent = nullptr);

    // Save and validate: false, after its message, keeps the job unsaved.
    bool SaveToJob();

    CBackupTree& Tree() { return m_tree; }
    selection::CSelectionTreeView* m_view;
    QCheckBox* m_includeSubfolders;
    QCheckBox* m_showFiles;
    QToolButton* m_quickSelect;
    QLabel* m_path;
    QLineEdit* m_description;
    QLineEdit* m_backupFile;
    QPushButton* m_browse;
    QButtonGroup* m_filter;
    QLineEdit* m_fileType;
    QPushButton* m_add;
    QPushButton* m_remove;
    QListWidget* m_fileTypes;

private:
    void BuildTree();
    void ShowFilter();
    void ShowFilesToggled(bool on);
    void ChooseBackupFile();
    void QuickSelect(CBackupTree::QuickSelectItem item);

    jobmodel::CAppDoc& m_doc;
    std::function<void()> m_modified;
    CBackupTree m_tree;
    BackupPageFields m_fields;
};

}  // namespace editor
