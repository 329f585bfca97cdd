#include "desktop/ProgramStart.h"

#include "platform/Instances.h"
#include "platform/TimeZone.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace desktop {

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

}  // namespace desktop
