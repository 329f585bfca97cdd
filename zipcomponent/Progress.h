#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace zipcomponent {

inline int Percent(uint64_t part, uint64_t whole) {
    if (whole == 0) return 100;
    return static_cast<int>(std::min<uint64_t>(100, part * 100 / whole));
}

// Calls back at most every few milliseconds, so pumping the GUI does not
// dominate the work.
class Throttle {
public:
    bool Due() {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_last < std::chrono::milliseconds(30)) return false;
        m_last = now;
        return true;
    }

private:
    std::chrono::steady_clock::time_point m_last{};
};

}  // namespace zipcomponent
