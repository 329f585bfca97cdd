#include "engine/Wildcard.h"

#include "zipcomponent/EntryPatterns.h"

namespace engine {

bool MatchWildcard(const std::string& pattern, const std::string& path) {
    const size_t slash = path.rfind('/');
    return zipcomponent::MatchNamePattern(pattern, slash == std::string::npos ? path : path.substr(slash + 1));
}

}  // namespace engine
