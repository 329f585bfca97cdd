#include "platform/FileStatusCache.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using platform::FolderListingCache;
using platform::ListedFile;

// Looks spread over threads land on the right names, links are looked at
// as links, and what went missing after the listing says so.
TEST(FolderListingCacheTest, LooksAtEveryListedFileOverThreads) {
    testsupport::IsolatedUser user;
    const std::string root = user.Root() + "/tree";
    FolderListingCache cache;
    for (int f = 0; f < 40; ++f) {
        const std::string folder = root + "/f" + std::to_string(f);
        std::filesystem::create_directories(folder);
        std::vector<ListedFile> files;
        for (int i = 0; i <= f; ++i) {
            const std::string name = "z" + std::to_string(i) + ".txt";
            testsupport::WriteFile(folder + "/" + name, std::string(static_cast<size_t>(i), 'x'));
            files.push_back({name, {}, -1});
        }
        cache.Remember(folder, std::move(files));
    }
    ASSERT_EQ(::symlink("z0.txt", (root + "/f3/link").c_str()), 0);
    cache.Remember(root + "/f3", {{"link", {}, -1}, {"z1.txt", {}, -1}, {"gone", {}, -1}});
    cache.Remember(root + "/vanished", {{"a", {}, -1}});

    cache.LookAtFiles(2);
    for (int f = 0; f < 40; ++f) {
        if (f == 3) continue;
        const auto* listing = cache.Find(root + "/f" + std::to_string(f));
        ASSERT_NE(listing, nullptr);
        ASSERT_EQ(listing->size(), static_cast<size_t>(f + 1));
        for (int i = 0; i <= f; ++i) {
            const ListedFile* file = FolderListingCache::FindFile(*listing, "z" + std::to_string(i) + ".txt");
            ASSERT_NE(file, nullptr);
            EXPECT_EQ(file->error, 0);
            EXPECT_EQ(file->status.size, static_cast<uint64_t>(i)) << f << " " << i;
            EXPECT_TRUE(S_ISREG(file->status.mode));
        }
    }
    const auto& three = *cache.Find(root + "/f3");
    EXPECT_TRUE(S_ISLNK(FolderListingCache::FindFile(three, "link")->status.mode));
    EXPECT_EQ(FolderListingCache::FindFile(three, "gone")->error, ENOENT);
    EXPECT_EQ(FolderListingCache::FindFile(three, "z9.txt"), nullptr);
    EXPECT_EQ(cache.Find(root + "/vanished")->front().error, -1) << "a folder that cannot be opened is left unlooked";
    EXPECT_EQ(cache.Find(root + "/nowhere"), nullptr);
}
