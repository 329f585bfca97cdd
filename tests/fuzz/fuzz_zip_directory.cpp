#include "tests/fuzz/ZipDirectory.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (fuzzing::ReadZipDirectoryBytes(data, size) == fuzzing::LoadResult::RoundTripBroken) std::abort();
    return 0;
}
