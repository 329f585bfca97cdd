#include "jobmodel/BackupItem.h"

#include "platform/FileSystem.h"

namespace jobmodel {

namespace {

constexpr int kFirstTaggedVersion = 220;
// The smallest stored item: an untagged state and an empty path.
constexpr size_t kMinItemBytes = 5;

bool HasClassTags(const CArchive& ar) { return ar.DocumentVersion() >= kFirstTaggedVersion; }

}  // namespace

bool CBackupItem::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar.WriteClassTag("CBackupItem", kSchema);
        ar.WriteInt(m_nState);
        ar.WriteString(m_strPath);
        ar.WriteDWord(m_dwAttributes);
        return true;
    }
    uint16_t schema = 1;
    if (HasClassTags(ar) && !ar.ReadClassTag("CBackupItem", schema)) return false;
    if (schema != 1 && schema != 220)
        return ar.Fail("a selection item has the unknown schema " + std::to_string(schema));
    if (!ar.ReadInt(m_nState) || !ar.ReadPath(m_strPath)) return false;
    if (schema == 1) {
        m_dwAttributes = FILE_ATTRIBUTE_DIRECTORY;
        return true;
    }
    return ar.ReadDWord(m_dwAttributes);
}

int CBackupItemArray::AddItem(const std::string& path, int state, uint32_t attributes) {
    for (const auto& item : m_items)
        if (platform::SamePath(item.m_strPath, path)) return 1;
    m_items.push_back(CBackupItem{state, path, attributes});
    return 1;
}

void CBackupItemArray::RemoveAt(int index) {
    if (index < 0 || index >= GetCount()) return;
    m_items.erase(m_items.begin() + index);
}

int CBackupItemArray::CopyFrom(const CBackupItemArray& other) {
    RemoveAll();
    for (const auto& item : other.m_items) AddItem(item.m_strPath, item.m_nState, item.m_dwAttributes);
    return other.GetCount();
}

bool CBackupItemArray::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar.WriteClassTag("CBackupItemArray", kSchema);
        ar.WriteDWord(static_cast<uint32_t>(m_items.size()));
        for (auto& item : m_items) item.Serialize(ar);
        return true;
    }
    uint16_t schema = 1;
    if (HasClassTags(ar) && !ar.ReadClassTag("CBackupItemArray", schema)) return false;
    RemoveAll();
    if (schema != 1 && schema != 220)
        return ar.Fail("the selection list has the unknown schema " + std::to_string(schema));
    uint32_t count;
    if (!ar.ReadDWord(count)) return false;
    if (count > ar.Remaining() / kMinItemBytes) return ar.Fail("the selection list counts more items than the file holds");
    for (uint32_t i = 0; i < count; ++i) {
        CBackupItem item;
        if (!item.Serialize(ar)) return false;
        m_items.push_back(std::move(item));
    }
    return true;
}

}  // namespace jobmodel
