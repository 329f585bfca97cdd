#include "engine/Wildcard.h"

#include "zipcomponent/EntryPatterns.h"

namespace engine {

bool MatchWildcard(const std::string& pattern, const std::string& path) {
    const size_t slash = path.rfind('/');
    return zipcomponent::MatchNamePattern(pattern, slash == std::string::npos ? path : path.substr(slash + 1));
}

std::vector<std::string> SplitFileTypes(const std::string& fileTypes) {
    std::vector<std::string> patterns;
    size_t start = 0;
    while (start < fileTypes.size()) {
        const size_t colon = fileTypes.find(':', start);
        const std::string piece = fileTypes.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (piece.empty()) break;
        patterns.push_back(piece);
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return patterns;
}

}  // namespace engine
