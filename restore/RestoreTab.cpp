#include "restore/RestoreTab.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QMimeDatabase>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "desktop/DesktopOpen.h"
#include "desktop/PasswordFields.h"
#include "desktop/WaitCursor.h"
#include "jobmodel/SettingsRegistry.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "restore/VersionsDialog.h"

namespace restore {

using selection::SelectionNode;

using desktop::WaitCursor;

CdlgRestoringFiles::CdlgRestoringFiles(CRestoreTab& tab) : QDialog(&tab), m_tab(tab) {
    setWindowTitle("Restoring Files");
    m_text = new QLabel("Restore in progress, please wait...", this);
    m_text->setMinimumWidth(320);
    m_text->setWordWrap(true);
    m_abort = new QPushButton("&Abort", this);
    m_viewLog = new QPushButton("&View Log", this);
    m_ok = new QPushButton("OK", this);
    m_viewLog->setEnabled(false);
    m_ok->setEnabled(false);
    m_viewLog->setIcon(desktop::CommandIcon("document-open", QStyle::SP_FileDialogContentsView));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_abort);
    buttons->addWidget(m_viewLog);
    buttons->addWidget(m_ok);
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_DialogSaveButton).pixmap(32, 32));
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(m_text, 1);
    layout->addLayout(row);
    layout->addLayout(buttons);
    connect(m_abort, &QPushButton::clicked, this, [this] { m_tab.Page().RequestAbort(); });
    connect(m_viewLog, &QPushButton::clicked, this,
            [this] { desktop::ViewLog(m_tab.Page().RestoreLogPath(), windowTitle().toStdString()); });
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

void CdlgRestoringFiles::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_started) return;
    m_started = true;
    QTimer::singleShot(0, this, [this] { Run(); });
}

void CdlgRestoringFiles::Run() {
    std::string result;
    {
        WaitCursor wait;
        result = m_tab.Page().RunRestore();
    }
    m_text->setText(QString::fromStdString(result));
    m_ok->setEnabled(true);
    m_viewLog->setEnabled(true);
    m_abort->setEnabled(false);
    m_ok->setDefault(true);
    m_ok->setFocus();
}

