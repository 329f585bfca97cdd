#include "zipcomponent/XceedZip.h"

#include "zipcomponent/ArchiveSource.h"
#include "zipcomponent/NewArchiveWriter.h"
#include "zipcomponent/PackingPipeline.h"
#include "zipcomponent/Progress.h"

#include <libdeflate.h>

#include <sys/stat.h>

namespace zipcomponent {

namespace {

// Sizes from here on could pass 4 GiB once packed, so the local header
// makes room for them.
constexpr uint64_t kLargeFile = 0xF0000000;

}  // namespace

std::unique_ptr<CPackingPipeline> CXceedZip::StartNewPacking(const std::vector<NewArchiveEntry>& entries) const {
    std::vector<std::string_view> paths;
    for (const auto& e : entries)
        if (!e.candidate->isFolder && !e.candidate->IsLink()) paths.push_back(e.candidate->path);
    return CPackingPipeline::Start(std::move(paths), m_nPackingLevel);
}

int CXceedZip::WriteNewArchive(CPackingPipeline& packing, const std::vector<NewArchiveEntry>& entries,
                               const std::vector<std::string>& bases, const std::string& comment,
                               const ArchiveFileTarget& target, uint32_t totalFiles, uint64_t totalBytes,
                               int fileErrors) {
    CNewArchiveWriter writer;
    if (writer.Create(target) != 0) return kResultCannotWrite;
    std::vector<const Candidate*> changedFiles;
    std::vector<char> buffer(256 << 10);
    uint64_t processed = 0;
    size_t packIndex = 0;
    Throttle throttle;
    // `done` bytes of file `c` are written.
    auto progress = [&](const Candidate& c, uint64_t done) {
        if (!throttle.Due()) return true;
        const uint64_t overall = processed + done;
        m_events->FileProgress(c.path, Percent(done, c.size));
        m_events->OverallProgress({totalBytes, overall, Percent(overall, totalBytes), totalFiles, 0,
                                   Percent(overall, totalBytes)});
        return !CheckAbort();
    };
    Throttle pumping;
    for (const auto& e : entries) {
        const Candidate& c = *e.candidate;
        if ((pumping.Due() && CheckAbort()) || m_bAbortRequest) return kResultAborted;
        const std::string name = c.Name();
        const NewEntry entry{name, c.mode, c.mtime, c.owner, c.group, bases[e.basePath]};
        if (c.isFolder || c.IsLink()) {
            const std::string_view data = c.Data();
            const auto crc = static_cast<uint32_t>(libdeflate_crc32(0, data.data(), data.size()));
            if (!writer.Begin(entry, false) || !writer.Write(data.data(), data.size()) ||
                !writer.End(CNewArchiveWriter::kStored, crc, data.size(), data.size()))
                return kResultCannotWrite;
            continue;
        }
        const CPackingPipeline::Opening opening = packing.Open(packIndex++);
        if (opening.failure) {
            m_events->FileFailed({c.path, c.path, opening.special ? kSkipSpecialFile : kFailCannotOpen,
                                  opening.special ? 0 : opening.failure});
            if (!opening.special) ++fileErrors;
            continue;
        }
        const auto openedSize = static_cast<uint64_t>(opening.opened.st_size);
        if (!writer.Begin(entry, openedSize >= kLargeFile)) return kResultCannotWrite;
        uint64_t rawBytes = 0;
        int64_t n;
        while ((n = packing.Read(buffer.data(), buffer.size(), rawBytes)) > 0) {
            if (!writer.Write(buffer.data(), static_cast<size_t>(n))) return kResultCannotWrite;
            if (!progress(c, rawBytes)) return kResultAborted;
        }
        const CPackingPipeline::Totals totals = packing.Close();
        processed += totals.rawBytes;
        if (n < 0) {
            // Left out; the rest is written.
            if (!writer.Drop()) return kResultCannotWrite;
            m_events->FileFailed({c.path, c.path, kFailCannotRead, totals.failure});
            ++fileErrors;
            continue;
        }
        const uint16_t method = totals.stored ? CNewArchiveWriter::kStored : CNewArchiveWriter::kDeflated;
        if (!writer.End(method, totals.crc, totals.rawBytes, totals.packedBytes)) return kResultCannotWrite;
        if (totals.changed || openedSize != c.size || opening.opened.st_mtime != c.mtime) changedFiles.push_back(&c);
    }
    if (writer.Commit(comment) != 0) return kResultCannotWrite;
    if (target.writePath != m_strArchivePath)
        if (int result = PlaceLinearArchive(target.writePath)) return result;
    for (const Candidate* c : changedFiles) m_events->WarningRaised(c->path, kWarnFileChanged);
    m_events->OverallProgress({totalBytes, totalBytes, 100, totalFiles, totalFiles, 100});
    return fileErrors ? kResultFileErrors : !changedFiles.empty() ? kResultWarnings : kResultSuccess;
}

}  // namespace zipcomponent
