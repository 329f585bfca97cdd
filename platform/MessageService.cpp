#include "platform/MessageService.h"

#include <cstdio>

namespace platform {

namespace {

IMessageService* g_service = nullptr;

}  // namespace

int SafeAnswer(unsigned style) {
    switch (style & MB_TYPEMASK) {
        case MB_OKCANCEL:
        case MB_RETRYCANCEL:
        case MB_YESNOCANCEL: return IDCANCEL;
        case MB_YESNO: return IDNO;
        case MB_ABORTRETRYIGNORE: return IDABORT;
        default: return IDOK;
    }
}

int ScriptedMessageService::Show(const std::string& text, const std::string& caption, unsigned style) {
    int answer = SafeAnswer(style);
    if (!m_answers.empty()) {
        answer = m_answers.front();
        m_answers.pop_front();
    }
    m_shown.push_back({text, caption, style, answer});
    return answer;
}

std::vector<std::string> ScriptedMessageService::Texts() const {
    std::vector<std::string> texts;
    for (const auto& m : m_shown) texts.push_back(m.text);
    return texts;
}

int StderrMessageService::Show(const std::string& text, const std::string& caption, unsigned style) {
    if (caption.empty())
        std::fprintf(stderr, "%s\n", text.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return SafeAnswer(style);
}

IMessageService& Messages() {
    static StderrMessageService fallback;
    return g_service ? *g_service : fallback;
}

void SetMessageService(IMessageService* service) { g_service = service; }

int Tell(const std::string& text, unsigned style) { return Messages().Show(text, "Vellora", style); }

}  // namespace platform
