#pragma once

#include "jobmodel/Archive.h"

#include <cstdint>
#include <string>
#include <vector>

namespace jobmodel {

inline constexpr uint32_t FILE_ATTRIBUTE_DIRECTORY = 16;

// Selection states shared by the selection tree, the restore tree and the run.
enum SelectionState : int {
    kStateFile = 4,             // a single file
    kStateFolderOnly = 5,       // the folder's own files
    kStateFolderTree = 6,       // the folder and all its sub-folders
    kStateExcludedFolder = 8,   // the folder and its sub-folders are left out
    kStateExcludedFile = 11,
    kStateExcludedFileAlt = 12,
};

class CBackupItem {
public:
    static constexpr uint16_t kSchema = 220;

    int m_nState = 0;
    std::string m_strPath;
    uint32_t m_dwAttributes = 0;

    bool Serialize(CArchive& ar);
};

class CBackupItemArray {
public:
    static constexpr uint16_t kSchema = 220;

    int GetCount() const { return static_cast<int>(m_items.size()); }
    std::string GetItemPath(int index) const { return m_items.at(static_cast<size_t>(index)).m_strPath; }
    const CBackupItem& GetAt(int index) const { return m_items.at(static_cast<size_t>(index)); }

    // Appends unless an item with the same path is there already; returns 1.
    int AddItem(const std::string& path, int state, uint32_t attributes);
    void RemoveAt(int index);
    void RemoveAll() { m_items.clear(); }
    int CopyFrom(const CBackupItemArray& other);

    bool Serialize(CArchive& ar);

private:
    std::vector<CBackupItem> m_items;
};

}  // namespace jobmodel
