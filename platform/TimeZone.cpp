#include "platform/TimeZone.h"

#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace platform {

void PinLocalTimeZone() {
    if (std::getenv("TZ") || ::access("/etc/localtime", R_OK) != 0) return;
    setenv("TZ", ":/etc/localtime", 0);
    tzset();
}

}  // namespace platform
