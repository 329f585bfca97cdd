#include "platform/ProgramStart.h"

#include "platform/Instances.h"
#include "platform/TimeZone.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// No display can be reached, or the offscreen platform is asked for.
bool RunsHeadless() {
    const char* platformName = std::getenv("QT_QPA_PLATFORM");
    if (platformName && std::string(platformName) == "offscreen") return true;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return !(x && *x) && !(wayland && *wayland);
}

}  // namespace

bool PrepareProgramStart(const char* program, bool& headless) {
    platform::PinLocalTimeZone();
    std::string why;
    const std::string runtime = platform::RuntimeFolder(&why);
    if (runtime.empty()) {
        std::fprintf(stderr, "%s: %s\n", program, why.c_str());
        return false;
    }
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    headless = RunsHeadless();
    if (headless) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return true;
}

std::string ProgramFolder() {
    std::vector<char> self(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size());
        if (n <= 0) return {};
        if (static_cast<size_t>(n) < self.size()) {
            const std::string path(self.data(), static_cast<size_t>(n));
            return path.substr(0, path.rfind('/'));
        }
        self.resize(self.size() * 2);
    }
}

}  // namespace platform
