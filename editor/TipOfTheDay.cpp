#include "editor/TipOfTheDay.h"

#include "editor/Profile.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"

#include <sys/stat.h>

namespace editor {

namespace {

constexpr const char* kSection = "Tip";
constexpr const char* kCaption = "Vellora";

void Tell(const char* text) { platform::Messages().Show(text, kCaption, platform::MB_OK | platform::MB_ICONEXCLAMATION); }

}  // namespace

bool CTipOfTheDay::ShowAtStartUp() { return GetProfileInt(kSection, "StartUp", 1) != 0; }

bool CTipOfTheDay::Open(const std::string& tipsFile) {
    struct stat st {};
    if (::stat(tipsFile.c_str(), &st) != 0) {
        Tell("Tips file does not exist in the prescribed directory");
        return false;
    }
    if (platform::ReadWholeFile(tipsFile, m_text) != 0) {
        Tell("Trouble reading the tips file");
        return false;
    }
    const std::string stamp = std::to_string(st.st_mtime);
    m_position = static_cast<uint64_t>(GetProfileInt(kSection, "FilePos", 0));
    if (GetProfileString(kSection, "TimeStamp") != stamp || m_position > m_text.size()) {
        m_position = 0;
        WriteProfileString(kSection, "TimeStamp", stamp);
    }
    return true;
}

std::string CTipOfTheDay::NextTip() {
    // A whole turn through the file without a tip: there is none.
    for (size_t looked = 0; looked <= m_text.size();) {
        if (m_position >= m_text.size()) m_position = 0;
        size_t end = m_text.find('\n', m_position);
        if (end == std::string::npos) end = m_text.size();
        std::string line = m_text.substr(m_position, end - m_position);
        looked += end - m_position + 1;
        m_position = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // Lines starting with ";" are comments.
        if (!line.empty() && line[0] != ';') return line;
    }
    Tell("Trouble reading the tips file");
    return "";
}

void CTipOfTheDay::Close(bool showAtStartUp) {
    WriteProfileInt(kSection, "FilePos", static_cast<int>(m_position));
    WriteProfileInt(kSection, "StartUp", showAtStartUp ? 1 : 0);
}

}  // namespace editor
