#include "logbook/RtfReader.h"

#include "platform/Utf8.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace logbook {

namespace {

struct GroupState {
    bool bold = false, italic = false, underline = false, strike = false;
    int color = 0;
    bool skip = false;       // a destination whose text is not shown
    bool colorTable = false;
    int unicodeSkip = 1;
};

class Parser {
public:
    Parser(std::string_view rtf, std::vector<RtfRun>& runs) : m_rtf(rtf), m_runs(runs) {}

    bool Run() {
        std::vector<GroupState> stack;
        GroupState state;
        while (m_pos < m_rtf.size()) {
            const char c = m_rtf[m_pos++];
            if (c == '{') {
                stack.push_back(state);
            } else if (c == '}') {
                if (stack.empty()) return false;
                state = stack.back();
                stack.pop_back();
            } else if (c == '\\') {
                ControlWord(state);
            } else if (c == '\r' || c == '\n') {
                continue;
            } else if (state.colorTable && c == ';') {
                m_colors.push_back(m_pendingColor);
                m_pendingColor = 0;
            } else {
                Emit(state, std::string(1, c));
            }
        }
        return stack.empty();
    }

private:
    void Emit(const GroupState& state, const std::string& text) {
        if (state.skip || state.colorTable || text.empty()) return;
        const uint32_t color = state.color >= 0 && static_cast<size_t>(state.color) < m_colors.size()
                                   ? m_colors[static_cast<size_t>(state.color)]
                                   : 0;
        if (m_runs.empty() || m_runs.back().color != color || m_runs.back().bold != state.bold ||
            m_runs.back().italic != state.italic || m_runs.back().underline != state.underline ||
            m_runs.back().strike != state.strike)
            m_runs.push_back({"", color, state.bold, state.italic, state.underline, state.strike});
        m_runs.back().text += text;
    }

    void EmitUnit(const GroupState& state, uint32_t unit) {
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            m_highSurrogate = unit;
            return;
        }
        uint32_t cp = unit;
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            cp = m_highSurrogate ? 0x10000 + ((m_highSurrogate - 0xD800) << 10) + (unit - 0xDC00) : 0xFFFD;
        }
        m_highSurrogate = 0;
        std::string text;
        platform::AppendUtf8(text, cp);
        Emit(state, text);
    }

    // Skips the fallback characters that follow a \u.
    void SkipFallback(int count) {
        while (count-- > 0 && m_pos < m_rtf.size()) {
            if (m_rtf[m_pos] == '\\' && m_pos + 3 < m_rtf.size() && m_rtf[m_pos + 1] == '\'')
                m_pos += 4;
            else if (m_rtf[m_pos] == '{' || m_rtf[m_pos] == '}')
                return;
            else
                ++m_pos;
        }
    }

    void ControlWord(GroupState& state) {
        if (m_pos >= m_rtf.size()) return;
        const char first = m_rtf[m_pos];
        if (!std::isalpha(static_cast<unsigned char>(first))) {
            ++m_pos;
            if (first == '\\' || first == '{' || first == '}') {
                Emit(state, std::string(1, first));
            } else if (first == '\'' && m_pos + 2 <= m_rtf.size()) {
                const std::string hex(m_rtf.substr(m_pos, 2));
                m_pos += 2;
                std::string text;
                platform::AppendUtf8(text, static_cast<uint32_t>(std::strtoul(hex.c_str(), nullptr, 16)));
                Emit(state, text);
            } else if (first == '*') {
                state.skip = true;
            } else if (first == '~') {
                Emit(state, " ");
            }
            return;
        }
        std::string word;
        while (m_pos < m_rtf.size() && std::isalpha(static_cast<unsigned char>(m_rtf[m_pos]))) word += m_rtf[m_pos++];
        bool hasParam = false;
        long param = 0;
        size_t start = m_pos;
        if (m_pos < m_rtf.size() && m_rtf[m_pos] == '-') ++m_pos;
        while (m_pos < m_rtf.size() && std::isdigit(static_cast<unsigned char>(m_rtf[m_pos]))) ++m_pos;
        if (m_pos > start && !(m_pos == start + 1 && m_rtf[start] == '-')) {
            hasParam = true;
            param = std::strtol(std::string(m_rtf.substr(start, m_pos - start)).c_str(), nullptr, 10);
        } else {
            m_pos = start;
        }
        if (m_pos < m_rtf.size() && m_rtf[m_pos] == ' ') ++m_pos;
        const bool on = !hasParam || param != 0;

        if (word == "par" || word == "line") Emit(state, "\n");
        else if (word == "tab") Emit(state, "\t");
        else if (word == "plain") {
            state.bold = state.italic = state.underline = state.strike = false;
            state.color = 0;
        } else if (word == "b") state.bold = on;
        else if (word == "i") state.italic = on;
        else if (word == "ul") state.underline = on;
        else if (word == "ulnone") state.underline = false;
        else if (word == "strike") state.strike = on;
        else if (word == "cf") state.color = static_cast<int>(param);
        else if (word == "uc") state.unicodeSkip = static_cast<int>(param);
        else if (word == "u") {
            EmitUnit(state, static_cast<uint32_t>(static_cast<uint16_t>(static_cast<int16_t>(param))));
            SkipFallback(state.unicodeSkip);
        } else if (word == "colortbl") {
            state.colorTable = true;
        } else if (word == "red" || word == "green" || word == "blue") {
            const int shift = word == "red" ? 0 : word == "green" ? 8 : 16;
            m_pendingColor |= (static_cast<uint32_t>(param) & 0xFF) << shift;
        } else if (word == "fonttbl" || word == "stylesheet" || word == "info" || word == "pict") {
            state.skip = true;
        }
    }

    std::string_view m_rtf;
    std::vector<RtfRun>& m_runs;
    size_t m_pos = 0;
    std::vector<uint32_t> m_colors;
    uint32_t m_pendingColor = 0;
    uint32_t m_highSurrogate = 0;
};

std::string HtmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '&') out += "&amp;";
        else out += c;
    }
    return out;
}

}  // namespace

bool ParseRtf(std::string_view rtf, std::vector<RtfRun>& runs) {
    runs.clear();
    return Parser(rtf, runs).Run();
}

std::string RtfToText(std::string_view rtf) {
    std::vector<RtfRun> runs;
    ParseRtf(rtf, runs);
    std::string text;
    for (const auto& run : runs) text += run.text;
    return text;
}

std::string RtfToHtml(std::string_view rtf) {
    std::vector<RtfRun> runs;
    ParseRtf(rtf, runs);
    std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"></head><body>"
                       "<pre style=\"font-family: Arial, sans-serif; font-size: 8.5pt\">";
    for (const auto& run : runs) {
        char style[96];
        std::snprintf(style, sizeof style, "color:#%02x%02x%02x", run.color & 0xFF, (run.color >> 8) & 0xFF,
                      (run.color >> 16) & 0xFF);
        std::string css = style;
        if (run.bold) css += ";font-weight:bold";
        if (run.italic) css += ";font-style:italic";
        if (run.underline || run.strike)
            css += std::string(";text-decoration:") + (run.underline ? "underline" : "") +
                   (run.underline && run.strike ? " " : "") + (run.strike ? "line-through" : "");
        html += "<span style=\"" + css + "\">" + HtmlEscape(run.text) + "</span>";
    }
    return html + "</pre></body></html>\n";
}

}  // namespace logbook
