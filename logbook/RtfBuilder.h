#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace logbook {

// Colours as 0x00BBGGRR.
inline constexpr uint32_t kBlack = 0x000000;
inline constexpr uint32_t kRed = 0x0000B4;
inline constexpr uint32_t kGreen = 0x00B400;
inline constexpr uint32_t kBlue = 0xB40000;
inline constexpr uint32_t kWhite = 0xFFFFFF;
inline constexpr uint32_t kGrey = 0x808080;
inline constexpr uint32_t kPurple = 0x82004B;
inline constexpr uint32_t kGreyGreen = 0xA09E5F;

// Turns text runs with character attributes into an RTF document. Font and
// colour tables only grow, so indices already written stay valid.
class CRtfBuilder {
public:
    void Reset();
    void SetColor(uint32_t color) { m_nColor = IndexOfColor(color); }
    void SetBackColor(uint32_t color) { m_nBackColor = IndexOfColor(color); }
    void SetFont(const std::string& name);

    void AppendText(std::string_view text);
    void SetText(std::string_view text);
    // The whole document: header, font table, colour table and body. The
    // body is emptied afterwards.
    std::string FlushTo();

    std::string m_strBody;
    int m_nFontSize = 17;
    int m_nFont = 0;
    int m_nColor = 0;
    int m_nBackColor = 0;
    int m_bBold = 0;
    int m_bUnderline = 0;
    int m_bItalic = 0;
    int m_bStrike = 0;
    std::vector<std::string> m_fonts{"Arial"};
    std::vector<uint32_t> m_colors{kBlack, kRed, kGreen, kBlue};

private:
    int IndexOfColor(uint32_t color);

    std::string m_prefix;  // of the last run, for the attributes below
    std::array<int, 8> m_prefixAttributes{};
};

}  // namespace logbook
