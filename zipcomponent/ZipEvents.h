#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace zipcomponent {

// Event arguments. The comments give each field's argument position, which
// is how the callers name them.
struct PrepareFileArgs {
    std::string basePath;    // 2, out: the root the entry's name is relative to
    std::string path;        // 3
    uint32_t attributes;     // 5, in/out
    bool skipped;            // 12, in/out
    int skipReason;          // 13
    bool entryExists;        // 14
};

struct PrepareExtractArgs {
    std::string name;         // 1: stored name
    std::string targetPath;   // 3
    uint32_t attributes;      // 6
    bool skipped;             // 15
    int skipReason;           // 16
    bool targetExists;        // 17
    time_t modified = 0;      // the entry's modification time
};

struct SelectFileForCopyArgs {
    std::string name;         // 1
    std::string basePath;     // 2
    uint32_t attributes;      // 6
    bool skip;                // 14, out
};

struct FileFailedArgs {
    std::string name;         // 1
    std::string target;       // 3
    int reason;               // 13
    int systemError = 0;      // the errno behind the failure, 0 when none
};

struct OverallProgressArgs {
    uint64_t bytesTotal, bytesProcessed;
    int bytesPercent;          // 4
    uint32_t filesTotal, filesProcessed;
    int filesPercent;          // 8
};

// What the component tells its user while it works; every handler is
// optional. Handlers run on the caller's thread, inside the method call.
class IXceedZipEvents {
public:
    virtual ~IXceedZipEvents() = default;
    virtual void PrepareFile(PrepareFileArgs&) {}
    virtual void PrepareExtract(PrepareExtractArgs&) {}
    virtual void FileRemoved(const std::string& /*name*/, const std::string& /*basePath*/) {}
    virtual void SelectFileForCopy(SelectFileForCopyArgs&) {}
    virtual void FileProgress(const std::string& /*file*/, int /*percent 5*/) {}
    virtual void OverallProgress(const OverallProgressArgs&) {}
    virtual void FileFailed(const FileFailedArgs&) {}
    virtual void WarningRaised(const std::string& /*file*/, int /*code*/) {}
    virtual void ListingProgress(int /*percent 3*/) {}
    virtual void DiskRequest(int /*disk*/, bool& goOn) { goOn = false; }
    virtual void DiskNotEmpty(int& action) { action = 3; }
    // Out: the password to try and whether to try it.
    virtual void PasswordRequest(const std::string& /*file*/, std::string& /*password*/, bool& retry) { retry = false; }
    virtual void OperationTotals(uint32_t /*files 1*/, uint64_t /*bytes 4*/) {}
    virtual void DescriptionQuery(std::string& /*text*/) {}
};

}  // namespace zipcomponent
