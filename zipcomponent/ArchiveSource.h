#pragma once

#include <zip.h>

#include <string>
#include <sys/types.h>

namespace zipcomponent {

// Backs a whole zip archive for libzip. The archive is read from readPath
// (which may not exist yet: a new archive) and every rewrite goes to a
// temporary file that is flushed to disk and then renamed over writePath,
// so a failure at any point leaves the old file as it was. writePath may
// differ from readPath, which writes a changed copy and leaves the source
// alone.
struct ArchiveFileTarget {
    std::string readPath;
    std::string writePath;
    std::string tempFolder;  // where the temporary file is built; "" = beside writePath
};

// The temporary file an archive for `target` is built in: its descriptor,
// -1 with errno set on failure.
int CreateArchiveTemp(const ArchiveFileTarget& target, std::string& tempPath);
// Writes all of `bytes` at `offset` of a temporary archive that has
// `written` bytes so far; once a few megabytes are new since `flushedUpTo`,
// their writeback starts, so the final fsync has little left to wait for.
// False with errno set when writing failed.
bool WriteArchiveBytes(int fd, const std::string& bytes, off_t offset, off_t& written, off_t& flushedUpTo);
// Puts a finished, flushed and closed temporary archive in place: 0 or an
// errno, with `renameFailed` telling a refused rename from a failed copy.
int PlaceArchiveTemp(const std::string& tempPath, const std::string& writePath, bool& renameFailed);

// The source owns a copy of the target. Null on failure, with `error` set.
zip_source_t* CreateArchiveSource(const ArchiveFileTarget& target, zip_error_t* error);

}  // namespace zipcomponent
