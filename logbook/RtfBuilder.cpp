#include "logbook/RtfBuilder.h"

#include "platform/Utf8.h"

#include <array>
#include <cstdio>
#include <utility>

namespace logbook {

namespace {

void AppendUnicodeEscape(std::string& out, uint32_t cp) {
    // RTF \u takes a signed 16-bit value; characters beyond use a surrogate pair.
    auto unit = [&](uint32_t u) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "\\u%d?", static_cast<int16_t>(u));
        out += buf;
    };
    if (cp >= 0x10000) {
        cp -= 0x10000;
        unit(0xD800 + (cp >> 10));
        unit(0xDC00 + (cp & 0x3FF));
    } else {
        unit(cp);
    }
}

// Characters that go into the body as they are: a log is mostly these.
constexpr std::array<bool, 256> kPlain = [] {
    std::array<bool, 256> plain{};
    for (int c = 0; c < 0x80; ++c) plain[static_cast<size_t>(c)] = c != '\n' && c != '\\' && c != '{' && c != '}';
    return plain;
}();

}  // namespace

int CRtfBuilder::IndexOfColor(uint32_t color) {
    for (size_t i = 0; i < m_colors.size(); ++i)
        if (m_colors[i] == color) return static_cast<int>(i);
    m_colors.push_back(color);
    return static_cast<int>(m_colors.size() - 1);
}

void CRtfBuilder::Reset() {
    SetFont("Arial");
    m_nFontSize = 17;
    SetColor(kBlack);
    SetBackColor(kWhite);
    m_bBold = m_bUnderline = m_bItalic = m_bStrike = 0;
}

void CRtfBuilder::SetFont(const std::string& name) {
    for (size_t i = 0; i < m_fonts.size(); ++i) {
        if (m_fonts[i] == name) {
            m_nFont = static_cast<int>(i);
            return;
        }
    }
    m_fonts.push_back(name);
    m_nFont = static_cast<int>(m_fonts.size() - 1);
}

void CRtfBuilder::AppendText(std::string_view text) {
    // A log's lines mostly share their attributes: the run's prefix is
    // formatted again only when they change.
    const std::array<int, 8> attributes{m_bBold, m_bUnderline, m_bItalic, m_bStrike, m_nFont, m_nFontSize, m_nBackColor,
                                        m_nColor};
    if (attributes != m_prefixAttributes || m_prefix.empty()) {
        char prefix[128];
        std::snprintf(prefix, sizeof prefix, "\\plain%s%s%s%s\\f%d\\fs%d\\cb%d\\cf%d ", m_bBold ? "\\b" : "",
                      m_bUnderline ? "\\ul" : "", m_bItalic ? "\\i" : "", m_bStrike ? "\\strike" : "", m_nFont,
                      m_nFontSize, m_nBackColor, m_nColor);
        m_prefix = prefix;
        m_prefixAttributes = attributes;
    }
    m_strBody += m_prefix;
    for (size_t i = 0; i < text.size();) {
        // Runs of plain characters go in whole.
        size_t end = i;
        while (end < text.size() && kPlain[static_cast<unsigned char>(text[end])]) ++end;
        if (end > i) {
            m_strBody.append(text.substr(i, end - i));
            i = end;
            continue;
        }
        const char c = text[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            // Text is UTF-8 while the document declares code page 1252: write
            // each character as a Unicode escape so every reader shows it.
            size_t length;
            const uint32_t cp = platform::DecodeUtf8(text, i, length);
            if (cp) {
                AppendUnicodeEscape(m_strBody, cp);
                i += length;
            } else {
                m_strBody += c;
                ++i;
            }
            continue;
        }
        if (c == '\n')
            m_strBody += "\r\n \\par ";
        else if (c == '\\')
            m_strBody += "\\\\";
        else
            (m_strBody += '\\') += c;  // a brace
        ++i;
    }
}

void CRtfBuilder::SetText(std::string_view text) {
    m_strBody.clear();
    AppendText(text);
}

std::string CRtfBuilder::FlushTo() {
    std::string doc = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deftab720{\\fonttbl";
    char buf[64];
    for (size_t i = 0; i < m_fonts.size(); ++i) {
        std::snprintf(buf, sizeof buf, "{\\f%zu ", i);
        doc += buf + m_fonts[i] + ";}";
    }
    doc += "}{\\colortbl";
    for (uint32_t c : m_colors) {
        std::snprintf(buf, sizeof buf, "\\red%u\\green%u\\blue%u;", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
        doc += buf;
    }
    doc += "}";
    // The body becomes the document in place, not copied beside it.
    m_strBody.insert(0, doc);
    m_strBody += '}';
    return std::exchange(m_strBody, std::string());
}

}  // namespace logbook
