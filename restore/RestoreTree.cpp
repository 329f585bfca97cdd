#include "restore/RestoreTree.h"

#include "platform/FileSystem.h"
#include "platform/MessagePump.h"

#include <algorithm>
#include <strings.h>
#include <unordered_set>

namespace restore {

using selection::SelectionNode;

namespace {

constexpr uint32_t kNormalFile = 128;

std::string EntryPath(const zipcomponent::ZipContentsItem& item) { return TreePath(item.basePath, item.name); }

// "a/b/c" relative to "a": "b/c"; relative to "": itself.
bool RelativeTo(const std::string& base, const std::string& path, std::string& out) {
    if (base.empty()) {
        out = path;
        return true;
    }
    if (base == "/") {
        if (path.empty() || path[0] != '/') return false;
        out = path.substr(1);
        return true;
    }
    if (path.size() <= base.size() || path.compare(0, base.size(), base) != 0 || path[base.size()] != '/')
        return false;
    out = path.substr(base.size() + 1);
    return true;
}

}  // namespace

std::string TreePath(const std::string& basePath, const std::string& name) {
    if (basePath.empty()) return name;
    if (basePath.back() == '/') return basePath + name;
    return basePath + "/" + name;
}

bool CRestoreTree::InitRoot(const std::string& backupFile) {
    m_strBackupFile = backupFile;
    Reset();
    m_bLazyTree = false;
    SelectionNode& root = AddNode(nullptr, platform::FileNamePart(backupFile), selection::kFolderAttribute, false);
    root.state = platform::PathExists(backupFile) ? selection::kNotSelectable : selection::kNotSelected;
    m_bInitialised = true;
    return true;
}

bool CRestoreTree::IsDriveRoot(const SelectionNode& node) {
    return node.parent && !node.parent->parent && node.name == "/";
}

std::string CRestoreTree::GetItemPath(const SelectionNode& node) const {
    std::vector<const SelectionNode*> chain;
    for (const SelectionNode* n = &node; n && n->parent; n = n->parent) chain.push_back(n);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it == chain.rbegin() && IsDriveRoot(**it)) {
            path = "/";
            continue;
        }
        if (!path.empty() && path.back() != '/') path += '/';
        path += (*it)->name;
    }
    return path;
}

SelectionNode* CRestoreTree::Child(SelectionNode& parent, const std::string& name) const {
    for (auto& child : parent.children)
        if (child->name == name) return child.get();
    return nullptr;
}

SelectionNode& CRestoreTree::AddFolderPath(SelectionNode& parent, const std::string& relative,
                                           std::unordered_set<const SelectionNode*>* made) {
    SelectionNode* node = &parent;
    size_t start = 0;
    if (!relative.empty() && relative[0] == '/') {
        SelectionNode* drive = Child(*node, "/");
        node = drive ? drive : &AddNode(node, "/", selection::kFolderAttribute);
        if (!drive && made) made->insert(node);
        start = 1;
    }
    while (start < relative.size()) {
        size_t end = relative.find('/', start);
        if (end == std::string::npos) end = relative.size();
        if (end > start) {
            const std::string name = relative.substr(start, end - start);
            SelectionNode* child = Child(*node, name);
            node = child ? child : &AddNode(node, name, selection::kFolderAttribute);
            if (!child && made) made->insert(node);
        }
        start = end + 1;
    }
    return *node;
}

void CRestoreTree::PopulateFromListing(const zipcomponent::ZipContents& contents, SelectionNode* parent) {
    if (!parent) parent = Root();
    if (!parent) return;
    const std::string parentPath = GetItemPath(*parent);
    const bool driveParent = IsDriveRoot(*parent);
    // Files are looked for among a folder's children only where an earlier
    // listing may have added them.
    std::unordered_set<const SelectionNode*> made;
    if (parent->children.empty()) made.insert(parent);
    std::string previousFolder = "\n";
    SelectionNode* folderNode = parent;
    const int count = contents.GetCount();
    for (int i = 1; i <= count; ++i) {
        const auto& item = contents.Item(i);
        if (item.skipped) continue;
        if (i % 512 == 0) {
            m_host.ShowStatusProgress("Generating File Tree", static_cast<int>(int64_t{i} * 100 / count));
            platform::PumpMessages();
        }
        std::string path = EntryPath(item);
        std::string folder, file;
        const bool isFolder = (item.attributes & selection::kFolderAttribute) != 0;
        if (!isFolder && !path.empty() && path.back() != '/') {
            const size_t slash = path.rfind('/');
            file = slash == std::string::npos ? path : path.substr(slash + 1);
            folder = slash == std::string::npos ? "" : (slash == 0 ? "/" : path.substr(0, slash));
        } else {
            folder = path;
            while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        }
        std::string relative;
        if (!RelativeTo(parentPath, folder, relative)) {
            // A listing of a folder holds the folder's own entry too.
            if (folder != parentPath) continue;
            relative.clear();
        }
        if (driveParent) {
            // Below "/" the folders came from the level above.
            if (file.empty()) continue;
            folderNode = relative.empty() ? parent : &AddFolderPath(*parent, relative, &made);
        } else if (folder != previousFolder) {
            folderNode = &AddFolderPath(*parent, relative, &made);
            previousFolder = folder;
        }
        if (file.empty()) continue;
        const std::string text = NodeText(file, item.encrypted);
        if (!made.count(folderNode) && Child(*folderNode, text)) continue;
        AddNode(folderNode, text, item.attributes | kNormalFile);
    }
    m_host.ClearStatusProgress();
}

void CRestoreTree::SortChildren(SelectionNode& node) {
    std::stable_sort(node.children.begin(), node.children.end(), [](const auto& a, const auto& b) {
        if (a->IsFolder() != b->IsFolder()) return a->IsFolder();
        return ::strcasecmp(a->name.c_str(), b->name.c_str()) < 0;
    });
}

