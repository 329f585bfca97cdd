#pragma once

#include "platform/FileStatusCache.h"
#include "zipcomponent/CentralDirectory.h"
#include "zipcomponent/DirectoryIndex.h"
#include "zipcomponent/ZipCodes.h"
#include "zipcomponent/ZipEvents.h"

#include <cstdint>
#include <deque>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

struct zip;
struct zip_file;

namespace zipcomponent {

class CPackingPipeline;
struct FileReadState;
struct ArchiveFileTarget;

enum ActiveOperation : int { kIdle = 0, kSurveying = 1, kListing = 2, kWriting = 3, kExtracting = 4, kRemoving = 5,
                             kTesting = 6, kCopying = 7 };

// One entry of a ListContents result.
struct ZipContentsItem {
    std::string name;        // as stored: relative to "/", folders end in "/"
    std::string basePath;    // the root the name is relative to; "" in a zip of another tool
    uint32_t attributes;     // 16 for a folder
    time_t modified;
    bool encrypted;
    bool skipped;            // the entry cannot be read back (unsupported method)
    uint64_t size;
    uint64_t compressedSize;
};

class ZipContents {
public:
    int GetCount() const { return static_cast<int>(m_items.size()); }
    // Items are numbered from 1.
    const ZipContentsItem& Item(int number) const { return m_items.at(static_cast<size_t>(number - 1)); }
    std::vector<ZipContentsItem> m_items;
};

struct ArchiveStatistics {
    uint32_t entries = 0;
    uint32_t compressedLow = 0, compressedHigh = 0;
    uint32_t uncompressedLow = 0, uncompressedHigh = 0;
    int16_t ratio = 0;      // percent saved
    int16_t folders = 0;    // folder entries
};

// The zip component: every backup is written and read through it. Results
// are the codes of ZipCodes.h; events go to the sink given at construction.
class CXceedZip {
public:
    explicit CXceedZip(IXceedZipEvents* events = nullptr) : m_events(events ? events : &m_noEvents) {}
    ~CXceedZip() { ForgetGatheredParts(); }
    CXceedZip(const CXceedZip&) = delete;
    CXceedZip& operator=(const CXceedZip&) = delete;

    void SetEvents(IXceedZipEvents* events) { m_events = events ? events : &m_noEvents; }

    // Properties.
    std::string m_strArchivePath;
    uint32_t m_nPartSizeLimit = 0;
    int m_nSpanningMode = 0;
    bool m_bUseTempArchive = false;
    std::string m_strTempArchiveFolder;
    bool m_bKeepEntryPaths = true;
    std::string m_strExtractFolder;
    bool m_bSkipExistingTargets = false;
    bool m_bSkipMissingTargets = false;
    bool m_bSkipNotNewer = false;
    // Extraction gives each entry its stored owner and group; only root can.
    bool m_bRestoreOwners = false;
    int m_nPackingLevel = 6;
    std::string m_strArchivePassword;
    bool m_bAbortRequest = false;
    // Files the caller looked at this run; the survey takes their status
    // from here instead of looking again. Null: every file is looked at.
    const platform::FileStatusCache* m_pKnownFiles = nullptr;
    // Folders the caller read this run; the survey takes their names from
    // here instead of reading them again.
    const platform::FolderListingCache* m_pKnownListings = nullptr;

    int GetActiveOperation() const { return m_nActiveOperation; }

    // Specification lists, one specification per line.
    std::string GetFileSpecList() const;
    void SetFileSpecList(const std::string& list);
    std::string GetExcludeSpecList() const;
    void SetExcludeSpecList(const std::string& list);
    // A file specification is followed when it names a symbolic link: the
    // user picked it by name. `followLink` false stores such a link as a link.
    void AddFileSpec(const std::string& spec, bool followLink = true);
    void AddExcludeSpec(const std::string& spec);

    // Options set by number. 202 true lists the folders that entries imply
    // even where the zip holds no entry of their own.
    void SetOption(int id, int64_t value) { m_options[id] = value; }
    int64_t GetOption(int id) const;

