#pragma once

#include <zip.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zipcomponent {

// PKZIP split archives: parts NAME.z01, NAME.z02, ... and the last part
// under the archive's own name, with disk numbers and per-disk offsets in
// the central directory.

// The path of part `number` (1-based) of `total`.
std::string PartPath(const std::string& archivePath, int number, int total);

// Where the parts of a split archive go. Spanning disks take the place of
// plain files here.
class IPartSink {
public:
    virtual ~IPartSink() = default;
    virtual int Open(int number) = 0;           // 0 or an errno
    virtual uint64_t Capacity(int number) = 0;  // bytes the opened part may hold
    virtual int Write(const char* data, size_t length) = 0;
    virtual int Close() = 0;
    // All parts are written: `total` is now known.
    virtual int Finish(int total) = 0;
    virtual void Discard() = 0;
};

// Parts as files beside the archive, each built under a temporary name and
// put in place only when all are written.
class FilePartSink : public IPartSink {
public:
    FilePartSink(std::string archivePath, uint64_t partSize) : m_archive(std::move(archivePath)), m_size(partSize) {}
    ~FilePartSink() override { Discard(); }
    uint64_t Capacity(int) override { return m_size; }
    int Open(int number) override;
    int Write(const char* data, size_t length) override;
    int Close() override;
    int Finish(int total) override;
    void Discard() override;

private:
    std::string m_archive;
    uint64_t m_size;
    int m_fd = -1;
    std::vector<std::string> m_temps;
};

// Rewrites a finished single-file zip as a split archive. Returns 0 or an
// errno; `parts` gets the number of parts written.
int WriteSplitArchive(const std::string& linearPath, IPartSink& sink, int& parts);

// The number of disks an archive's end record names; 1 for a plain zip, 0
// when the file is no zip at all.
int CountDisks(const std::string& archivePath);

// A read-only view of a split archive as one plain zip, for libzip. On
// failure returns null and sets `result` to a component result code.
zip_source_t* CreateJoinedSource(const std::string& archivePath, int& result);

}  // namespace zipcomponent
