#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzzing {

enum class LoadResult {
    Rejected,          // a clean format error
    Loaded,            // read, and writing it back is stable
    RoundTripBroken,   // read, but what is written back does not read back the same
};

// Feed arbitrary bytes to the job-file and index-file readers; a bad input
// must end in a rejection, never a crash or an unbounded allocation.
LoadResult LoadJobBytes(const uint8_t* data, size_t size);
LoadResult LoadIndexBytes(const uint8_t* data, size_t size);

}  // namespace fuzzing
