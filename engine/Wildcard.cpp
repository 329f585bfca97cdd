#include "engine/Wildcard.h"

#include "zipcomponent/EntryPatterns.h"

namespace engine {

bool MatchWildcard(std::string_view pattern, std::string_view path) {
    const size_t slash = path.rfind('/');
    return zipcomponent::MatchNamePattern(pattern, slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace engine
