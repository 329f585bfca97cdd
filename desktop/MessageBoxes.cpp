#include "desktop/MessageBoxes.h"

#include <QMessageBox>

#include <vector>

namespace desktop {

int BoxMessageService::Show(const std::string& text, const std::string& caption, unsigned style) {
    QMessageBox box;
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    const unsigned icon = style & platform::MB_ICONMASK;
    box.setIcon(icon == platform::MB_ICONSTOP          ? QMessageBox::Critical
                : icon == platform::MB_ICONQUESTION    ? QMessageBox::Question
                : icon == platform::MB_ICONEXCLAMATION ? QMessageBox::Warning
                : icon == platform::MB_ICONINFORMATION ? QMessageBox::Information
                                                       : QMessageBox::NoIcon);
    struct Button {
        QMessageBox::StandardButton button;
        int answer;
    };
    std::vector<Button> buttons;
    switch (style & platform::MB_TYPEMASK) {
        case platform::MB_OKCANCEL: buttons = {{QMessageBox::Ok, platform::IDOK}, {QMessageBox::Cancel, platform::IDCANCEL}}; break;
        case platform::MB_ABORTRETRYIGNORE:
            buttons = {{QMessageBox::Abort, platform::IDABORT}, {QMessageBox::Retry, platform::IDRETRY},
                       {QMessageBox::Ignore, platform::IDIGNORE}};
            break;
        case platform::MB_YESNOCANCEL:
            buttons = {{QMessageBox::Yes, platform::IDYES}, {QMessageBox::No, platform::IDNO},
                       {QMessageBox::Cancel, platform::IDCANCEL}};
            break;
        case platform::MB_YESNO: buttons = {{QMessageBox::Yes, platform::IDYES}, {QMessageBox::No, platform::IDNO}}; break;
        case platform::MB_RETRYCANCEL: buttons = {{QMessageBox::Retry, platform::IDRETRY}, {QMessageBox::Cancel, platform::IDCANCEL}}; break;
        default: buttons = {{QMessageBox::Ok, platform::IDOK}}; break;
    }
    QMessageBox::StandardButtons all;
    for (const auto& b : buttons) all |= b.button;
    box.setStandardButtons(all);
    const int pressed = box.exec();
    for (const auto& b : buttons)
        if (pressed == b.button) return b.answer;
    return platform::SafeAnswer(style);
}

}  // namespace desktop
