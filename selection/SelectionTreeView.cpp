#include "selection/SelectionTreeView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace selection {

namespace {

constexpr int kImage = 16;           // a state image is 16 x 16
constexpr int kGap = 4;              // between the state image and the icon
constexpr int kDecoration = kImage + kGap + kImage;

const QColor kBlue(0, 90, 200), kGreen(0, 140, 60), kRed(200, 20, 20), kGrey(150, 150, 150);

void DrawBox(QPainter& p, const QColor& fill) {
    p.setPen(QPen(QColor(110, 110, 110), 1));
    p.setBrush(fill);
    p.drawRect(QRectF(1.5, 1.5, 12, 12));
}

void Check(QPainter& p, const QColor& colour) {
    QPainterPath tick;
    tick.moveTo(4, 8);
    tick.lineTo(7, 11);
    tick.lineTo(12.5, 4);
    p.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
}

void Cross(QPainter& p, const QColor& colour) {
    p.setPen(QPen(colour, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.5, 4.5), QPointF(10.5, 10.5));
    p.drawLine(QPointF(10.5, 4.5), QPointF(4.5, 10.5));
}

}  // namespace

QPixmap CSelectionTreeView::StateImage(int state) {
    QPixmap image(kImage, kImage);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (state) {
        case kNotSelected: DrawBox(p, Qt::white); break;
        case kSomethingBelow:
            DrawBox(p, Qt::white);
            p.fillRect(QRectF(5, 5, 6, 6), kGrey);
            break;
        case kFileSelected: DrawBox(p, Qt::white); Check(p, kBlue); break;
        case kFolderOnly: DrawBox(p, Qt::white); Check(p, kGreen); break;
        case kFolderTree: DrawBox(p, kBlue); Check(p, Qt::white); break;
        case kIncluded: DrawBox(p, QColor(235, 240, 250)); Check(p, QColor(120, 150, 200)); break;
        case kExcludedFolder:
        case kFileExcludedInFolder:
        case kFileExcludedInTree: DrawBox(p, Qt::white); Cross(p, kRed); break;
        case kInsideExcluded: DrawBox(p, QColor(245, 235, 235)); Cross(p, QColor(210, 150, 150)); break;
        case kFileIncluded: DrawBox(p, QColor(235, 245, 238)); Check(p, QColor(110, 170, 130)); break;
        default: break;  // no image, or a node that cannot be selected
    }
    return image;
}

CSelectionTreeView::CSelectionTreeView(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setIconSize(QSize(kDecoration, kImage));
    setUniformRowHeights(true);
    connect(this, &QTreeWidget::itemExpanded, this, &CSelectionTreeView::Expanded);
}

void CSelectionTreeView::Attach(CSelectionTree* tree, std::function<void(SelectionNode&)> list,
                                std::function<QIcon(const SelectionNode&)> icon) {
    m_tree = tree;
    m_list = std::move(list);
    m_icon = std::move(icon);
    m_tree->m_onStateChanged = [this](const SelectionNode& node) { Redraw(node); };
}

void CSelectionTreeView::Rebuild() {
    clear();
    m_items.clear();
    if (!m_tree || !m_tree->Root()) return;
    SelectionNode& node = *m_tree->Root();
    QTreeWidgetItem* root = MakeItem(node);
    addTopLevelItem(root);
    Redraw(node);
    AddChildren(node, root);
    root->setExpanded(true);
}

QTreeWidgetItem* CSelectionTreeView::ItemFor(const SelectionNode* node) {
    if (!node) return nullptr;
    if (QTreeWidgetItem* item = m_items.value(node)) return item;
    QTreeWidgetItem* parentItem = node->parent ? ItemFor(node->parent) : nullptr;
    if (!parentItem) return nullptr;
    AddChildren(*node->parent, parentItem);
    return m_items.value(node);
}

SelectionNode* CSelectionTreeView::NodeFor(const QTreeWidgetItem* item) const {
    return item ? static_cast<SelectionNode*>(item->data(0, Qt::UserRole).value<void*>()) : nullptr;
}

void CSelectionTreeView::ClickStateImage(SelectionNode& node) {
    m_tree->Click(node);
}

QTreeWidgetItem* CSelectionTreeView::MakeItem(SelectionNode& node) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, QString::fromStdString(node.name));
    item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(&node)));
    m_items.insert(&node, item);
    ShowExpandButton(node, item);
    return item;
}

// Children get items when their folder opens: a backup may hold millions.
void CSelectionTreeView::AddChildren(SelectionNode& node, QTreeWidgetItem* item) {
    if (item->childCount() != static_cast<int>(node.children.size())) {
        QList<QTreeWidgetItem*> added;
        for (auto& child : node.children)
            if (!m_items.contains(child.get())) added << MakeItem(*child);
        item->addChildren(added);
        for (QTreeWidgetItem* child : added) Redraw(*NodeFor(child));
    }
    ShowExpandButton(node, item);
}

void CSelectionTreeView::ShowExpandButton(const SelectionNode& node, QTreeWidgetItem* item) {
    // A folder not listed yet may have children: it keeps its expand button.
    const bool mayHaveChildren = node.IsFolder() && (!node.listed || !node.children.empty());
    item->setChildIndicatorPolicy(mayHaveChildren ? QTreeWidgetItem::ShowIndicator
                                                  : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void CSelectionTreeView::Redraw(const SelectionNode& node) {
    QTreeWidgetItem* item = m_items.value(&node);
    if (!item) return;
    const QIcon icon = m_icon ? m_icon(node) : QIcon();
    // Few distinct pictures serve many nodes.
    const auto key = qMakePair(node.state, icon.cacheKey());
    auto cached = m_decorations.constFind(key);
    if (cached == m_decorations.constEnd()) {
        QPixmap decoration(kDecoration, kImage);
        decoration.fill(Qt::transparent);
        QPainter p(&decoration);
        p.drawPixmap(0, 0, StateImage(node.state));
        if (!icon.isNull()) p.drawPixmap(kImage + kGap, 0, icon.pixmap(kImage, kImage));
        p.end();
        cached = m_decorations.insert(key, QIcon(decoration));
    }
    item->setIcon(0, *cached);
    if (item->font(0).bold() != node.Bold()) {
        QFont font = item->font(0);
        font.setBold(node.Bold());
        item->setFont(0, font);
    }
}

void CSelectionTreeView::Expanded(QTreeWidgetItem* item) {
    SelectionNode* node = NodeFor(item);
    if (!node) return;
    if (m_list) m_list(*node);
    AddChildren(*node, item);
}

void CSelectionTreeView::mousePressEvent(QMouseEvent* event) {
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    SelectionNode* node = item ? NodeFor(item) : nullptr;
    if (node && event->button() == Qt::LeftButton) {
        const QRect cell = visualItemRect(item);
        const int x = event->position().toPoint().x() - cell.left();
        // The state image leads the item's decoration.
        if (x >= 0 && x < kImage + 4) {
            setCurrentItem(item);
            ClickStateImage(*node);
            return;
        }
    }
    QTreeWidget::mousePressEvent(event);
}

}  // namespace selection
