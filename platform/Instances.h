#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

// A running program as the instance registry knows it: the stand-in for a
// top-level window of a class with a title.
struct InstanceInfo {
    std::string className;
    std::string title;
    pid_t pid = 0;
    std::string socketName;
};

// Keeps this process registered while it lives: an entry in the per-user
// instances folder, and a local socket on which other programs ask it to
// show its window.
class InstanceRegistration {
public:
    InstanceRegistration();
    ~InstanceRegistration();
    InstanceRegistration(const InstanceRegistration&) = delete;
    InstanceRegistration& operator=(const InstanceRegistration&) = delete;

    // False when the folder or the socket cannot be made; Error() says why.
    bool Register(const std::string& className, const std::string& title, std::function<void()> onShow);
    bool SetTitle(const std::string& title);
    const std::string& Error() const { return m_error; }

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::string m_error;
};

// The per-user runtime folder: $XDG_RUNTIME_DIR, or where no session made
// one, a private folder in the temporary folder. "" with `why` set when it
// is missing or not the user's own.
std::string RuntimeFolder(std::string* why);
// "" when the runtime folder cannot be used.
std::string InstancesFolder();
// Live instances of a class, oldest entry first.
std::vector<InstanceInfo> ListInstances(const std::string& className);
// The first instance of the class whose title contains `part`.
std::optional<InstanceInfo> FindInstance(const std::string& className, const std::string& part);
// Asks an instance to show, restore and raise its window.
bool AskToShow(const InstanceInfo& instance);

}  // namespace platform
