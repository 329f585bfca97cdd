#pragma once

#include "selection/SelectionTree.h"
#include "zipcomponent/XceedZip.h"

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace restore {

// An entry's path as the tree names it: below "/" for our backups (base
// path "/"), as stored for a zip of another tool.
std::string TreePath(const std::string& basePath, const std::string& name);

// What the contents tree asks of the page that holds it.
class IRestoreTreeHost {
public:
    virtual ~IRestoreTreeHost() = default;
    // The component's listing with these settings; none when it failed
    // (after its message when `showErrors`).
    virtual std::optional<zipcomponent::ZipContents> ListEntries(const std::string& spec, const std::string& exclusions,
                                                                 int option306, int option307, bool option202,
                                                                 bool showErrors) = 0;
    // The folders of the job's index file, when the settings ask for it and
    // the file can be read.
    virtual std::vector<std::string> IndexPaths() = 0;
    // A job whose items name no single file: its top level is listed first
    // and folders when they are opened.
    virtual bool ListTopLevelFirst() = 0;
    virtual void ShowStatusProgress(const std::string& text, int percent) = 0;
    virtual void ClearStatusProgress() = 0;
    // Yes to a whole-tree mark that overwrites marks below.
    virtual bool ConfirmOverwrite() = 0;
};

// The contents of one backup file as a tree: the root named after the file,
// then "/" for the entries of our backups (their node paths are full paths)
// or the top-level names of a zip from another tool.
class CRestoreTree : public selection::CSelectionTree {
public:
    explicit CRestoreTree(IRestoreTreeHost& host) : m_host(host) {}

    // The root for `backupFile`, in state 1 when the file exists.
    bool InitRoot(const std::string& backupFile);
    void InitRoot() override { InitRoot(m_strBackupFile); }
    std::string GetItemPath(const selection::SelectionNode& node) const override;
    // Fills a node once, from the index file or the backup's listings.
    bool ExpandNode(selection::SelectionNode& node);
    void PopulateFromListing(const zipcomponent::ZipContents& contents, selection::SelectionNode* parent);

    // The specifications of one marked node for the restore.
    void CollectSpecs(selection::SelectionNode& node, std::vector<std::string>& includes,
                      std::vector<std::string>& excludes);
    static void AddNodeSpec(const std::string& path, uint32_t attributes, std::vector<std::string>& list);

    // The node of a path ("/home/ann/a.txt", or "docs/a.txt" in a zip
    // without drive roots), its folders filled on the way; null if missing.
    selection::SelectionNode* FindPath(const std::string& path);
    // Whether a node was filled, and whether it is the root's drive "/".
    static bool Expanded(const selection::SelectionNode& node) { return node.listed; }
    static bool IsDriveRoot(const selection::SelectionNode& node);
    bool Initialised() const { return m_bInitialised; }
    // Entries whose flag marks them encrypted show a trailing "*".
    static std::string NodeText(const std::string& name, bool encrypted) { return encrypted ? name + "*" : name; }

    std::string m_strBackupFile;
    bool m_bLazyTree = false;

protected:
    bool ConfirmOverwrite() override { return m_host.ConfirmOverwrite(); }

private:
    // The folder node of a path below parent, made where missing; the nodes
    // made go into `made`.
    selection::SelectionNode& AddFolderPath(selection::SelectionNode& parent, const std::string& relative,
                                            std::unordered_set<const selection::SelectionNode*>* made = nullptr);
    selection::SelectionNode* Child(selection::SelectionNode& parent, const std::string& name) const;
    void AddLoadedFolderSpecs(selection::SelectionNode& node, std::vector<std::string>& list);
    void SortChildren(selection::SelectionNode& node);

    IRestoreTreeHost& m_host;
    bool m_bInitialised = false;
};

}  // namespace restore