bool CRestoreTree::ExpandNode(SelectionNode& node) {
    if (node.listed) return true;
    if (&node == Root()) {
        const std::vector<std::string> indexPaths = m_host.IndexPaths();
        if (!indexPaths.empty()) {
            m_bLazyTree = true;
            const size_t n = indexPaths.size();
            for (size_t i = 0; i < n; ++i) {
                m_host.ShowStatusProgress("Generating File Tree " + std::to_string(i) + " of " + std::to_string(n),
                                          static_cast<int>(i * 100 / n));
                platform::PumpMessages();
                // The index lists folders: each stays a folder to open.
                if (!indexPaths[i].empty() && indexPaths[i][0] == '/') AddFolderPath(node, indexPaths[i]);
            }
            m_host.ClearStatusProgress();
        } else {
            std::optional<zipcomponent::ZipContents> contents;
            bool firstIsDriveRoot = false;
            if (m_host.ListTopLevelFirst()) {
                contents = m_host.ListEntries("*/", "", 0, 0, true, false);
                if (contents && contents->GetCount() > 0) {
                    m_bLazyTree = true;
                    firstIsDriveRoot = EntryPath(contents->Item(1)) == "/";
                } else {
                    contents.reset();
                }
            }
            if (!contents) {
                m_bLazyTree = false;
                contents = m_host.ListEntries("", "", 0, 0, false, false);
            }
            if (contents) PopulateFromListing(*contents, &node);
            if (m_bLazyTree && !firstIsDriveRoot) {
                auto files = m_host.ListEntries("*", "", 0, 0, false, true);
                if (files && files->GetCount() > 0) PopulateFromListing(*files, &node);
            }
        }
    } else if (m_bLazyTree) {
        std::string spec = GetItemPath(node);
        if (!spec.empty() && spec.back() != '/') spec += '/';
        spec += '*';
        while (!spec.empty() && spec.front() == '/') spec.erase(0, 1);
        if (auto contents = m_host.ListEntries(spec, "", 0, 16, false, true)) PopulateFromListing(*contents, &node);
    }
    // A full listing filled every folder below the root at once.
    if (&node == Root() && !m_bLazyTree) {
        std::vector<SelectionNode*> stack{&node};
        while (!stack.empty()) {
            SelectionNode* n = stack.back();
            stack.pop_back();
            n->listed = true;
            SortChildren(*n);
            for (auto& child : n->children)
                if (child->IsFolder()) stack.push_back(child.get());
        }
    } else {
        SortChildren(node);
    }
    node.listed = true;
    return true;
}

void CRestoreTree::AddNodeSpec(const std::string& path, uint32_t attributes, std::vector<std::string>& list) {
    std::string p = path;
    if (!p.empty() && p.back() == '*') p.pop_back();
    if (attributes & selection::kFolderAttribute) {
        if (!p.empty() && p.back() != '/') p += '/';
        list.push_back(p);
        list.push_back(p + "*");
    } else {
        list.push_back(p);
    }
}

void CRestoreTree::AddLoadedFolderSpecs(SelectionNode& node, std::vector<std::string>& list) {
    // The folders below count whether or not the user opened them: a mark
    // on the whole tree means every file below it.
    std::vector<SelectionNode*> stack{&node};
    while (!stack.empty()) {
        SelectionNode* n = stack.back();
        stack.pop_back();
        if (n != &node) AddNodeSpec(GetItemPath(*n), n->attributes, list);
        ExpandNode(*n);
        for (auto it = n->children.rbegin(); it != n->children.rend(); ++it)
            if ((*it)->IsFolder()) stack.push_back(it->get());
    }
}

void CRestoreTree::CollectSpecs(SelectionNode& node, std::vector<std::string>& includes,
                                std::vector<std::string>& excludes) {
    const std::string p = GetItemPath(node);
    const int s = node.state;
    if (&node == Root()) {
        switch (s) {
            case selection::kFileSelected: AddNodeSpec(p, node.attributes, includes); break;
            case selection::kFolderOnly: includes.push_back("*"); break;
            case selection::kFolderTree: includes.push_back(""); break;
            case selection::kExcludedFolder: excludes.push_back(""); break;
            case selection::kFileExcludedInFolder:
            case selection::kFileExcludedInTree: AddNodeSpec(p, node.attributes, excludes); break;
            default: break;
        }
        return;
    }
    switch (s) {
        case selection::kFileSelected:
        case selection::kFolderOnly: AddNodeSpec(p, node.attributes, includes); break;
        case selection::kFolderTree:
            AddNodeSpec(p, node.attributes, includes);
            AddLoadedFolderSpecs(node, includes);
            break;
        case selection::kExcludedFolder:
            AddNodeSpec(p, node.attributes, excludes);
            AddLoadedFolderSpecs(node, excludes);
            break;
        case selection::kFileExcludedInFolder:
        case selection::kFileExcludedInTree: AddNodeSpec(p, node.attributes, excludes); break;
        default: break;
    }
}

SelectionNode* CRestoreTree::FindPath(const std::string& path) {
    SelectionNode* node = Root();
    if (!node) return nullptr;
    ExpandNode(*node);
    size_t start = 0;
    if (!path.empty() && path[0] == '/') {
        node = Child(*node, "/");
        start = 1;
    }
    while (node && start < path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) {
            ExpandNode(*node);
            const std::string name = path.substr(start, end - start);
            SelectionNode* child = Child(*node, name);
            node = child ? child : Child(*node, name + "*");
        }
        start = end + 1;
    }
    return node;
}

}  // namespace restore
