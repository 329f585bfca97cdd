#pragma once

#include <cstdint>
#include <string>

namespace editor {

// The tips file, one tip a line, read on from where the last tip ended.
// The profile section "Tip" keeps "FilePos" (where the next tip starts),
// "TimeStamp" (the file's time: a new file starts from its top) and
// "StartUp" (whether the tips show when the editor starts).
class CTipOfTheDay {
public:
    // Opens the tips file; false after the message when it is missing.
    bool Open(const std::string& tipsFile);
    // The next tip, from the top again after the last; "" after the
    // message when the file cannot be read.
    std::string NextTip();
    // Keeps the position for the next start.
    void Close(bool showAtStartUp);

    static bool ShowAtStartUp();

private:
    std::string m_text;
    uint64_t m_position = 0;
};

}  // namespace editor
