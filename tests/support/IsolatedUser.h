#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// A throw-away user for one test: its own home, XDG folders and registry
// folder in a fresh temporary directory, all restored afterwards.
class IsolatedUser {
public:
    IsolatedUser();
    ~IsolatedUser();
    IsolatedUser(const IsolatedUser&) = delete;
    IsolatedUser& operator=(const IsolatedUser&) = delete;

    const std::string& Root() const { return m_root; }
    std::string Home() const { return m_root + "/home"; }
    std::string Documents() const { return Home() + "/Documents"; }
    std::string DataHome() const { return Home() + "/.local/share"; }
    std::string RegistryDir() const { return m_root + "/registry"; }
    std::string RuntimeDir() const { return m_root + "/run"; }
    std::string AppData() const { return DataHome() + "/Vellora Ltd/Vellora"; }
    std::string TrashFiles() const { return DataHome() + "/Trash/files"; }

    // Writes a hive file of the registry folder ("machine.reg", ...).
    void WriteHive(const std::string& fileName, const std::string& text) const;
    std::string ReadHive(const std::string& fileName) const;

private:
    void SetEnv(const char* name, const std::string& value);

    std::string m_root;
    std::vector<std::pair<std::string, std::pair<bool, std::string>>> m_saved;
};

// Creates a file with the given contents, and its folders.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

}  // namespace testsupport
