#include "editor/BackupTab.h"

#include "desktop/DesktopOpen.h"

#include "editor/Profile.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "platform/SpecialFolders.h"

#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QRadioButton>
#include <QVBoxLayout>

namespace editor {

using selection::SelectionNode;

namespace {

constexpr int kDescriptionLimit = 1024;

QIcon NodeIcon(const CBackupTree& tree, const SelectionNode& node) {
    static QFileIconProvider provider;
    if (!node.parent) return provider.icon(QFileIconProvider::Computer);
    if (!node.parent->parent) return provider.icon(QFileIconProvider::Drive);
    const QFileInfo info(QString::fromStdString(tree.GetItemPath(node)));
    return node.IsFolder() ? provider.icon(QFileIconProvider::Folder) : provider.icon(info);
}

}  // namespace

CBackupTab::CBackupTab(jobmodel::CAppDoc& doc, std::function<void()> modified, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_modified(std::move(modified)) {
    m_includeSubfolders = new QCheckBox("Include &Subfolders when selecting", this);
    m_includeSubfolders->setChecked(true);
    m_showFiles = new QCheckBox("Show &Files on tree", this);
    m_quickSelect = new QToolButton(this);
    m_quickSelect->setText("&Quick Select");
    m_quickSelect->setPopupMode(QToolButton::InstantPopup);
    auto* quickMenu = new QMenu("Quick Select", m_quickSelect);
    const std::pair<const char*, CBackupTree::QuickSelectItem> quickItems[] = {
        {"Favourites", CBackupTree::kFavourites},
        {"My Documents", CBackupTree::kMyDocuments},
        {"Scheduled Tasks", CBackupTree::kScheduledTasks},
        {"Desktop", CBackupTree::kDesktop}};
    for (const auto& [label, item] : quickItems)
        connect(quickMenu->addAction(label), &QAction::triggered, this, [this, item = item] { QuickSelect(item); });
    m_quickSelect->setMenu(quickMenu);

    m_view = new selection::CSelectionTreeView(this);
    m_view->Attach(
        &m_tree, [this](SelectionNode& node) { m_tree.Expand(node); },
        [this](const SelectionNode& node) { return NodeIcon(m_tree, node); });
    m_path = new QLabel(this);
    m_path->setMinimumWidth(50);
    m_description = new QLineEdit(this);
    m_description->setMaxLength(kDescriptionLimit);
    m_backupFile = new QLineEdit(this);
    m_browse = new QPushButton("...", this);
    m_browse->setFixedWidth(32);

    auto* filterBox = new QGroupBox("File Types", this);
    m_filter = new QButtonGroup(this);
    const std::pair<const char*, int> modes[] = {{"A&ll Selected Files", jobmodel::kFilterAll},
                                                 {"&Include (Only include file types listed below)", jobmodel::kFilterInclude},
                                                 {"&Exclude (Exclude all file types listed below)", jobmodel::kFilterExclude}};
    auto* filterLayout = new QGridLayout(filterBox);
    int row = 0;
    for (const auto& [label, mode] : modes) {
        auto* button = new QRadioButton(label, filterBox);
        m_filter->addButton(button, mode);
        filterLayout->addWidget(button, row++, 0, 1, 3);
    }
    auto* typeLabel = new QLabel("Add File &Type:  (eg  *.bak)", filterBox);
    filterLayout->addWidget(typeLabel, row++, 0, 1, 3);
    m_fileType = new QLineEdit(filterBox);
    typeLabel->setBuddy(m_fileType);
    m_add = new QPushButton("<- &Add", filterBox);
    m_remove = new QPushButton("-> &Remove", filterBox);
    m_fileTypes = new QListWidget(filterBox);
    filterLayout->addWidget(m_fileType, row, 0);
    filterLayout->addWidget(m_add, row++, 1);
    filterLayout->addWidget(m_fileTypes, row, 0, 2, 1);
    filterLayout->addWidget(m_remove, row, 1, Qt::AlignTop);
    filterLayout->setRowStretch(row + 1, 1);

    auto* left = new QVBoxLayout;
    auto* options = new QHBoxLayout;
    options->addWidget(m_includeSubfolders);
    options->addWidget(m_showFiles);
    options->addStretch();
    options->addWidget(m_quickSelect);
    left->addLayout(options);
    left->addWidget(m_view, 1);
    left->addWidget(m_path);
    auto* fields = new QGridLayout;
    auto* descriptionLabel = new QLabel("&Description:", this);
    descriptionLabel->setBuddy(m_description);
    auto* backupLabel = new QLabel("&Backup File:", this);
    backupLabel->setBuddy(m_backupFile);
    fields->addWidget(descriptionLabel, 0, 0);
    fields->addWidget(m_description, 0, 1, 1, 2);
    fields->addWidget(backupLabel, 1, 0);
    fields->addWidget(m_backupFile, 1, 1);
    fields->addWidget(m_browse, 1, 2);
    left->addLayout(fields);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 3);
    layout->addWidget(filterBox, 2);

    // The job's values.
    m_fields = LoadBackupPage(doc);
    m_description->setText(QString::fromStdString(m_fields.description));
    m_backupFile->setText(QString::fromStdString(m_fields.backupFile));
    m_showFiles->setChecked(
        InitialShowFiles(doc.m_BackupSettings.m_items, GetProfileInt("General", "ShowFiles", 0) != 0));
    ShowFilter();
    BuildTree();

    connect(m_includeSubfolders, &QCheckBox::toggled, this, [this](bool on) { m_tree.m_bIncludeSubfolders = on; });
    connect(m_showFiles, &QCheckBox::toggled, this, &CBackupTab::ShowFilesToggled);
    connect(m_view, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        const SelectionNode* node = m_view->NodeFor(item);
        const QString path = node ? QString::fromStdString(m_tree.GetItemPath(*node)) : QString();
        m_path->setText(m_path->fontMetrics().elidedText(path, Qt::ElideMiddle, m_path->width()));
    });
    // The file manager's own commands for a node; nothing that cuts, copies,
    // deletes or renames.
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QTreeWidgetItem* item = m_view->itemAt(at);
        const SelectionNode* node = m_view->NodeFor(item);
        if (!node || !node->fileSystemObject) return;
        m_view->setCurrentItem(item);
        const std::string path = m_tree.GetItemPath(*node);
        QMenu menu(this);
        QAction* open = menu.addAction("&Open");
        QAction* containing = menu.addAction("Open &Containing Folder");
        containing->setEnabled(path != "/");
        QAction* chosen = menu.exec(m_view->viewport()->mapToGlobal(at));
        const std::string target = chosen == open ? path : chosen == containing ? platform::FolderPart(path) : "";
        if (!target.empty()) desktop::OpenWithDesktop(target);
    });
    connect(m_description, &QLineEdit::textEdited, this, [this] { m_modified(); });
    connect(m_backupFile, &QLineEdit::textEdited, this, [this] { m_modified(); });
    connect(m_browse, &QPushButton::clicked, this, &CBackupTab::ChooseBackupFile);
    connect(m_filter, &QButtonGroup::idClicked, this, [this](int mode) {
        ChooseFilterMode(m_fields, mode);
        ShowFilter();
        m_modified();
    });
    connect(m_add, &QPushButton::clicked, this, [this] {
        if (!AddFileType(m_fields, m_fileType->text().toStdString())) return;
        m_fileType->clear();
        ShowFilter();
        m_modified();
    });
    connect(m_remove, &QPushButton::clicked, this, [this] {
        const int at = m_fileTypes->currentRow();
        if (at < 0) return;
        m_fields.fileTypes.erase(m_fields.fileTypes.begin() + at);
        ShowFilter();
        m_modified();
    });
}

