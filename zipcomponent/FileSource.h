#pragma once

#include <zip.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

namespace zipcomponent {

// Told about every block read from a file while the archive is written;
// answering false aborts the write.
using ReadObserver = std::function<bool(size_t entryIndex, uint64_t bytes)>;

// Reads one disk file for libzip, counting what it hands out. Opening or
// reading failures are kept so the writer can tell which file let it down.
// A file is stored as it was when opened, up to the size it had then, so a
// file that keeps growing cannot keep the write going.
struct FileReadState {
    std::string path;
    size_t entryIndex = 0;
    uint64_t size = 0;       // as the survey saw it
    time_t mtime = 0;        // as the survey saw it
    uint64_t done = 0;       // bytes handed out so far
    bool opened = false;
    bool replaced = false;   // the entry replaced a stored one
    int failure = 0;         // errno of a failed open or read
    bool special = false;    // the path is no longer a regular file
    bool changed = false;    // the file changed after the survey or while it was read
    bool cancelled = false;
    size_t packIndex = 0;    // its place in the packing pipeline's order
};

class CPackingPipeline;

// While `*packing` is set, the file's data comes packed from the pipeline
// and is handed to libzip as deflated (or stored) data with its CRC, which
// libzip writes unchanged.
zip_source_t* CreateFileSource(zip_t* archive, FileReadState* state, const ReadObserver* observer,
                               CPackingPipeline* const* packing);

}  // namespace zipcomponent
