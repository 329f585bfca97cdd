#include "zipcomponent/EntryPatterns.h"

#include <gtest/gtest.h>

using namespace zipcomponent;

TEST(EntryPatterns, StarsAndQuestionMarksStayInsideOneFolder) {
    struct Case {
        const char* pattern;
        const char* path;
        bool match;
    } cases[] = {
        {"home/ann/*", "home/ann/a.txt", true},     {"home/ann/*", "home/ann/sub/a.txt", false},
        {"*.txt", "a.txt", true},                   {"*.txt", "a.txt.bak", false},
        {"a?c", "abc", true},                       {"a?c", "a/c", false},
        {"*", "", true},                            {"*/", "home/", true},
        {"*/", "a.txt", false},                     {"*a*b", "xxaybb", true},
        {"*.TXT", "a.txt", false},                  {"home/*/b", "home/ann/b", true},
    };
    for (const auto& c : cases) EXPECT_EQ(MatchPathPattern(c.pattern, c.path), c.match) << c.pattern << " " << c.path;
}

TEST(EntryPatterns, EntrySpecsAndExclusions) {
    EXPECT_TRUE(MatchEntrySpec("/home/ann/*", "home/ann/a.txt"));
    EXPECT_TRUE(MatchEntrySpec("/home/ann/*", "home/ann/sub/"));
    EXPECT_FALSE(MatchEntrySpec("/home/ann/*", "home/ann/sub/x"));
    EXPECT_FALSE(MatchEntrySpec("/home/ann/*", "home/ann/"));
    EXPECT_TRUE(MatchEntrySpec("/home/ann/", "home/ann/"));
    EXPECT_TRUE(MatchEntrySpec("", "anything/at/all"));
    EXPECT_TRUE(MatchEntrySpec("home/ann/a.txt", "home/ann/a.txt"));
    EXPECT_TRUE(MatchExclusion("*.tmp", "/home/ann/x.tmp"));
    EXPECT_FALSE(MatchExclusion("*.tmp", "/home/ann.tmp/x"));
    EXPECT_TRUE(MatchExclusion("/home/ann/secret.txt", "/home/ann/secret.txt"));
    EXPECT_FALSE(MatchExclusion("/home/ann/secret.txt", "/home/ann/secret.txt2"));
    EXPECT_FALSE(MatchExclusion("", "/x"));
}
