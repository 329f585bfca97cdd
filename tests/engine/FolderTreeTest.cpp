#include "engine/FolderTree.h"

#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/mount.h>
#include <sys/stat.h>

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

// A walk for a backup keeps each folder's files, looked at as it read the
// folder, on whichever thread read it; a big tree keeps every core busy.
TEST(ExpandFolderTree, ListingsHoldEveryFileLookedAtOnce) {
    testsupport::IsolatedUser user;
    const std::string r = user.Root() + "/tree";
    for (int f = 0; f < 60; ++f) {
        const std::string folder = r + "/d" + std::to_string(f % 6) + "/f" + std::to_string(f);
        std::filesystem::create_directories(folder);
        for (int i = 0; i <= f % 7; ++i)
            testsupport::WriteFile(folder + "/z" + std::to_string(i), std::string(static_cast<size_t>(i), 'x'));
    }
    std::filesystem::create_symlink("z0", r + "/d0/f0/link");
    std::filesystem::create_directory_symlink(user.Root(), r + "/d1/up");
    std::vector<std::string> out, visited;
    platform::FolderListingCache listings;
    ExpandFolderTree(
        r, true, out, {}, [&](const std::string& path) { visited.push_back(path); return true; }, nullptr, &listings);
    ASSERT_EQ(out.size(), 1u + 6u + 60u);
    EXPECT_TRUE(std::is_sorted(out.begin() + 1, out.end()));
    EXPECT_EQ(visited, std::vector<std::string>(out.begin() + 1, out.end())) << "told each folder once, in order";
    for (int f = 0; f < 60; ++f) {
        const auto* listed = listings.Find(r + "/d" + std::to_string(f % 6) + "/f" + std::to_string(f));
        ASSERT_NE(listed, nullptr);
        const auto* listing = &listed->files;
        ASSERT_EQ(listing->size(), static_cast<size_t>(f % 7 + 1 + (f == 0)));
        for (int i = 0; i <= f % 7; ++i) {
            const auto* file = platform::FolderListingCache::FindFile(*listing, "z" + std::to_string(i));
            ASSERT_NE(file, nullptr);
            EXPECT_EQ(file->error, 0);
            EXPECT_EQ(file->status.size, static_cast<uint64_t>(i));
        }
    }
    const auto* link = platform::FolderListingCache::FindFile(listings.Find(r + "/d0/f0")->files, "link");
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(S_ISLNK(link->status.mode));
    const auto* up = platform::FolderListingCache::FindFile(listings.Find(r + "/d1")->files, "up");
    ASSERT_NE(up, nullptr) << "a link to a folder is a file of its folder, never walked";
    EXPECT_TRUE(S_ISLNK(up->status.mode));
    EXPECT_EQ(listings.Find(r + "/d1/up"), nullptr);
    // Each folder's own look comes with its listing.
    struct stat st {};
    ASSERT_EQ(stat((r + "/d2").c_str(), &st), 0);
    const auto* d2 = listings.Find(r + "/d2");
    ASSERT_NE(d2, nullptr);
    EXPECT_EQ(d2->self.mode, st.st_mode);
    EXPECT_EQ(d2->self.modified, st.st_mtime);
    EXPECT_EQ(listings.Find(r + "/d2/f2/z0"), nullptr) << "a file is no folder listed";
    size_t files = 0;
    for (int f = 0; f < 60; ++f) files += static_cast<size_t>(f % 7 + 1 + (f == 0));
    EXPECT_EQ(listings.FileCount(), files + 1) << "the link in d1 besides";
}
