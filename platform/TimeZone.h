#pragma once

namespace platform {

// Without TZ, the C library looks at /etc/localtime again for every local
// time conversion, and libzip makes one per entry it reads. Naming the zone
// file in TZ (when TZ is unset) gives the same zone, read once. Programs call
// this at start-up.
void PinLocalTimeZone();

}  // namespace platform
