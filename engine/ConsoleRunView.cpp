#include "engine/ConsoleRunView.h"

#include <cstdio>
#include <unistd.h>

namespace engine {

CConsoleRunView::CConsoleRunView() : m_terminal(::isatty(1) == 1) {}

void CConsoleRunView::SetStatus(const std::string& text, int, bool) {
    if (!m_terminal || text == m_lastStatus) return;
    m_lastStatus = text;
    if (m_progressShown) std::printf("\n");
    m_progressShown = false;
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

void CConsoleRunView::SetProgress(int bar, int percent) {
    if (!m_terminal || bar == kFileBar) return;
    std::printf("\r%s %3d%%", bar == kWritingBar ? "Zip progress:   " : "Verify progress:", percent);
    std::fflush(stdout);
    m_progressShown = true;
}

}  // namespace engine
