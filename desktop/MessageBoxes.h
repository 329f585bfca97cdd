#pragma once

#include "platform/MessageService.h"

namespace desktop {

// Message boxes on the screen, for the programs' windows.
class BoxMessageService : public platform::IMessageService {
public:
    int Show(const std::string& text, const std::string& caption, unsigned style) override;
};

}  // namespace desktop
