#include "engine/FolderTree.h"

#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <filesystem>

using engine::ExpandFolderTree;

TEST(ExpandFolderTree, WalksHiddenFoldersSkipsLinksAndExclusions) {
    testsupport::IsolatedUser user;
    const std::string r = user.Root() + "/tree";
    for (const char* d : {"/a/a1", "/a/.hidden/h1", "/b/b1/b2", "/c"}) std::filesystem::create_directories(r + d);
    std::filesystem::create_directory_symlink(user.Root(), r + "/link");
    std::vector<std::string> out;
    const int added = ExpandFolderTree(r, true, out, {r + "/b/b1"});
    const std::vector<std::string> expected = {r,           r + "/a",    r + "/a/.hidden", r + "/a/.hidden/h1",
                                               r + "/a/a1", r + "/b",    r + "/b/b1/b2",  r + "/c"};
    EXPECT_EQ(out, expected);
    EXPECT_EQ(added, 8);

    std::vector<std::string> stopped;
    int visits = 0;
    ExpandFolderTree(r, false, stopped, {}, [&](const std::string&) { return ++visits < 3; });
    EXPECT_EQ(stopped.size(), 2u);
}
