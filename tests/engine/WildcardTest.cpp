#include "engine/PartSizeLimit.h"
#include "engine/Wildcard.h"

#include <gtest/gtest.h>

using namespace engine;

TEST(MatchWildcard, PatternsAgainstTheFileNamePart) {
    struct Case {
        const char* pattern;
        const char* path;
        bool match;
    } cases[] = {
        {"*.txt", "/home/ann/Letter.TXT", true},  {"*.txt", "/home/ann/a.txt.bak", false},
        {"*.*", "/home/ann/README", true},        {"*", "/x/y", true},
        {".", "/x/noext", true},                  {"a?c.doc", "/d/abc.doc", true},
        {"a?c.doc", "/d/ac.doc", false},          {"*report*", "/d/Q3-Report-final.pdf", true},
        {"*.t*t", "/d/a.tmpt", true},             {"*.t*t", "/d/a.tmp", false},
        {"data*", "/data/other.txt", false},      {"abc", "/d/ABC", true},
    };
    for (const auto& c : cases) EXPECT_EQ(MatchWildcard(c.pattern, c.path), c.match) << c.pattern << " " << c.path;
}

TEST(MatchWildcard, ManyStarsDoNotMakeAMatchSlow) {
    // A damaged job's pattern: backtracking over each star made this run
    // for hours; one pass over the name decides it.
    std::string pattern;
    for (int i = 0; i < 40; ++i) pattern += "*a";
    EXPECT_FALSE(MatchWildcard(pattern + "*b", "/d/" + std::string(250, 'a')));
    EXPECT_TRUE(MatchWildcard(pattern + "*", "/d/" + std::string(250, 'a')));
}

TEST(PartSizeLimit, FileSystemTypes) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"vfat", kFat32PartLimit}, {"msdos", kFat32PartLimit}, {"ext4", 0u},  {"btrfs", 0u},  {"ntfs3", 0u},
        {"exfat", 0u},             {"nfs4", 0u},               {"tmpfs", 0u}, {"iso9660", kDefaultPartLimit},
        {"", kDefaultPartLimit},
    };
    for (auto [type, limit] : cases) EXPECT_EQ(PartLimitForFileSystem(type), limit) << type;
}
