#pragma once

#include "engine/RunView.h"

#include <string>

namespace engine {

// A run without windows (cron, no display): status lines go to standard
// output, with a progress line when that is a terminal.
class CConsoleRunView : public CNullRunView {
public:
    CConsoleRunView();
    void SetStatus(const std::string& text, int colour, bool bold) override;
    void SetProgress(int bar, int percent) override;

private:
    std::string m_lastStatus;
    bool m_terminal;
    bool m_progressShown = false;
};

}  // namespace engine
