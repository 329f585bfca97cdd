#include "zipcomponent/EntryPatterns.h"

#include <cctype>
#include <string>

namespace zipcomponent {

bool HasWildcards(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

bool MatchPathPattern(std::string_view p, std::string_view s) {
    size_t pi = 0, si = 0;
    size_t starP = std::string_view::npos, starS = 0;
    while (si < s.size()) {
        if (pi < p.size() && p[pi] == '*') {
            starP = pi++;
            starS = si;
        } else if (pi < p.size() && ((p[pi] == '?' && s[si] != '/') || p[pi] == s[si])) {
            ++pi;
            ++si;
        } else if (starP != std::string_view::npos && s[starS] != '/') {
            pi = starP + 1;
            si = ++starS;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

bool MatchEntrySpec(std::string_view spec, std::string_view entryName) {
    while (!spec.empty() && spec.front() == '/') spec.remove_prefix(1);
    if (spec.empty()) return true;
    // "docs/*" takes the folders inside docs, not docs itself.
    if (entryName.size() > 1 && entryName.back() == '/' && spec.back() == '*')
        return MatchPathPattern(spec, entryName.substr(0, entryName.size() - 1));
    return MatchPathPattern(spec, entryName);
}

namespace {

constexpr size_t kMaxNamePatternLength = 259;

std::string Lower(std::string_view s) {
    std::string out(s.substr(0, kMaxNamePatternLength));
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

bool MatchNamePattern(std::string_view pattern, std::string_view name) {
    const std::string p = Lower(pattern);
    if (p == "*.*" || p == "*" || p == ".") return true;
    return MatchPathPattern(p, Lower(name));
}

bool MatchExclusion(std::string_view spec, std::string_view absolutePath) {
    if (spec.empty()) return false;
    if (spec.find('/') == std::string_view::npos) {
        const size_t slash = absolutePath.rfind('/');
        return MatchNamePattern(spec, slash == std::string_view::npos ? absolutePath : absolutePath.substr(slash + 1));
    }
    if (spec.size() > 1 && spec.back() == '/') spec.remove_suffix(1);
    return MatchPathPattern(spec, absolutePath);
}

}  // namespace zipcomponent
