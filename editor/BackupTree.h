#pragma once

#include "jobmodel/BackupItem.h"
#include "selection/SelectionTree.h"

#include <functional>
#include <string>
#include <vector>

namespace editor {

// The Backup tab's tree of the file system: a "Computer" node that cannot be
// selected, "/" below it as the single fixed drive, then folders (and with
// show-files on, everything else) as the file system lists them, hidden
// items included, each folder listed when it is first expanded.
class CBackupTree : public selection::CSelectionTree {
public:
    // Builds the first level and applies the job's selection items.
    void InitRoot() override;
    std::string GetItemPath(const selection::SelectionNode& node) const override;
    // Refuses a duplicate path and excluding what is not a file-system
    // object; marks the job modified.
    int SetItemState(selection::SelectionNode& node, int state) override;

    // Lists a folder's children once; a folder without any has none.
    void Expand(selection::SelectionNode& node);
    // The node of an existing path, listed and created along the way, set to
    // `state`; null (after "Path not found." when asked) when it is missing.
    selection::SelectionNode* SelectPath(const std::string& path, int state, bool reportMissing);
    // The node of a path already in the tree, or null.
    selection::SelectionNode* FindPath(const std::string& path);
    enum QuickSelectItem { kFavourites, kMyDocuments, kScheduledTasks, kDesktop };
    // Marks the folders a Quick Select item stands for; the nodes marked,
    // to be made visible.
    std::vector<selection::SelectionNode*> QuickSelect(QuickSelectItem item);

    // The explicitly marked nodes as the job's selection items.
    void StoreSelection(jobmodel::CBackupItemArray& items) const;

    bool m_bShowFiles = false;
    // The job's items, applied by InitRoot.
    const jobmodel::CBackupItemArray* m_pItems = nullptr;
    // The first of them found, which the view scrolls to.
    selection::SelectionNode* m_pFirstSelected = nullptr;
    // Every change of a mark marks the job modified.
    std::function<void()> m_onModified;

private:
    selection::SelectionNode* Drive();
    // The node of a path; `make` lists and creates the folders on the way.
    selection::SelectionNode* Walk(const std::string& path, bool make);
};

}  // namespace editor