void CBackupTab::BuildTree() {
    m_tree.m_onModified = nullptr;
    m_tree.m_bShowFiles = m_showFiles->isChecked();
    m_tree.m_bIncludeSubfolders = m_includeSubfolders->isChecked();
    m_tree.m_pItems = &m_doc.m_BackupSettings.m_items;
    m_tree.InitRoot();
    m_view->Rebuild();
    if (m_tree.m_pFirstSelected) m_view->scrollToItem(m_view->ItemFor(m_tree.m_pFirstSelected));
    m_tree.m_onModified = m_modified;
}

void CBackupTab::ShowFilter() {
    if (QAbstractButton* button = m_filter->button(m_fields.filterMode)) button->setChecked(true);
    m_fileTypes->clear();
    for (const auto& type : m_fields.fileTypes) m_fileTypes->addItem(QString::fromStdString(type));
    const bool editable = m_fields.filterMode != jobmodel::kFilterAll;
    for (QWidget* w : {static_cast<QWidget*>(m_fileType), static_cast<QWidget*>(m_add),
                       static_cast<QWidget*>(m_remove), static_cast<QWidget*>(m_fileTypes)})
        w->setEnabled(editable);
}

void CBackupTab::ShowFilesToggled(bool on) {
    if (!on && m_tree.ExplicitFiles() > 0) {
        platform::Messages().Show("You cannot un-select this item while there are individual files selected !",
                                  "Vellora", platform::MB_OK | platform::MB_ICONEXCLAMATION);
        const QSignalBlocker quiet(m_showFiles);
        m_showFiles->setChecked(true);
        return;
    }
    WriteProfileInt("General", "ShowFiles", on ? 1 : 0);
    // The marks survive the rebuild: they go into the job first.
    const QTreeWidgetItem* current = m_view->currentItem();
    const SelectionNode* node = m_view->NodeFor(current);
    const std::string selectedPath = node ? m_tree.GetItemPath(*node) : std::string();
    m_tree.StoreSelection(m_doc.m_BackupSettings.m_items);
    BuildTree();
    if (SelectionNode* again = m_tree.FindPath(selectedPath)) m_view->setCurrentItem(m_view->ItemFor(again));
}

void CBackupTab::ChooseBackupFile() {
    const std::string current = m_backupFile->text().toStdString();
    std::string folder = platform::FolderPart(current);
    if (folder.empty() || !platform::IsFolder(folder)) folder = platform::GetPersonalFolder() + "/My Backups";
    const QString velarc = "Vellora Files (*.velarc)", zip = "Zip Files (*.zip)";
    QString filter = velarc;
    QString chosen = QFileDialog::getSaveFileName(this, "Set Backup Filename",
                                                  QString::fromStdString(folder + "/Backup.velarc"),
                                                  velarc + ";;" + zip, &filter);
    if (chosen.isEmpty()) return;
    if (QFileInfo(chosen).suffix().isEmpty()) chosen += filter == zip ? ".zip" : ".velarc";
    m_backupFile->setText(chosen);
    m_modified();
}

void CBackupTab::QuickSelect(CBackupTree::QuickSelectItem item) {
    const auto marked = m_tree.QuickSelect(item);
    m_view->Rebuild();
    for (const SelectionNode* node : marked) m_view->scrollToItem(m_view->ItemFor(node));
}

bool CBackupTab::SaveToJob() {
    m_fields.backupFile = m_backupFile->text().toStdString();
    m_fields.description = m_description->text().toStdString();
    const bool saved = SaveBackupPage(m_fields, m_tree, m_doc);
    // A corrected file name shows; a refused one keeps the focus.
    m_backupFile->setText(QString::fromStdString(m_fields.backupFile));
    if (!saved) m_backupFile->setFocus();
    return saved;
}

}  // namespace editor
