#include "engine/Wildcard.h"

#include <cctype>

namespace engine {

namespace {

constexpr size_t kMaxLength = 259;

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool Match(const char* p, const char* s) {
    while (*p) {
        if (*p == '*') {
            while (*p == '*') ++p;
            if (!*p) return true;
            for (; *s; ++s)
                if (Match(p, s)) return true;
            return false;
        }
        if (!*s || (*p != '?' && *p != *s)) return false;
        ++p;
        ++s;
    }
    return !*s;
}

}  // namespace

bool MatchWildcard(const std::string& pattern, const std::string& path) {
    const size_t slash = path.rfind('/');
    std::string name = Lower(slash == std::string::npos ? path : path.substr(slash + 1));
    std::string p = Lower(pattern);
    if (p == "*.*" || p == "*" || p == ".") return true;
    if (p.size() > kMaxLength) p.resize(kMaxLength);
    if (name.size() > kMaxLength) name.resize(kMaxLength);
    return Match(p.c_str(), name.c_str());
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
