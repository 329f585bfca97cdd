#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace engine {

// Case-insensitive match of the file name part of `path` against one
// pattern with "*" and "?"; "*.*", "*" and "." match every name.
bool MatchWildcard(std::string_view pattern, std::string_view path);

}  // namespace engine
