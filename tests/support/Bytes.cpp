#include "tests/support/Bytes.h"

#include <cstdio>
#include <stdexcept>

namespace testsupport {

Bytes& Bytes::u8(uint8_t v) {
    m_data += static_cast<char>(v);
    return *this;
}

Bytes& Bytes::u16(uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }

Bytes& Bytes::u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }

Bytes& Bytes::str(std::string_view s) {
    if (s.size() >= 255) throw std::logic_error("fixture strings are short");
    u8(static_cast<uint8_t>(s.size()));
    return raw(s);
}

Bytes& Bytes::raw(std::string_view s) {
    m_data.append(s);
    return *this;
}

Bytes& Bytes::newClass(uint16_t schema, std::string_view name) {
    return u16(0xFFFF).u16(schema).u16(static_cast<uint16_t>(name.size())).raw(name);
}

std::string Hex(std::string_view bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        char b[4];
        std::snprintf(b, sizeof b, "%02x", static_cast<unsigned char>(bytes[i]));
        out += b;
        out += (i % 16 == 15) ? '\n' : ' ';
    }
    return out;
}

}  // namespace testsupport
