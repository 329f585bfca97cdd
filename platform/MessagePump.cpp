#include "platform/MessagePump.h"

namespace platform {

namespace {

std::function<void()>& Hook() {
    static std::function<void()> hook;
    return hook;
}

}  // namespace

void SetPumpHook(std::function<void()> hook) { Hook() = std::move(hook); }

void PumpMessages() {
    if (Hook()) Hook()();
}

}  // namespace platform
