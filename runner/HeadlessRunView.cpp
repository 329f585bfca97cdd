#include "runner/HeadlessRunView.h"

#include <cstdio>
#include <unistd.h>

namespace runner {

HeadlessRunView::HeadlessRunView(std::string title) : m_title(std::move(title)), m_terminal(::isatty(1) == 1) {}

void HeadlessRunView::SetStatus(const std::string& text, int, bool) {
    if (text == m_lastStatus) return;
    m_lastStatus = text;
    if (m_progressShown) std::printf("\n");
    m_progressShown = false;
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

void HeadlessRunView::SetProgress(int bar, int percent) {
    if (!m_terminal || bar == engine::kFileBar) return;
    std::printf("\r%s %3d%%", bar == engine::kWritingBar ? "Zip progress:   " : "Verify progress:", percent);
    std::fflush(stdout);
    m_progressShown = true;
}

}  // namespace runner
