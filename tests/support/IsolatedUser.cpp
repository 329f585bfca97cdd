#include "tests/support/IsolatedUser.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <cstdlib>

namespace testsupport {

IsolatedUser::IsolatedUser() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vellora-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_root = pattern;
    std::filesystem::create_directories(Documents());
    std::filesystem::create_directories(DataHome());
    std::filesystem::create_directories(RegistryDir());
    SetEnv("HOME", Home());
    SetEnv("XDG_CONFIG_HOME", Home() + "/.config");
    SetEnv("XDG_DATA_HOME", DataHome());
    SetEnv("VELLORA_REGISTRY_DIR", RegistryDir());
    std::filesystem::create_directories(RuntimeDir());
    std::filesystem::permissions(RuntimeDir(), std::filesystem::perms::owner_all);
    SetEnv("XDG_RUNTIME_DIR", RuntimeDir());
}

IsolatedUser::~IsolatedUser() {
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
        if (it->second.first)
            setenv(it->first.c_str(), it->second.second.c_str(), 1);
        else
            unsetenv(it->first.c_str());
    }
    std::error_code ec;
    std::filesystem::permissions(m_root, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_root, ec);
}

void IsolatedUser::SetEnv(const char* name, const std::string& value) {
    const char* old = std::getenv(name);
    m_saved.push_back({name, {old != nullptr, old ? old : ""}});
    setenv(name, value.c_str(), 1);
}

void IsolatedUser::WriteHive(const std::string& fileName, const std::string& text) const {
    WriteFile(RegistryDir() + "/" + fileName, text);
}

std::string IsolatedUser::ReadHive(const std::string& fileName) const {
    return ReadFile(RegistryDir() + "/" + fileName);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace testsupport
