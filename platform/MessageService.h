#pragma once

#include <deque>
#include <string>
#include <vector>

namespace platform {

// Message box styles: buttons in the low four bits, icon in the next four.
enum MessageStyle : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_ABORTRETRYIGNORE = 0x2,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_RETRYCANCEL = 0x5,
    MB_ICONSTOP = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
};

inline constexpr unsigned MB_TYPEMASK = 0x0F;
inline constexpr unsigned MB_ICONMASK = 0xF0;

enum MessageAnswer : int {
    IDOK = 1,
    IDCANCEL = 2,
    IDABORT = 3,
    IDRETRY = 4,
    IDIGNORE = 5,
    IDYES = 6,
    IDNO = 7,
};

// The one way the system asks or tells the user something.
class IMessageService {
public:
    virtual ~IMessageService() = default;
    virtual int Show(const std::string& text, const std::string& caption, unsigned style) = 0;
};

// The safe answer for a style: Cancel, No or Abort where offered, else OK.
int SafeAnswer(unsigned style);

// For tests: records every message and answers from a queue; once the queue
// is empty it gives the safe answer.
class ScriptedMessageService : public IMessageService {
public:
    struct Shown {
        std::string text;
        std::string caption;
        unsigned style;
        int answer;
    };

    void Answer(int button) { m_answers.push_back(button); }
    void Clear() {
        m_answers.clear();
        m_shown.clear();
    }
    int Show(const std::string& text, const std::string& caption, unsigned style) override;

    const std::vector<Shown>& Messages() const { return m_shown; }
    std::vector<std::string> Texts() const;

private:
    std::deque<int> m_answers;
    std::vector<Shown> m_shown;
};

// Prints each message to standard error and gives the safe answer; for
// programs that run without a display.
class StderrMessageService : public IMessageService {
public:
    int Show(const std::string& text, const std::string& caption, unsigned style) override;
};

// A message of the programs, captioned "Vellora", through Messages().
int Tell(const std::string& text, unsigned style);

// The process-wide service, like the framework's message box. Never null:
// without an installed one, messages go to standard error.
IMessageService& Messages();
void SetMessageService(IMessageService* service);

}  // namespace platform
