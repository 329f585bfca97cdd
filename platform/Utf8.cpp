#include "platform/Utf8.h"

namespace platform {

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

uint32_t DecodeUtf8(std::string_view s, size_t i, size_t& length) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        length = 1;
        return c;
    }
    length = (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > s.size()) {
        length = 0;
        return 0;
    }
    uint32_t cp = c & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        const unsigned char cc = static_cast<unsigned char>(s[i + k]);
        if ((cc >> 6) != 2) {
            length = 0;
            return 0;
        }
        cp = (cp << 6) | (cc & 0x3F);
    }
    return cp;
}

bool IsValidUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            ++i;
            continue;
        }
        size_t length = 0;
        DecodeUtf8(s, i, length);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

}  // namespace platform
