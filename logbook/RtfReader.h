#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace logbook {

// One stretch of text with the attributes it is shown in.
struct RtfRun {
    std::string text;  // UTF-8
    uint32_t color = 0;  // 0x00BBGGRR
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
};

// Reads the RTF that the log writer produces (and simple RTF like it) back
// for display. Unknown control words are skipped; false when the groups do
// not balance.
bool ParseRtf(std::string_view rtf, std::vector<RtfRun>& runs);
std::string RtfToText(std::string_view rtf);
// A complete HTML page with the colours and bold kept.
std::string RtfToHtml(std::string_view rtf);

}  // namespace logbook
