#include "zipcomponent/EntryPatterns.h"

#include <cctype>
#include <string>
#include <utility>

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
    // No letters in these, and they match every name: nothing to lower.
    if (pattern == "*.*" || pattern == "*" || pattern == ".") return true;
    return MatchPathPattern(Lower(pattern), Lower(name));
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

namespace {

// The folder an entry lies in ("a/b/", "" at the top) and its own name, a
// folder entry's without its trailing "/".
std::pair<std::string_view, std::string_view> SplitEntryName(std::string_view name) {
    if (name.size() > 1 && name.back() == '/') name.remove_suffix(1);
    const size_t slash = name.rfind('/');
    if (slash == std::string_view::npos) return {std::string_view(), name};
    return {name.substr(0, slash + 1), name.substr(slash + 1)};
}

}  // namespace

EntrySpecSet::EntrySpecSet(const std::vector<std::string>& specs, bool namePatterns) {
    for (std::string_view spec : specs) {
        m_empty = false;
        while (!spec.empty() && spec.front() == '/') spec.remove_prefix(1);
        if (spec.empty()) {
            m_all = true;
        } else if (!HasWildcards(spec)) {
            m_names.emplace(spec);
        } else if (namePatterns && spec.find('/') == std::string_view::npos) {
            m_namePatterns.emplace_back(spec);
        } else if (spec.back() == '*' && !HasWildcards(spec.substr(0, spec.size() - 1)) &&
                   (spec.size() == 1 || spec[spec.size() - 2] == '/')) {
            m_folderContents.emplace(spec.substr(0, spec.size() - 1));
        } else {
            m_patterns.emplace_back(spec);
        }
    }
}

bool EntrySpecSet::Matches(std::string_view name) const {
    if (m_all) return true;
    if (!m_names.empty() && m_names.count(std::string(name))) return true;
    const auto [folder, file] = SplitEntryName(name);
    if (m_folderContents.count(std::string(folder))) return true;
    for (const auto& p : m_patterns)
        if (MatchEntrySpec(p, name)) return true;
    for (const auto& p : m_namePatterns)
        if (MatchNamePattern(p, file)) return true;
    return false;
}

}  // namespace zipcomponent
