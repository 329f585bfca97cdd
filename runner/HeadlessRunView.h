#pragma once

#include "engine/RunView.h"

#include <string>

namespace runner {

// A run without windows (cron, no display): status lines go to standard
// output, with a progress line when that is a terminal.
class HeadlessRunView : public engine::IRunView {
public:
    explicit HeadlessRunView(std::string title);
    void SetStatus(const std::string& text, int colour, bool bold) override;
    void SetCurrentFile(const std::string&) override {}
    void SetProgress(int bar, int percent) override;
    void RaiseErrorIndication() override {}
    void SetViewLogEnabled(bool) override {}
    void RunFinished(bool) override {}
    void ShowBalloon(const std::string&, const std::string&, int) override {}
    void PlaySound(const std::string&) override {}
    void RequestClose() override {}
    void BringToFront() override {}
    std::string WindowTitle() const override { return m_title; }

private:
    std::string m_title;
    std::string m_lastStatus;
    bool m_terminal;
    bool m_progressShown = false;
};

}  // namespace runner
