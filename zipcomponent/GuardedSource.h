#pragma once

#include <zip.h>

#include <cstdint>

namespace zipcomponent {

// libzip is C: nothing may be thrown through it. A source callback that
// throws (nearly always out of memory) fails the call instead; `State`
// keeps the source's zip_error_t in `error`.
template <class State, int64_t (*Handle)(void*, void*, zip_uint64_t, zip_source_cmd_t)>
int64_t GuardedCallback(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) noexcept {
    try {
        return Handle(state, data, len, cmd);
    } catch (...) {
        zip_error_set(&static_cast<State*>(state)->error, ZIP_ER_MEMORY, 0);
        return -1;
    }
}

}  // namespace zipcomponent