    int SurveyFiles(bool);
    int WriteArchive();
    int ExtractFiles();
    int RemoveFiles();
    int TestArchive(bool);
    int ListContents(ZipContents& contents, int flag);
    // The archive's directory with its folder index, as listings read it;
    // kept while the archive stays the same.
    int ReadDirectoryIndex(std::shared_ptr<const DirectoryIndex>& index);
    // Starts reading the archive's directory on another thread, for the
    // methods after it that need the directory; they wait for it.
    void ReadDirectoryAhead();
    int CopyToArchive(const std::string& targetPath);
    // Entry count, part count, comment length, encrypted entries, and
    // whether the archive is split (a split backup is not archived).
    int ReadArchiveInfo(int& entries, int& parts, int& commentLength, short& encrypted, bool& split);
    int ReadArchiveStatistics(ArchiveStatistics& statistics);
    static std::string DescribeCode(int kind, int code) { return zipcomponent::DescribeCode(kind, code); }

private:
    // A file or folder the specifications name, with what its stat gave.
    // One is held for every file of a backup, so it stays small: its entry
    // name is made from the path when needed.
    struct Candidate {
        std::string path;
        uint64_t size;
        time_t mtime;
        uint32_t mode;
        uint32_t owner, group;
        bool isFolder;
        bool special;
        std::unique_ptr<const std::string> linkTarget;  // a symbolic link is stored as its target text
        bool IsLink() const { return (mode & 0170000) == 0120000; }
        std::string Name() const;
        std::string_view Data() const { return linkTarget ? std::string_view(*linkTarget) : std::string_view(); }
    };
    // A file or folder the specifications reach that could not be looked at.
    struct CollectFailure {
        std::string path;
        int reason;
        int systemError;
    };
    bool CheckAbort();
    // Opens an entry for reading, asking for a password while it is missing
    // or wrong. Null with `reason` set when it cannot be opened.
    // Puts a finished whole zip in place: as it is, or in parts when it is
    // larger than the part size limit.
    int PlaceLinearArchive(const std::string& linearPath);
    std::unique_ptr<CPackingPipeline> StartPacking(std::deque<FileReadState>& reads) const;
    // An entry of a new archive, and which base path it records.
    struct NewArchiveEntry {
        const Candidate* candidate;
        uint32_t basePath;
    };
    std::unique_ptr<CPackingPipeline> StartNewPacking(const std::vector<NewArchiveEntry>& entries) const;
    // Writes a backup that did not exist, front to back; the results of
    // WriteArchive, `fileErrors` the errors met before.
    int WriteNewArchive(CPackingPipeline& packing, const std::vector<NewArchiveEntry>& entries,
                        const std::vector<std::string>& bases, const std::string& comment,
                        const ArchiveFileTarget& target, uint32_t totalFiles, uint64_t totalBytes, int fileErrors);
    // A spanning choice and a removable destination: parts go on disks.
    bool Spanning() const;
    bool OnRemovableMedia() const;
    // Opens the archive for reading; a backup whose parts are on other disks
    // asks for them.
    // `checked` holds every local header against the directory.
    ::zip* OpenArchive(int& result, bool checked = false);
    void ForgetGatheredParts();
    // The directory kept for the archive, or read straight from its file and
    // kept; null where only libzip can read it.
    std::shared_ptr<const DirectoryIndex> ReadDirectoryStraight();
    class DiskPartSink;
    // Writes a rewritten archive out; 0, 518 or 507.
    int CloseRewrite(::zip* za);
    ::zip_file* OpenEntry(::zip* za, uint64_t index, const std::string& name, int& reason);
    void CollectCandidates(std::vector<Candidate>& out, std::vector<CollectFailure>& failures,
                           const platform::FileStatusCache* known,
                           const platform::FolderListingCache* listings) const;
    bool IsExcluded(const std::string& absolutePath) const;

    IXceedZipEvents m_noEvents;
    IXceedZipEvents* m_events;
    std::vector<std::string> m_fileSpecs;
    std::unordered_set<std::string> m_linkSpecs;  // specifications whose link is not followed
    std::vector<std::string> m_excludeSpecs;
    std::map<int, int64_t> m_options;
    int m_nActiveOperation = kIdle;
    std::function<bool(size_t, uint64_t)> m_readObserver;
    std::vector<Candidate> m_survey;
    std::vector<CollectFailure> m_surveyFailures;
    std::string m_surveySpecs;
    std::string m_gatheredParts;  // copies of a spanned backup's parts while it is read
    // The directory totals of the spanned backup whose disks were read last.
    std::optional<std::pair<std::string, DirectoryTotals>> m_spannedTotals;
    DirectoryCache m_listed;
};

}  // namespace zipcomponent
