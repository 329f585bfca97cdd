#pragma once

#include "selection/SelectionTree.h"

#include <QHash>
#include <QIcon>
#include <QTreeWidget>

#include <functional>

namespace selection {

// Draws a CSelectionTree: one item per node with its state image beside its
// icon, marked nodes in bold. A click on the state image goes to the tree;
// expanding a folder that was never listed asks `list` to list it.
class CSelectionTreeView : public QTreeWidget {
public:
    explicit CSelectionTreeView(QWidget* parent = nullptr);

    // The tree to draw, how to list a folder, and the icon of a node.
    void Attach(CSelectionTree* tree, std::function<void(SelectionNode&)> list,
                std::function<QIcon(const SelectionNode&)> icon);
    // Draws the tree anew, after InitRoot.
    void Rebuild();
    // The item of a node; items are made when their parent opens, or here
    // along the way to the node.
    QTreeWidgetItem* ItemFor(const SelectionNode* node);
    SelectionNode* NodeFor(const QTreeWidgetItem* item) const;
    // Clicks the state image of a node, as the mouse does.
    void ClickStateImage(SelectionNode& node);

    // The thirteen state images, drawn here.
    static QPixmap StateImage(int state);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    // An item for a node, not yet in the tree.
    QTreeWidgetItem* MakeItem(SelectionNode& node);
    void AddChildren(SelectionNode& node, QTreeWidgetItem* item);
    void ShowExpandButton(const SelectionNode& node, QTreeWidgetItem* item);
    void Redraw(const SelectionNode& node);
    void Expanded(QTreeWidgetItem* item);

    CSelectionTree* m_tree = nullptr;
    std::function<void(SelectionNode&)> m_list;
    std::function<QIcon(const SelectionNode&)> m_icon;
    QHash<const SelectionNode*, QTreeWidgetItem*> m_items;
    QHash<QPair<int, qint64>, QIcon> m_decorations;
};

}  // namespace selection
