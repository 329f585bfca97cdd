#include "jobmodel/NameValidation.h"

#include <gtest/gtest.h>

using namespace jobmodel;

TEST(NameValidation, FileNamesAndPaths) {
    struct Case {
        const char* text;
        bool fileName, path;
    } cases[] = {
        {"", false, false},
        {"Daily backup", true, true},
        {"Daily:1", false, true},
        {"/home/ann/Backup.velarc", false, true},
        {"a\\b", false, false},
        {"what?", false, false},
        {"x*", false, false},
        {"\"q\"", false, false},
        {"<a>", false, false},
        {"a|b", false, false},
        {"Fotos \xc3\xa9t\xc3\xa9", true, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsValidFileName(c.text), c.fileName) << c.text;
        EXPECT_EQ(IsValidPath(c.text), c.path) << c.text;
    }
}

TEST(NameValidation, MakeValidFileNameReplacesEveryForbiddenCharacter) {
    EXPECT_EQ(MakeValidFileName('_', "10/12/2026 14:05 \\*?\"<>| \xc3\xa9"), "10_12_2026 14_05 _______ \xc3\xa9");
    EXPECT_TRUE(IsValidFileName(MakeValidFileName('-', "a/b:c")));
}
