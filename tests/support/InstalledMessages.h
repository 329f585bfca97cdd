#pragma once

#include "platform/MessageService.h"

namespace testsupport {

// A scripted message service installed as the process-wide one for the
// lifetime of a test.
class InstalledMessages : public platform::ScriptedMessageService {
public:
    InstalledMessages() { platform::SetMessageService(this); }
    ~InstalledMessages() override { platform::SetMessageService(nullptr); }
    InstalledMessages(const InstalledMessages&) = delete;
    InstalledMessages& operator=(const InstalledMessages&) = delete;
};

}  // namespace testsupport
