#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace zipcomponent {

// Glob match of a "/"-separated path: "*" and "?" never cross a "/", so
// "docs/*" means the folder's own entries. Case-sensitive, as Linux names are.
bool MatchPathPattern(std::string_view pattern, std::string_view path);

// An entry name ("home/ann/a.txt", folders ending in "/") against a file
// specification. Absolute specifications name entries relative to "/"; a
// pattern ending in a star also takes the folders it reaches.
bool MatchEntrySpec(std::string_view spec, std::string_view entryName);

// A file name against a file-type pattern of a job ("*.tmp"): "*" and "?",
// letter case ignored, and "*.*", "*" and "." match every name. The backup
// and its archive step both decide with this, so they never disagree.
bool MatchNamePattern(std::string_view pattern, std::string_view name);

// An exclusion: a name pattern without "/" looks at the file name only (as
// MatchNamePattern does); one with "/" at the whole absolute path.
bool MatchExclusion(std::string_view spec, std::string_view absolutePath);

bool HasWildcards(std::string_view s);

// A list of specifications matched against entry names as MatchEntrySpec
// does, in constant time for the literal names and "folder/*" forms that a
// restore passes by the thousand.
class EntrySpecSet {
public:
    // With `namePatterns`, a wildcard specification without "/" looks at the
    // entry's file name alone, as an exclusion does.
    EntrySpecSet(const std::vector<std::string>& specs, bool namePatterns);
    bool Empty() const { return m_empty; }
    bool Matches(std::string_view entryName) const;

private:
    bool m_empty = true;
    bool m_all = false;
    std::unordered_set<std::string> m_names;
    std::unordered_set<std::string> m_folderContents;  // "a/b/" for "a/b/*", "" for "*"
    std::vector<std::string> m_patterns;
    std::vector<std::string> m_namePatterns;
};

}  // namespace zipcomponent