CRestoreTab::CRestoreTab(const jobmodel::CAppDoc& doc, IStatusProgress* progress, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_page(doc, jobmodel::CSettingsRegistry(jobmodel::ChooseSettingsRoot()), progress) {
    m_backupFile = new QComboBox(this);
    m_backupFile->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_backupFile->setMinimumContentsLength(30);
    m_refresh = new QPushButton("Re&fresh", this);
    m_refresh->setIcon(desktop::CommandIcon("view-refresh", QStyle::SP_BrowserReload));
    m_includeSubfolders = new QCheckBox("Include &Subfolders when selecting:", this);
    m_includeSubfolders->setChecked(true);
    m_view = new selection::CSelectionTreeView(this);
    m_path = new QLabel(this);
    m_path->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_original = new QRadioButton("&Original Folders", this);
    m_alternate = new QRadioButton("&Alternate Folder (Retain paths)", this);
    m_specific = new QRadioButton("S&pecific Folder (Ignore paths)", this);
    m_destination = new QLineEdit(this);
    m_browse = new QPushButton("...", this);
    m_browse->setFixedWidth(m_browse->fontMetrics().horizontalAdvance("....") + 16);
    m_destGroup = new QButtonGroup(this);
    m_destGroup->addButton(m_original, kOriginalFolders);
    m_destGroup->addButton(m_alternate, kAlternateFolder);
    m_destGroup->addButton(m_specific, kSpecificFolder);
    m_original->setChecked(true);

    m_all = new QRadioButton("Restore a&ll selected files", this);
    m_onlyExisting = new QRadioButton("Only restore files that already e&xist", this);
    m_onlyMissing = new QRadioButton("Only restore files that do &not exist", this);
    m_onlyNewer = new QRadioButton("Only restore files if ne&wer than existing", this);
    m_overwriteGroup = new QButtonGroup(this);
    m_overwriteGroup->addButton(m_all, kRestoreAll);
    m_overwriteGroup->addButton(m_onlyExisting, kOnlyExisting);
    m_overwriteGroup->addButton(m_onlyMissing, kOnlyMissing);
    m_overwriteGroup->addButton(m_onlyNewer, kOnlyNewer);
    m_all->setChecked(true);
    m_restore = new QPushButton("&Restore", this);
    m_restore->setIcon(desktop::CommandIcon("document-revert", QStyle::SP_DialogApplyButton));
    m_preview = new QPushButton("Pre&view...", this);
    m_preview->setIcon(desktop::CommandIcon("document-preview", QStyle::SP_FileDialogContentsView));
    m_find = new QLineEdit(this);
    m_find->setPlaceholderText("Find names in the backup (* and ? allowed), then press Enter");
    m_find->setClearButtonEnabled(true);
    m_foundCount = new QLabel(this);
    m_foundCount->setMinimumWidth(m_foundCount->fontMetrics().horizontalAdvance("1000 of 1000000 shown"));
    m_foundCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_found = new QListWidget(this);
    m_found->setMaximumHeight(130);
    m_found->setVisible(false);
    m_foundCount->setVisible(false);

    auto* top = new QHBoxLayout;
    auto* label = new QLabel("&Backup File", this);
    label->setBuddy(m_backupFile);
    top->addWidget(label);
    top->addWidget(m_backupFile, 1);
    top->addWidget(m_refresh);

    auto* destBox = new QGroupBox("Restore To", this);
    auto* dest = new QVBoxLayout(destBox);
    dest->addWidget(m_original);
    dest->addWidget(m_alternate);
    dest->addWidget(m_specific);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_destination, 1);
    folderRow->addWidget(m_browse);
    dest->addLayout(folderRow);

    auto* overwriteBox = new QGroupBox("Files to Restore", this);
    auto* overwrite = new QVBoxLayout(overwriteBox);
    overwrite->addWidget(m_all);
    overwrite->addWidget(m_onlyExisting);
    overwrite->addWidget(m_onlyMissing);
    overwrite->addWidget(m_onlyNewer);

    auto* side = new QVBoxLayout;
    side->addWidget(destBox);
    side->addWidget(overwriteBox);
    side->addStretch();
    auto* run = new QHBoxLayout;
    run->addStretch();
    run->addWidget(m_preview);
    run->addWidget(m_restore);
    side->addLayout(run);

    auto* findRow = new QHBoxLayout;
    auto* findLabel = new QLabel("F&ind:", this);
    findLabel->setBuddy(m_find);
    findRow->addWidget(findLabel);
    findRow->addWidget(m_find, 1);
    findRow->addWidget(m_foundCount);
    auto* treeColumn = new QVBoxLayout;
    treeColumn->addLayout(findRow);
    treeColumn->addWidget(m_found);
    treeColumn->addWidget(m_includeSubfolders);
    treeColumn->addWidget(m_view, 1);
    treeColumn->addWidget(m_path);

    auto* body = new QHBoxLayout;
    body->addLayout(treeColumn, 3);
    body->addLayout(side, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(body, 1);

    CRestoreTree& tree = m_page.Tree();
    m_view->Attach(
        &tree, [&tree](SelectionNode& node) { tree.ExpandNode(node); },
        [this](const SelectionNode& node) { return NodeIcon(node); });
    m_page.m_askPassword = [this]() -> std::optional<std::string> {
        desktop::CPasswordPrompt prompt(
            "The file is Password protected!\nPlease enter the password to extract the files.", this);
        if (m_exec(prompt) != QDialog::Accepted) return std::nullopt;
        return prompt.m_password->text().toStdString();
    };

    connect(m_backupFile, &QComboBox::activated, this, &CRestoreTab::LoadSelected);
    connect(m_refresh, &QPushButton::clicked, this, &CRestoreTab::RefreshBackupList);
    connect(m_includeSubfolders, &QCheckBox::toggled, this,
            [this](bool on) { m_page.Tree().m_bIncludeSubfolders = m_page.m_bIncludeSubfolders = on; });
    connect(m_destGroup, &QButtonGroup::idClicked, this, [this] { ShowDestinationEnabling(); });
    connect(m_browse, &QPushButton::clicked, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(this, "Select Restore Folder", m_destination->text());
        if (!folder.isEmpty()) m_destination->setText(folder);
    });
    connect(m_view, &QTreeWidget::currentItemChanged, this, [this] { ShowSelectedPath(); });
    connect(m_restore, &QPushButton::clicked, this, &CRestoreTab::Restore);
    connect(m_preview, &QPushButton::clicked, this, &CRestoreTab::Preview);
    connect(m_find, &QLineEdit::returnPressed, this, &CRestoreTab::Find);
    connect(m_found, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { Reveal(item->data(Qt::UserRole).toString().toStdString(), true); });
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const SelectionNode* node = m_view->NodeFor(m_view->itemAt(at));
        if (!node || !node->parent || node->IsFolder()) return;
        QMenu menu(this);
        QAction* versions = menu.addAction("&Versions...");
        if (menu.exec(m_view->viewport()->mapToGlobal(at)) == versions) ShowVersions(*node);
    });
    ShowDestinationEnabling();
}

