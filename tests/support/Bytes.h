#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace testsupport {

// Spells out archive bytes field by field, for fixtures that state a file
// format independently of the code that writes it.
class Bytes {
public:
    Bytes& u8(uint8_t v);
    Bytes& u16(uint16_t v);
    Bytes& u32(uint32_t v);
    Bytes& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    // Short string: one length byte, then the characters.
    Bytes& str(std::string_view s);
    Bytes& raw(std::string_view s);
    // First occurrence of a class: 0xFFFF, schema, name length, name.
    Bytes& newClass(uint16_t schema, std::string_view name);

    const std::string& data() const { return m_data; }
    operator const std::string&() const { return m_data; }
    operator std::string_view() const { return m_data; }

private:
    std::string m_data;
};

std::string Hex(std::string_view bytes);

}  // namespace testsupport
