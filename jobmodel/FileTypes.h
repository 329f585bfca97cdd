#pragma once

#include <string>
#include <vector>

namespace jobmodel {

// A job keeps its file-type patterns in one string, each followed by ":".
// Reading stops at the first empty pattern, as the backup run does.
std::vector<std::string> SplitFileTypes(const std::string& fileTypes);
std::string JoinFileTypes(const std::vector<std::string>& patterns);

}  // namespace jobmodel
