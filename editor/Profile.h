#pragma once

#include <string>

namespace editor {

// The framework profile of the programs: values under
// "Software\Vellora Ltd.\Vellora\Vellora\<section>" in the user hive.
int GetProfileInt(const std::string& section, const std::string& name, int fallback);
void WriteProfileInt(const std::string& section, const std::string& name, int value);
std::string GetProfileString(const std::string& section, const std::string& name);
void WriteProfileString(const std::string& section, const std::string& name, const std::string& value);

}  // namespace editor
