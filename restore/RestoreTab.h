#pragma once

#include "restore/RestorePage.h"
#include "restore/Versions.h"
#include "selection/SelectionTreeView.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include <functional>

namespace restore {

class CRestoreTab;

// The restore run's window: the run starts when it is first shown, Abort
// works while it runs, then the result, View Log and OK.
class CdlgRestoringFiles : public QDialog {
public:
    explicit CdlgRestoringFiles(CRestoreTab& tab);
    QLabel* m_text;
    QPushButton* m_abort;
    QPushButton* m_viewLog;
    QPushButton* m_ok;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Run();
    CRestoreTab& m_tab;
    bool m_started = false;
};

// The Restore tab: pick the backup or one of its archive zips, tick what
// to restore in its contents, choose where to and which files, restore.
// The decisions are CRestorePage's; this page shows them.
class CRestoreTab : public QWidget {
public:
    CRestoreTab(const jobmodel::CAppDoc& doc, IStatusProgress* progress, QWidget* parent = nullptr);

    CRestorePage& Page() { return m_page; }
    // The document changed: the list is read again when the tab shows.
    void MarkStale() { m_bStale = true; }
    // Reads the list and the contents when they are stale.
    void RefreshIfStale();
    void RefreshBackupList();
    // The Restore button.
    void Restore();
    // The Preview button: what the restore would do, then the restore when
    // the user goes on.
    void Preview();
    // Searches the backup for the find box's text and lists what it found.
    void Find();
    // Shows a path of the backup in the tree, ticked when `tick`.
    void Reveal(const std::string& path, bool tick);
    // The versions of a file node, in their dialog.
    void ShowVersions(const selection::SelectionNode& node);

    // How the dialogs are shown; tests answer them.
    std::function<int(QDialog&)> m_exec = [](QDialog& dialog) { return dialog.exec(); };

    QComboBox* m_backupFile;
    QPushButton* m_refresh;
    QCheckBox* m_includeSubfolders;
    selection::CSelectionTreeView* m_view;
    QLabel* m_path;
    QRadioButton* m_original;
    QRadioButton* m_alternate;
    QRadioButton* m_specific;
    QLineEdit* m_destination;
    QPushButton* m_browse;
    QRadioButton* m_all;
    QRadioButton* m_onlyExisting;
    QRadioButton* m_onlyMissing;
    QRadioButton* m_onlyNewer;
    QPushButton* m_restore;
    QPushButton* m_preview;
    QLineEdit* m_find;
    QLabel* m_foundCount;
    QListWidget* m_found;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void LoadSelected(int line);
    // Shows what the page decided after a load.
    void ShowLoaded();
    void ReadControls();
    void ShowDestinationEnabling();
    void ShowSelectedPath();
    QIcon NodeIcon(const selection::SelectionNode& node);

    const jobmodel::CAppDoc& m_doc;
    CRestorePage m_page;
    CVersionCatalog m_catalog;
    QButtonGroup* m_destGroup;
    QButtonGroup* m_overwriteGroup;
    bool m_bStale = true;
    QHash<QString, QIcon> m_icons;
};

}  // namespace restore