QIcon CRestoreTab::NodeIcon(const SelectionNode& node) {
    // One look-up per kind of node: a folder may hold thousands of files.
    QString key;
    if (!node.parent) key = "/backup";
    else if (CRestoreTree::IsDriveRoot(node)) key = "/drive";
    else if (node.IsFolder()) key = "/folder";
    else key = QFileInfo(QString::fromStdString(node.name)).suffix().toLower();
    auto cached = m_icons.constFind(key);
    if (cached != m_icons.constEnd()) return *cached;
    QIcon icon;
    if (key == "/backup") {
        icon = desktop::CommandIcon("package-x-generic", QStyle::SP_DriveFDIcon);
    } else if (key == "/drive") {
        icon = desktop::CommandIcon("drive-harddisk", QStyle::SP_DriveHDIcon);
    } else if (key == "/folder") {
        icon = desktop::CommandIcon("folder", QStyle::SP_DirIcon);
    } else {
        // By name alone: the file need not exist.
        const QMimeType type = QMimeDatabase().mimeTypeForFile(QString::fromStdString(node.name),
                                                               QMimeDatabase::MatchExtension);
        icon = QIcon::fromTheme(type.iconName(),
                                QIcon::fromTheme(type.genericIconName(), style()->standardIcon(QStyle::SP_FileIcon)));
    }
    return *m_icons.insert(key, icon);
}

void CRestoreTab::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    RefreshIfStale();
}

void CRestoreTab::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ShowSelectedPath();
}

void CRestoreTab::RefreshIfStale() {
    const int line = m_backupFile->currentIndex();
    const std::string shown = line >= 0 ? m_backupFile->itemData(line).toString().toStdString() : std::string();
    if (m_bStale || shown != m_page.m_zip.m_strArchivePath) RefreshBackupList();
    m_bStale = false;
}

void CRestoreTab::RefreshBackupList() {
    WaitCursor wait;
    m_page.RefreshBackupList();
    m_backupFile->clear();
    for (const auto& entry : m_page.BackupList())
        m_backupFile->addItem(QString::fromStdString(entry.text), QString::fromStdString(entry.path));
    m_backupFile->setCurrentIndex(m_page.Selected());
    ShowLoaded();
}

void CRestoreTab::LoadSelected(int line) {
    WaitCursor wait;
    m_page.SelectBackup(line);
    ShowLoaded();
}

void CRestoreTab::ShowLoaded() {
    setUpdatesEnabled(false);
    m_view->Rebuild();
    CRestoreTree& tree = m_page.Tree();
    SelectionNode* root = tree.Root();
    const bool loaded = root && !root->children.empty();
    m_view->setRootIsDecorated(loaded);
    if (loaded) m_view->setCurrentItem(m_view->ItemFor(root->children.front().get()));
    m_original->setEnabled(m_page.m_bHasDriveRoots);
    m_destGroup->button(m_page.m_nDestMode)->setChecked(true);
    ShowDestinationEnabling();
    ReadControls();
    setUpdatesEnabled(true);
}

void CRestoreTab::ReadControls() {
    m_page.m_nDestMode = m_destGroup->checkedId();
    m_page.m_strDestination = m_destination->text().toStdString();
    m_page.m_nOverwriteMode = m_overwriteGroup->checkedId();
    m_page.m_bIncludeSubfolders = m_includeSubfolders->isChecked();
    m_page.Tree().m_bIncludeSubfolders = m_page.m_bIncludeSubfolders;
}

