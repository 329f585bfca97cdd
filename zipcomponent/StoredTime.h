#pragma once

#include <cstdint>
#include <ctime>

namespace zipcomponent {

// The extended timestamp holds 32 bits: written unsigned past 2038 (good
// until 2106) and read back by the DOS date beside it. Times outside its
// range are stored as its nearest end; compare disk times through
// StorableTime so such a file is not taken as changed on every run.
time_t StorableTime(time_t t);
time_t TimeFromField(uint32_t field, int dosYear);

}  // namespace zipcomponent
