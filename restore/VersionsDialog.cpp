#include "restore/VersionsDialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QVBoxLayout>

#include "desktop/WaitCursor.h"
#include "platform/FileSystem.h"

namespace restore {

CdlgVersions::CdlgVersions(const std::string& path, std::vector<FileVersion> versions,
                           std::function<std::string(const FileVersion&, VersionTarget, const std::string&)> restore,
                           QWidget* parent)
    : QDialog(parent), m_path(path), m_versions(std::move(versions)), m_run(std::move(restore)) {
    setWindowTitle("Versions of " + QString::fromStdString(platform::FileNamePart(path)));
    auto* heading = new QLabel(QString::fromStdString(path), this);
    heading->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({"Backup File", "Modified", "Size"});
    m_list->setUniformRowHeights(true);
    const QLocale locale;
    for (const FileVersion& v : m_versions) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::fromStdString(v.label));
        item->setText(1, locale.toString(QDateTime::fromSecsSinceEpoch(v.modified), QLocale::ShortFormat));
        item->setText(2, locale.formattedDataSize(static_cast<qint64>(v.size)));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(0, QString::fromStdString(v.zipPath));
    }
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_list->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_list->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    if (!m_versions.empty()) m_list->setCurrentItem(m_list->topLevelItem(0));

    m_original = new QRadioButton("Restore to its &original folder", this);
    m_folder = new QRadioButton("Restore into this &folder:", this);
    m_beside = new QRadioButton("Restore &beside the original, its date added to the name", this);
    m_targets = new QButtonGroup(this);
    m_targets->addButton(m_original, static_cast<int>(VersionTarget::OriginalFolder));
    m_targets->addButton(m_folder, static_cast<int>(VersionTarget::Folder));
    m_targets->addButton(m_beside, static_cast<int>(VersionTarget::BesideOriginal));
    m_beside->setChecked(true);
    m_destination = new QLineEdit(this);
    m_browse = new QPushButton("...", this);
    m_browse->setFixedWidth(m_browse->fontMetrics().horizontalAdvance("....") + 16);
    m_result = new QLabel(this);
    m_result->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    m_restore = buttons->addButton("&Restore", QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Close);
    m_restore->setEnabled(!m_versions.empty());

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_original);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder);
    folderRow->addWidget(m_destination, 1);
    folderRow->addWidget(m_browse);
    layout->addLayout(folderRow);
    layout->addWidget(m_beside);
    layout->addWidget(m_result);
    layout->addWidget(buttons);
    resize(620, 380);

    auto enable = [this] {
        m_destination->setEnabled(m_folder->isChecked());
        m_browse->setEnabled(m_folder->isChecked());
    };
    enable();
    connect(m_targets, &QButtonGroup::idClicked, this, enable);
    connect(m_browse, &QPushButton::clicked, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(this, "Select Restore Folder", m_destination->text());
        if (!folder.isEmpty()) m_destination->setText(folder);
    });
    connect(m_restore, &QPushButton::clicked, this, &CdlgVersions::Restore);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CdlgVersions::Restore() {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (row < 0) return;
    const auto target = static_cast<VersionTarget>(m_targets->checkedId());
    const std::string folder = m_destination->text().toStdString();
    if (target == VersionTarget::Folder && (folder.empty() || folder[0] != '/')) {
        m_result->setText("The restore destination path is invalid.");
        m_destination->setFocus();
        return;
    }
    std::string result;
    {
        desktop::WaitCursor wait;
        result = m_run(m_versions[static_cast<size_t>(row)], target, folder);
    }
    m_result->setText(QString::fromStdString(result));
}

}  // namespace restore
