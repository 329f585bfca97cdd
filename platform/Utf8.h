#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

void AppendUtf8(std::string& out, uint32_t codePoint);

// Decodes the UTF-8 sequence starting at s[i]. Gives 0 and length 0 for a
// byte that does not start a complete, well-formed sequence.
uint32_t DecodeUtf8(std::string_view s, size_t i, size_t& length);

// Whether every byte of s belongs to a well-formed UTF-8 sequence.
bool IsValidUtf8(std::string_view s);

}  // namespace platform
