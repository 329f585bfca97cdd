#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

inline constexpr char kPathSeparator = '/';

// Two spellings name the same file. Linux paths are case-sensitive, so only a
// trailing separator is ignored; folding case would merge distinct files.
bool SamePath(std::string_view a, std::string_view b);

bool PathExists(const std::string& path);
bool IsFolder(const std::string& path);

// Windows-style attribute bits of a path, as selection items record them:
// 16 for a folder; 32 (archive) for a file, with 1 when it is read-only and 2
// when its name starts with a dot. 0 when the path does not exist.
uint32_t GetFileAttributes(const std::string& path);
// The same bits from what a stat already gave.
uint32_t AttributesFromMode(uint32_t mode, const std::string& path);

// Creates every missing folder of an absolute path from the root down.
// Returns 0 on success, else the errno of the first failure (EINVAL for a
// path without a root).
int CreateFolderPath(const std::string& path);

// The system temporary folder, symbolic links resolved, no trailing separator.
std::string GetWindowsTempFolder();

// Label of the volume holding the path. Returns 0, or an errno when the label
// cannot be read.
int GetVolumeLabel(const std::string& path, std::string& label);

// Moves one path to the freedesktop Trash, silently, when it lies on the
// volume that holds the Trash; anywhere else (removable, optical, network or
// another volume) it is deleted for good, as a drive without a Recycle Bin
// does.
bool DeleteToRecycleBin(const std::string& path);

using TimePoint = std::chrono::system_clock::time_point;

struct FileTimes {
    std::optional<TimePoint> creation;  // birth time where recorded, else status change
    std::optional<TimePoint> lastAccess;
    std::optional<TimePoint> lastWrite;
};

// Unreadable files give three invalid (empty) times.
FileTimes GetFileTimes(const std::string& path);

// Message text for an errno value, at most 300 characters.
std::string GetSystemErrorText(int code);

// Writes all of `bytes` to a descriptor. Returns 0 or an errno.
int WriteAll(int fd, std::string_view bytes);

// Reads a whole regular file. Returns 0 or an errno.
int ReadWholeFile(const std::string& path, std::string& bytes);

// Writes to a temporary file beside the target, flushes it to disk and renames
// it over the target, so a crash or a full disk leaves the old file intact.
// Returns 0 or an errno.
int WriteFileAtomically(const std::string& path, std::string_view bytes);
// The same without the flush, for what does not outlive the session (a
// running program's entry): readers still never see half a file.
int WriteSessionFileAtomically(const std::string& path, std::string_view bytes);

// Copies a file the same way: to a temporary file beside the target, flushed,
// then renamed over it. Streams, so any size fits. Returns 0 or an errno.
int CopyFileAtomically(const std::string& from, const std::string& to);

// Flushes a folder's entries, so a rename into it survives a crash.
void SyncFolder(const std::string& folder);

// File name part: everything after the last separator.
std::string FileNamePart(const std::string& path);
// Folder part: everything before the last separator ("" when there is none).
std::string FolderPart(const std::string& path);

}  // namespace platform
