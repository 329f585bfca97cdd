#pragma once

#include "zipcomponent/ArchiveSource.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace zipcomponent {

// What an entry records besides its data, as the updating writer records it.
struct NewEntry {
    std::string_view name;  // as stored, "/" at the end of a folder's
    uint32_t mode = 0;      // Unix type and permissions
    time_t mtime = 0;
    uint32_t owner = 0, group = 0;
    std::string_view basePath;
};

// Writes a new archive front to back, an entry at a time. The central
// headers wait in an unlinked file of their own until the end, so a first
// backup of many files holds nothing in memory per file. Entries carry
// the same fields as those libzip writes for an update. The archive is
// built in a temporary file that is flushed and renamed into place only by
// Commit, so a write that fails or is dropped leaves nothing behind.
class CNewArchiveWriter {
public:
    static constexpr uint16_t kStored = 0;
    static constexpr uint16_t kDeflated = 8;

    CNewArchiveWriter() = default;
    ~CNewArchiveWriter();
    CNewArchiveWriter(const CNewArchiveWriter&) = delete;
    CNewArchiveWriter& operator=(const CNewArchiveWriter&) = delete;

    // Creates the temporary file for target.writePath; an errno on failure.
    int Create(const ArchiveFileTarget& target);
    // Writes the entry's local header. `large` reserves room for sizes of
    // 4 GiB or more.
    bool Begin(const NewEntry& entry, bool large);
    bool Write(const char* data, size_t length);
    // Completes the entry begun, its data written as `method` gives.
    bool End(uint16_t method, uint32_t crc, uint64_t rawBytes, uint64_t packedBytes);
    // Leaves the entry begun out, as if it had never been begun.
    bool Drop();
    // Writes the directory and puts the archive in place; an errno on failure.
    int Commit(const std::string& comment);
    uint64_t Entries() const { return m_entries; }

private:
    bool Flush();
    // Moves the central headers built so far to the spill file.
    bool SpillCentral();
    void Discard();

    ArchiveFileTarget m_target;
    std::string m_tempPath;
    int m_fd = -1;
    std::string m_pending;       // not yet handed to the kernel
    uint64_t m_pendingStart = 0;  // archive offset of m_pending[0]
    off_t m_written = 0;          // bytes handed to the kernel
    off_t m_flushedUpTo = 0;      // where writeback has been started
    std::string m_central;        // central headers not yet spilled
    int m_spillFd = -1;
    uint64_t m_spilled = 0;       // central header bytes in the spill file
    uint64_t m_entries = 0;
    // The entry begun.
    NewEntry m_entry;
    uint64_t m_entryStart = 0;
    bool m_entryLarge = false;
    uint16_t m_dosTime = 0, m_dosDate = 0;
};

}  // namespace zipcomponent
