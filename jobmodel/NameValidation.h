#pragma once

#include <string>

namespace jobmodel {

// Characters no file name may hold.
inline constexpr const char* kInvalidFileNameChars = "\\/:*?\"<>|";
// Characters no path may hold: the file-name set without the separator "/"
// and ":", which are legal in Linux paths.
inline constexpr const char* kInvalidPathChars = "\\*?\"<>|";

bool IsValidFileName(const std::string& name);
bool IsValidPath(const std::string& path);
// Replaces every character of the file-name set by `replacement`.
std::string MakeValidFileName(char replacement, const std::string& name);

}  // namespace jobmodel
