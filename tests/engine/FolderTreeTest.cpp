#include "engine/FolderTree.h"

#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/mount.h>

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

TEST(ExpandFolderTree, AFolderMountedInsideItselfIsEnteredOnce) {
    testsupport::IsolatedUser user;
    const std::string r = user.Root() + "/tree";
    std::filesystem::create_directories(r + "/a/loop");
    std::filesystem::create_directories(r + "/b");
    if (mount(r.c_str(), (r + "/a/loop").c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "cannot bind-mount here: " << std::strerror(errno);
    std::vector<std::string> out;
    ExpandFolderTree(r, true, out, {});
    umount2((r + "/a/loop").c_str(), MNT_DETACH);
    EXPECT_EQ(out, (std::vector<std::string>{r, r + "/a", r + "/a/loop", r + "/b"}));
}

TEST(ExpandFolderTree, ASelectedLinkIsFollowedAndFoldersThatCannotBeListedAreReported) {
    testsupport::IsolatedUser user;
    const std::string target = user.Root() + "/elsewhere";
    std::filesystem::create_directories(target + "/x/y");
    std::filesystem::create_directory_symlink(target, user.Root() + "/picked");
    std::vector<std::string> out;
    std::vector<std::pair<std::string, int>> unreadable;
    ExpandFolderTree(user.Root() + "/picked", true, out, {}, nullptr,
                     [&](const std::string& path, int err) { unreadable.emplace_back(path, err); });
    EXPECT_EQ(out, (std::vector<std::string>{user.Root() + "/picked", user.Root() + "/picked/x",
                                             user.Root() + "/picked/x/y"}));
    EXPECT_TRUE(unreadable.empty());
    // A file where a folder was expected cannot be listed.
    testsupport::WriteFile(user.Root() + "/plain", "x");
    ExpandFolderTree(user.Root() + "/plain", true, out, {}, nullptr,
                     [&](const std::string& path, int err) { unreadable.emplace_back(path, err); });
    EXPECT_EQ(unreadable, (std::vector<std::pair<std::string, int>>{{user.Root() + "/plain", ENOTDIR}}));
}
