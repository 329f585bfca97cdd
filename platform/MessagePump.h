#pragma once

#include <functional>

namespace platform {

// Long loops call PumpMessages so a GUI stays responsive on its one thread;
// the GUI installs its event processing here, headless programs install none.
void SetPumpHook(std::function<void()> hook);
void PumpMessages();

}  // namespace platform
