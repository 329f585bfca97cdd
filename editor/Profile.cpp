#include "editor/Profile.h"

#include "platform/Registry.h"

namespace editor {

namespace {

std::string SectionKey(const std::string& section) { return "Software\\Vellora Ltd.\\Vellora\\Vellora\\" + section; }

}  // namespace

int GetProfileInt(const std::string& section, const std::string& name, int fallback) {
    platform::RegValue value;
    if (platform::registry::QueryValue(platform::registry::Hive::CurrentUser, SectionKey(section), name, value) != 0 ||
        value.type != platform::REG_DWORD || value.data.size() != 4)
        return fallback;
    uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = n * 256 + static_cast<unsigned char>(value.data[static_cast<size_t>(i)]);
    return static_cast<int>(n);
}

void WriteProfileInt(const std::string& section, const std::string& name, int value) {
    platform::registry::SetValue(platform::registry::Hive::CurrentUser, SectionKey(section), name,
                                 platform::RegValue::DWord(static_cast<uint32_t>(value)));
}

std::string GetProfileString(const std::string& section, const std::string& name) {
    platform::RegValue value;
    if (platform::registry::QueryValue(platform::registry::Hive::CurrentUser, SectionKey(section), name, value) != 0 ||
        value.type != platform::REG_SZ || value.data.empty())
        return "";
    return value.data.substr(0, value.data.size() - 1);
}

void WriteProfileString(const std::string& section, const std::string& name, const std::string& value) {
    platform::registry::SetValue(platform::registry::Hive::CurrentUser, SectionKey(section), name,
                                 platform::RegValue::String(value));
}

}  // namespace editor
