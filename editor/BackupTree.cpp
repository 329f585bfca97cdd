#include "editor/BackupTree.h"

#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "platform/SpecialFolders.h"
#include "jobmodel/SettingsRegistry.h"

#include <algorithm>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

namespace editor {

using selection::SelectionNode;

namespace {

constexpr const char* kCaption = "Vellora";

// The path below the drive, which two drives could share.
std::string WithoutRoot(const std::string& path) { return path.size() > 1 ? path.substr(1) : std::string(); }

}  // namespace

void CBackupTree::InitRoot() {
    Reset();
    m_pFirstSelected = nullptr;
    SelectionNode& computer = AddNode(nullptr, "Computer", selection::kFolderAttribute, false);
    computer.listed = true;
    AddNode(&computer, "/", selection::kFolderAttribute);
    if (!m_pItems) return;
    for (int i = 0; i < m_pItems->GetCount(); ++i) {
        const auto& item = m_pItems->GetAt(i);
        SelectionNode* node = SelectPath(item.m_strPath, item.m_nState, false);
        if (node && !m_pFirstSelected) m_pFirstSelected = node;
    }
}

SelectionNode* CBackupTree::Drive() { return Root()->children.front().get(); }

std::string CBackupTree::GetItemPath(const SelectionNode& node) const {
    if (!node.parent) return "";
    if (!node.parent->parent) return "/";
    const std::string parent = GetItemPath(*node.parent);
    return (parent == "/" ? "" : parent) + "/" + node.name;
}

void CBackupTree::Expand(SelectionNode& node) {
    if (node.listed || !node.IsFolder() || !node.fileSystemObject) return;
    node.listed = true;
    const std::string folder = GetItemPath(node);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    struct Found {
        std::string name;
        bool folder;
    };
    std::vector<Found> found;
    while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        // A link to a folder is a folder here: picking it backs up what it points to.
        const bool isFolder = ::fstatat(::dirfd(dir), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        if (isFolder || m_bShowFiles) found.push_back({name, isFolder});
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        const int folded = ::strcasecmp(a.name.c_str(), b.name.c_str());
        return folded != 0 ? folded < 0 : a.name < b.name;
    });
    for (const auto& f : found) {
        // A node made earlier by SelectPath keeps its place and its mark.
        const bool known = std::any_of(node.children.begin(), node.children.end(),
                                       [&](const auto& child) { return child->name == f.name; });
        if (!known) AddNode(&node, f.name, f.folder ? selection::kFolderAttribute : 0);
    }
    std::stable_sort(node.children.begin(), node.children.end(), [](const auto& a, const auto& b) {
        const int folded = ::strcasecmp(a->name.c_str(), b->name.c_str());
        return folded != 0 ? folded < 0 : a->name < b->name;
    });
}

SelectionNode* CBackupTree::Walk(const std::string& path, bool make) {
    if (path.empty() || path[0] != '/') return nullptr;
    SelectionNode* node = Drive();
    for (size_t start = 1; start < path.size();) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string name = path.substr(start, end - start);
        start = end + 1;
        if (name.empty()) continue;
        if (make) Expand(*node);
        auto it = std::find_if(node->children.begin(), node->children.end(),
                               [&](const auto& child) { return child->name == name; });
        if (it == node->children.end()) {
            if (!make) return nullptr;
            // Not listed (a file while files are not shown): made for the mark.
            AddNode(node, name, platform::IsFolder(path.substr(0, end)) ? selection::kFolderAttribute : 0);
            it = std::prev(node->children.end());
        }
        node = it->get();
    }
    return node;
}

SelectionNode* CBackupTree::FindPath(const std::string& path) { return Walk(path, false); }

SelectionNode* CBackupTree::SelectPath(const std::string& path, int state, bool reportMissing) {
    SelectionNode* node = platform::PathExists(path) ? Walk(path, true) : nullptr;
    if (!node) {
        if (reportMissing)
            platform::Messages().Show("Path not found.\n" + path, kCaption, platform::MB_OK | platform::MB_ICONEXCLAMATION);
        return nullptr;
    }
    SetItemState(*node, state);
    return node;
}

int CBackupTree::SetItemState(SelectionNode& node, int state) {
    if (selection::IsExplicit(state) && !selection::IsExplicit(node.state)) {
        const std::string path = WithoutRoot(GetItemPath(node));
        for (const SelectionNode* marked : ExplicitNodes()) {
            if (marked == &node || !platform::SamePath(WithoutRoot(GetItemPath(*marked)), path)) continue;
            platform::Messages().Show("Error: The folder path you selected (/" + path +
                                          ") already exists !\n\n(This path may be the same as one you have "
                                          "selected on another drive.)\nZip compatible files (Such as Vellora files) "
                                          "do not\nallow duplicate paths, therefore this selection will be cancelled.",
                                      kCaption, platform::MB_OK | platform::MB_ICONSTOP);
            return node.state;
        }
    }
    if ((state == selection::kNotSelected || state == selection::kSomethingBelow) && !node.fileSystemObject)
        state = node.explicitBelow > 0 ? selection::kSomethingBelow : selection::kNotSelectable;
    if (state == selection::kExcludedFolder && !node.fileSystemObject) {
        platform::Messages().Show("This item cannot be excluded !", kCaption,
                                  platform::MB_OK | platform::MB_ICONEXCLAMATION);
        return node.state;
    }
    const int stored = CSelectionTree::SetItemState(node, state);
    if (m_onModified) m_onModified();
    return stored;
}

std::vector<SelectionNode*> CBackupTree::QuickSelect(QuickSelectItem item) {
    std::vector<SelectionNode*> marked;
    auto mark = [&](const std::string& path, int state, bool report) {
        if (path.empty()) return false;
        SelectionNode* node = SelectPath(path, state, report);
        if (node) marked.push_back(node);
        return node != nullptr;
    };
    switch (item) {
        case kFavourites:
            // Linux keeps no Favorites folder.
            mark(platform::GetHomeFolder() + "/Favorites", selection::kFolderTree, true);
            break;
        case kMyDocuments: {
            const std::string documents = platform::GetPersonalFolder();
            if (!mark(documents, selection::kFolderTree, true)) break;
            std::string excluded;
            const std::pair<std::string, const char*> below[] = {{platform::GetMusicFolder(), "My Music\n"},
                                                                 {platform::GetVideosFolder(), "My Videos\n"},
                                                                 {documents + "/My Backups", "My Backups\n"}};
            for (const auto& [path, line] : below) {
                const bool inside = path.size() > documents.size() && path.compare(0, documents.size() + 1, documents + "/") == 0;
                if (inside && mark(path, selection::kExcludedFolder, false)) excluded += line;
            }
            if (!excluded.empty())
                platform::Messages().Show("NOTE: The following folders have been excluded. \nThese folders are not "
                                          "recommended for general backups.\n\n" +
                                              excluded +
                                              "\n(You may still click the red 'X' on the tree to select them if "
                                              "required.)",
                                          kCaption, platform::MB_OK | platform::MB_ICONINFORMATION);
            break;
        }
        case kScheduledTasks: mark(jobmodel::GetTasksFolder(), selection::kFolderTree, true); break;
        case kDesktop: mark(platform::GetDesktopFolder(), selection::kFolderTree, true); break;
    }
    return marked;
}

void CBackupTree::StoreSelection(jobmodel::CBackupItemArray& items) const {
    items.RemoveAll();
    for (const SelectionNode* node : ExplicitNodes())
        items.AddItem(GetItemPath(*node), node->state, node->IsFolder() ? selection::kFolderAttribute : 32);
}

}  // namespace editor
