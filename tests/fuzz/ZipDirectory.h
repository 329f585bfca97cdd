#pragma once

#include "tests/fuzz/Loaders.h"

namespace fuzzing {

// Feed arbitrary bytes, as an archive file, to the readers that look at a
// zip's directory without libzip. Two readers of one directory that
// disagree on its entries count as a broken round trip.
LoadResult ReadZipDirectoryBytes(const uint8_t* data, size_t size);

}  // namespace fuzzing
