#pragma once

#include <string>
#include <vector>

namespace engine {

// Case-insensitive match of the file name part of `path` against one
// pattern with "*" and "?"; "*.*", "*" and "." match every name.
bool MatchWildcard(const std::string& pattern, const std::string& path);

}  // namespace engine
