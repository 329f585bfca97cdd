#pragma once

#include <string>

namespace engine {

enum StatusColour : int { kColourPlain = 0, kColourRed = 1, kColourGreen = 2, kColourBlue = 3 };
enum ProgressBar : int { kFileBar = 0, kWritingBar = 1, kTestingBar = 2 };
enum BalloonIcon : int { kBalloonInfo = 1, kBalloonWarning = 2, kBalloonError = 3 };

// What a run shows in its window. The runner's window implements it; tests
// and headless runs record or print.
class IRunView {
public:
    virtual ~IRunView() = default;
    virtual void SetStatus(const std::string& text, int colour, bool bold) = 0;
    virtual void SetCurrentFile(const std::string& path) = 0;
    virtual void SetProgress(int bar, int percent) = 0;
    virtual void RaiseErrorIndication() = 0;
    virtual void SetViewLogEnabled(bool enabled) = 0;
    // The run is over: "&Close" and "&Open File" become available; `clean`
    // tells the tray which icon to show.
    virtual void RunFinished(bool clean) = 0;
    virtual void ShowBalloon(const std::string& title, const std::string& text, int icon) = 0;
    // Plays a sound file to its end.
    virtual void PlaySound(const std::string& soundFile) = 0;
    virtual void RequestClose() = 0;
    // Restores and raises the window before a message box.
    virtual void BringToFront() = 0;
    // The program's window title, "Vellora": the caption of the run's messages.
    virtual std::string WindowTitle() const = 0;
};

// A view that shows nothing, for runs nobody watches; views that show only
// part of a run override what they need.
class CNullRunView : public IRunView {
public:
    void SetStatus(const std::string&, int, bool) override {}
    void SetCurrentFile(const std::string&) override {}
    void SetProgress(int, int) override {}
    void RaiseErrorIndication() override {}
    void SetViewLogEnabled(bool) override {}
    void RunFinished(bool) override {}
    void ShowBalloon(const std::string&, const std::string&, int) override {}
    void PlaySound(const std::string&) override {}
    void RequestClose() override {}
    void BringToFront() override {}
    std::string WindowTitle() const override { return "Vellora"; }
};

}  // namespace engine