void CRestoreTab::ShowDestinationEnabling() {
    const bool elsewhere = !m_original->isChecked();
    m_destination->setEnabled(elsewhere);
    m_browse->setEnabled(elsewhere);
}

void CRestoreTab::ShowSelectedPath() {
    const SelectionNode* node = m_view->NodeFor(m_view->currentItem());
    const QString path = node ? QString::fromStdString(m_page.Tree().GetItemPath(*node)) : QString();
    m_path->setText(m_path->fontMetrics().elidedText(path, Qt::ElideMiddle, std::max(40, m_view->width())));
    m_path->setToolTip(path);
}

void CRestoreTab::Preview() {
    ReadControls();
    bool badDestination = false;
    if (!m_page.CheckRestoreInput(badDestination)) {
        if (badDestination) m_destination->setFocus();
        return;
    }
    RestorePreview preview;
    {
        WaitCursor wait;
        preview = m_page.PreviewRestore();
    }
    const std::string text = PreviewText(preview);
    if (!preview.refusal.empty()) {
        platform::Tell(text, platform::MB_ICONEXCLAMATION);
        return;
    }
    if (platform::Tell(text + "\n\nRestore now?", platform::MB_OKCANCEL | platform::MB_ICONINFORMATION) ==
        platform::IDOK)
        Restore();
}

void CRestoreTab::Find() {
    m_found->clear();
    const std::string pattern = m_find->text().trimmed().toStdString();
    m_found->setVisible(!pattern.empty());
    m_foundCount->setVisible(!pattern.empty());
    if (pattern.empty()) return;
    constexpr size_t kShown = 1000;
    size_t total = 0;
    std::vector<CRestorePage::SearchHit> hits;
    {
        WaitCursor wait;
        hits = m_page.Search(pattern, kShown, total);
    }
    for (const auto& hit : hits) {
        const QString path = QString::fromStdString(hit.path);
        const int slash = path.lastIndexOf('/');
        const QString name = path.mid(slash + 1), folder = slash > 0 ? path.left(slash) : QString("/");
        auto* item = new QListWidgetItem(name + "    " + folder, m_found);
        item->setData(Qt::UserRole, path);
        item->setToolTip(path);
    }
    m_foundCount->setText(total > hits.size() ? QString("%1 of %2 shown").arg(hits.size()).arg(total)
                                              : QString("%1 found").arg(total));
}

void CRestoreTab::Reveal(const std::string& path, bool tick) {
    SelectionNode* node = m_page.Tree().FindPath(path);
    if (!node) return;
    QTreeWidgetItem* item = m_view->ItemFor(node);
    if (!item) return;
    m_view->scrollToItem(item);
    m_view->setCurrentItem(item);
    if (tick && (node->state == selection::kNotSelected || node->state == selection::kSomethingBelow))
        m_page.Tree().Click(*node);
}

void CRestoreTab::ShowVersions(const SelectionNode& node) {
    std::string path = m_page.Tree().GetItemPath(node);
    if (!path.empty() && path.back() == '*') path.pop_back();  // the encrypted mark
    std::vector<FileVersion> versions;
    {
        WaitCursor wait;
        versions = m_catalog.FindVersions(m_page.BackupList(), path);
    }
    CdlgVersions dialog(path, std::move(versions),
                        [this, path](const FileVersion& version, VersionTarget target, const std::string& folder) {
                            CRestorePage page(m_doc, jobmodel::CSettingsRegistry(jobmodel::ChooseSettingsRoot()));
                            page.m_askPassword = m_page.m_askPassword;
                            return RestoreVersion(page, version, path, target, folder);
                        },
                        this);
    m_exec(dialog);
}

void CRestoreTab::Restore() {
    ReadControls();
    bool badDestination = false;
    if (!m_page.CheckRestoreInput(badDestination)) {
        if (badDestination) m_destination->setFocus();
        return;
    }
    CdlgRestoringFiles dialog(*this);
    m_exec(dialog);
}

}  // namespace restore
