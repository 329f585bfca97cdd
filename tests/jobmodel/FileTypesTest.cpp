#include "jobmodel/FileTypes.h"

#include <gtest/gtest.h>

using namespace jobmodel;

TEST(FileTypes, SplittingStopsAtTheFirstEmptyPatternAndJoiningEndsEachWithAColon) {
    EXPECT_EQ(SplitFileTypes("*"), std::vector<std::string>{"*"});
    EXPECT_EQ(SplitFileTypes("*.doc:*.xls:"), (std::vector<std::string>{"*.doc", "*.xls"}));
    EXPECT_EQ(SplitFileTypes("*.doc::*.xls:"), std::vector<std::string>{"*.doc"});
    EXPECT_TRUE(SplitFileTypes(":*.doc").empty());
    EXPECT_EQ(JoinFileTypes({"*.doc", "*.xls"}), "*.doc:*.xls:");
    EXPECT_EQ(SplitFileTypes(JoinFileTypes({"*.doc", "*.xls"})), (std::vector<std::string>{"*.doc", "*.xls"}));
}
