#include "selection/SelectionTree.h"

#include "platform/MessageService.h"

#include <algorithm>

namespace selection {

bool IsExplicit(int state) {
    return state == kFileSelected || state == kFolderOnly || state == kFolderTree || state == kExcludedFolder ||
           state == kFileExcludedInFolder || state == kFileExcludedInTree;
}

bool IsMarked(int state) {
    return IsExplicit(state) || state == kIncluded || state == kInsideExcluded || state == kFileIncluded;
}

void CSelectionTree::Reset() {
    m_root.reset();
    m_explicit.clear();
    m_nExplicitFiles = m_nExplicitFolders = 0;
}

SelectionNode& CSelectionTree::AddNode(SelectionNode* parent, const std::string& name, uint32_t attributes,
                                       bool fileSystemObject) {
    auto node = std::make_unique<SelectionNode>();
    node->name = name;
    node->attributes = attributes;
    node->fileSystemObject = fileSystemObject;
    node->parent = parent;
    const int from = parent ? parent->state : kNoImage;
    if (from == kFolderOnly && !node->IsFolder())
        node->state = kFileIncluded;
    else if (from == kFolderTree || from == kIncluded)
        node->state = kIncluded;
    else if (from == kExcludedFolder || from == kInsideExcluded)
        node->state = kInsideExcluded;
    else
        node->state = fileSystemObject ? kNotSelected : kNotSelectable;
    SelectionNode& added = *node;
    if (parent)
        parent->children.push_back(std::move(node));
    else
        m_root = std::move(node);
    return added;
}

bool CSelectionTree::ConfirmOverwrite() {
    return platform::Messages().Show("You have chosen to select all subfolders/files\nHowever, there are already some "
                                     "subfolders/files selected.\nThese will be overwritten if you continue\n\nDo "
                                     "you wish to continue ?",
                                     "Vellora", platform::MB_YESNO | platform::MB_ICONQUESTION) == platform::IDYES;
}

void CSelectionTree::Click(SelectionNode& node) {
    int next = node.state;
    switch (node.state) {
        case kNotSelected:
        case kSomethingBelow:
            if (!node.IsFolder() && node.parent) {
                next = kFileSelected;
            } else {
                next = m_bIncludeSubfolders ? kFolderTree : kFolderOnly;
                if (next == kFolderTree && node.explicitBelow > 0 && !ConfirmOverwrite()) return;
            }
            break;
        case kFileSelected:
        case kFolderOnly:
        case kFolderTree: next = kNotSelected; break;
        case kIncluded: next = node.IsFolder() ? kExcludedFolder : kFileExcludedInTree; break;
        case kExcludedFolder:
        case kFileExcludedInTree: next = kIncluded; break;
        case kFileIncluded: next = kFileExcludedInFolder; break;
        case kFileExcludedInFolder: next = kFileIncluded; break;
        default: return;
    }
    SetItemState(node, next);
}

int CSelectionTree::Normalised(const SelectionNode& node, int state) {
    if (state != kNotSelected && state != kSomethingBelow) return state;
    return node.explicitBelow > 0 ? kSomethingBelow : kNotSelected;
}

int CSelectionTree::SetItemState(SelectionNode& node, int state) {
    const int old = node.state;
    const bool unmarking = state == kNotSelected || state == kSomethingBelow || state == kIncluded ||
                           state == kInsideExcluded || state == kFileIncluded;
    if (unmarking && IsExplicit(old)) {
        if ((old == kExcludedFolder && state != kInsideExcluded) || (old == kFolderTree && state != kIncluded))
            ApplyBelow(node, state);
        else if (old == kFolderOnly)
            ApplyToFilesBelow(node, state);
        RemoveExplicit(node);
    }
    if (IsExplicit(state) && !IsExplicit(old)) AddExplicit(node);
    state = Normalised(node, state);
    if (state != old) {
        node.state = state;
        if (m_onStateChanged) m_onStateChanged(node);
        if (state == kFolderTree)
            ApplyBelow(node, kIncluded);
        else if (state == kExcludedFolder)
            ApplyBelow(node, kInsideExcluded);
        else if (state == kFolderOnly)
            ApplyToFilesBelow(node, kFileIncluded);
    }
    return node.state;
}

void CSelectionTree::ApplyBelow(SelectionNode& node, int state) {
    for (auto& child : node.children) {
        ApplyBelow(*child, state);
        SetItemState(*child, state);
    }
}

void CSelectionTree::ApplyToFilesBelow(SelectionNode& node, int state) {
    for (auto& child : node.children)
        if (!child->IsFolder()) SetItemState(*child, state);
}

void CSelectionTree::ChangeCount(SelectionNode& node, int by) {
    for (SelectionNode* up = node.parent; up; up = up->parent) {
        up->explicitBelow += by;
        // Not the virtual one: an ancestor's own state is not marked anew.
        CSelectionTree::SetItemState(*up, up->state);
    }
    (node.IsFolder() ? m_nExplicitFolders : m_nExplicitFiles) += by;
}

void CSelectionTree::AddExplicit(SelectionNode& node) {
    m_explicit.push_back(&node);
    ChangeCount(node, 1);
}

void CSelectionTree::RemoveExplicit(SelectionNode& node) {
    m_explicit.erase(std::remove(m_explicit.begin(), m_explicit.end(), &node), m_explicit.end());
    ChangeCount(node, -1);
}

}  // namespace selection
