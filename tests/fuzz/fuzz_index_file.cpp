#include "tests/fuzz/Loaders.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (fuzzing::LoadIndexBytes(data, size) == fuzzing::LoadResult::RoundTripBroken) std::abort();
    return 0;
}
