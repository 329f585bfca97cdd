#pragma once

#include "engine/RunView.h"

#include <string>

namespace engine {

// A run without windows (cron, no display): status lines and a progress
// line go to standard output when that is a terminal. Otherwise nothing is
// printed there, so cron mails only what the runner reports on failure.
class CConsoleRunView : public CNullRunView {
public:
    CConsoleRunView();
    void SetStatus(const std::string& text, int colour, bool bold) override;
    void SetProgress(int bar, int percent) override;
    bool Terminal() const { return m_terminal; }

private:
    std::string m_lastStatus;
    bool m_terminal;
    bool m_progressShown = false;
};

}  // namespace engine
