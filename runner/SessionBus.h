#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace runner {

// A method call's arguments in the D-Bus wire format, little endian, each
// laid at its alignment from the start of the body.
class BusArguments {
public:
    BusArguments& String(const std::string& value);
    BusArguments& Uint32(uint32_t value);
    BusArguments& Int32(int32_t value);
    // An array with no elements; elements of `alignment` would follow it.
    BusArguments& EmptyArray(size_t alignment);
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

struct BusCall {
    std::string destination, path, interface, member;
    std::string signature;  // of the arguments
    BusArguments arguments;
};

// The session bus's address: $DBUS_SESSION_BUS_ADDRESS, or where cron starts
// a run without it, the bus socket in the runtime folder; "" when neither.
std::string SessionBusAddress();

// Calls a method on the bus at `address` and waits for the answer: true for
// a reply, false for an error, no bus, or no answer within `milliseconds`.
// Speaks the protocol itself, so that a run loads no bus library.
bool CallOnBus(const std::string& address, const BusCall& call, int milliseconds);

}  // namespace runner
