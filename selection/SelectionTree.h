#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace selection {

// A node's check state, which is also the index of its state image.
enum CheckState : int {
    kNoImage = 0,
    kNotSelectable = 1,
    kNotSelected = 2,
    kSomethingBelow = 3,
    kFileSelected = 4,
    kFolderOnly = 5,
    kFolderTree = 6,
    kIncluded = 7,
    kExcludedFolder = 8,
    kInsideExcluded = 9,
    kFileIncluded = 10,
    kFileExcludedInFolder = 11,
    kFileExcludedInTree = 12,
};

// The states a user marks by clicking, which a job stores.
bool IsExplicit(int state);
// Explicit, or included or excluded through an explicit node above.
bool IsMarked(int state);

inline constexpr uint32_t kFolderAttribute = 16;

struct SelectionNode {
    std::string name;
    int state = kNoImage;
    int explicitBelow = 0;          // explicitly marked nodes below this one
    uint32_t attributes = 0;        // 16 for a folder
    bool fileSystemObject = true;   // false for the computer node and the like
    bool listed = false;            // its children have been listed
    SelectionNode* parent = nullptr;
    std::vector<std::unique_ptr<SelectionNode>> children;

    bool IsFolder() const { return (attributes & kFolderAttribute) != 0; }
    // Marked nodes are drawn bold.
    bool Bold() const { return IsMarked(state); }
};

// The check-state logic of a selection tree, shared by the Backup tab's
// file-system tree and the Restore tab's backup contents. Headless: the
// tree views draw it and forward clicks to it.
class CSelectionTree {
public:
    virtual ~CSelectionTree() = default;

    // Clears the tree and builds its first level.
    virtual void InitRoot() = 0;
    // The full path of a node.
    virtual std::string GetItemPath(const SelectionNode& node) const = 0;
    // Sets a node's state and carries it to the nodes below and above;
    // returns the state stored.
    virtual int SetItemState(SelectionNode& node, int state);

    // Deletes every node and zeroes the counters.
    void Reset();
    SelectionNode* Root() { return m_root.get(); }
    // A new node, in the state its parent gives it; the root when parent is null.
    SelectionNode& AddNode(SelectionNode* parent, const std::string& name, uint32_t attributes,
                           bool fileSystemObject = true);
    // A click on the node's state image.
    void Click(SelectionNode& node);

    // The explicitly marked nodes, in the order they were marked.
    const std::vector<SelectionNode*>& ExplicitNodes() const { return m_explicit; }
    int ExplicitFiles() const { return m_nExplicitFiles; }
    int ExplicitFolders() const { return m_nExplicitFolders; }

    bool m_bIncludeSubfolders = true;
    // Told of every node whose state changed, so a view can redraw it.
    std::function<void(const SelectionNode&)> m_onStateChanged;

protected:
    void AddExplicit(SelectionNode& node);
    void RemoveExplicit(SelectionNode& node);
    // 3 when something below is explicitly marked, else 2.
    static int Normalised(const SelectionNode& node, int state);
    // Asks before a whole-tree mark overwrites marks below; true to go on.
    virtual bool ConfirmOverwrite();

private:
    void ChangeCount(SelectionNode& node, int by);
    void ApplyBelow(SelectionNode& node, int state);
    void ApplyToFilesBelow(SelectionNode& node, int state);

    std::unique_ptr<SelectionNode> m_root;
    std::vector<SelectionNode*> m_explicit;
    int m_nExplicitFiles = 0;
    int m_nExplicitFolders = 0;
};

}  // namespace selection
