#pragma once

#include <string>
#include <sys/stat.h>

namespace platform {

// Paths of any length: one longer than the system takes in a single call is
// reached folder by folder, each opened relative to the one before.

// Opens a path with open(2) flags. Returns the descriptor, or -1 with errno.
int OpenAnyLength(const std::string& path, int flags);

// stat(2) (follow) or lstat(2) (!follow) of a path. Returns 0, or -1 with errno.
int StatAnyLength(const std::string& path, struct stat& st, bool follow);

// Reads a symbolic link's target. Returns 0, or an errno.
int ReadLinkAnyLength(const std::string& path, std::string& target);

// Opens a regular file for reading without ever blocking on a FIFO or a
// device put in its place. Returns the descriptor with `st` filled in, or -1
// with errno; `st.st_mode` is then not 0 only when the path exists but is
// not a regular file.
int OpenRegularFile(const std::string& path, struct stat& st);

}  // namespace platform
