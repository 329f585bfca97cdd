#include "tests/support/IsolatedUser.h"

#include "zipcomponent/DirectoryIndex.h"

#include <gtest/gtest.h>

#include <fstream>
#include <future>

using namespace zipcomponent;

namespace {

CentralDirectory Named(std::initializer_list<const char*> names) {
    CentralDirectory directory;
    for (const char* name : names) directory.entries.push_back({name, "/", 0, 0, 0, 0, 0});
    return directory;
}

void Append(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

}  // namespace

// An update keeps the first entry of a name; the position it expects is only
// a hint, never an answer of its own.
TEST(DirectoryIndex, FirstOfAnswersTheFirstEntryWhateverPositionIsExpected) {
    const DirectoryIndex index(Named({"home/a", "home/b/", "home/a", "home/c", "home/b/", "home/a"}));
    const struct {
        const char* name;
        size_t expected;
        int64_t first;
    } cases[] = {
        {"home/a", SIZE_MAX, 0}, {"home/a", 0, 0},  {"home/a", 2, 0},  {"home/a", 5, 0},
        {"home/b/", 1, 1},       {"home/b/", 4, 1}, {"home/c", 3, 3},  {"home/c", 0, 3},
        {"home/c", 99, 3},       {"home/d", 3, -1}, {"home/b", 1, -1}, {"", 0, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(index.FirstOf(c.name, c.expected), c.first) << c.name << " at " << c.expected;
    const bool later[] = {false, false, true, false, true, true};
    for (size_t i = 0; i < std::size(later); ++i) EXPECT_EQ(index.IsLaterCopy(i), later[i]) << i;

    // Enough names that the table wraps and collides.
    CentralDirectory many;
    for (int i = 0; i < 5000; ++i) many.entries.push_back({"f" + std::to_string(i % 4000), "/", 0, 0, 0, 0, 0});
    const DirectoryIndex large(std::move(many));
    for (int i = 0; i < 5000; ++i) {
        const std::string name = "f" + std::to_string(i % 4000);
        ASSERT_EQ(large.FirstOf(name, static_cast<size_t>(i)), i % 4000) << name;
        ASSERT_EQ(large.IsLaterCopy(static_cast<size_t>(i)), i >= 4000) << i;
    }
    EXPECT_EQ(large.FirstOf("f4000"), -1);
}

// A directory is kept only while its file is the one it was read from: one
// written to while it was read, or since, is read again.
TEST(DirectoryCache, KeepsADirectoryOnlyWhileItsFileStaysTheSame) {
    testsupport::IsolatedUser user;
    const std::string path = user.Root() + "/backup.velarc";
    testsupport::WriteFile(path, "first");
    int reads = 0;
    const DirectoryCache::Reader reader = [&](const std::string&, CentralDirectory& out) {
        ++reads;
        out = Named({"a"});
        return true;
    };

    DirectoryCache cache;
    EXPECT_EQ(cache.Find(path), nullptr);
    const auto read = cache.Read(path, reader);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(cache.Find(path), read);
    EXPECT_EQ(cache.Find(path + ".other"), nullptr);
    Append(path, " and more");
    EXPECT_EQ(cache.Find(path), nullptr);

    // Written to during the read: what was read is handed out, not kept.
    const auto during = cache.Read(path, [&](const std::string& p, CentralDirectory& out) {
        Append(p, "!");
        return reader(p, out);
    });
    ASSERT_NE(during, nullptr);
    EXPECT_EQ(cache.Find(path), nullptr);
    EXPECT_EQ(cache.Read(path, [](const std::string&, CentralDirectory&) { return false; }), nullptr);

    // Read ahead: the next look takes it, unless the file changed since.
    reads = 0;
    cache.ReadAhead(path, reader);
    const auto ahead = cache.Find(path);
    ASSERT_NE(ahead, nullptr);
    EXPECT_EQ(ahead->FirstOf("a"), 0);
    EXPECT_EQ(cache.Find(path), ahead);
    EXPECT_EQ(reads, 1);
    std::promise<void> readDone;
    cache.ReadAhead(path, [&](const std::string& p, CentralDirectory& out) {
        const bool read = reader(p, out);
        readDone.set_value();
        return read;
    });
    readDone.get_future().wait();
    Append(path, "?");
    EXPECT_EQ(cache.Find(path), nullptr);
    EXPECT_EQ(reads, 2);

    // Dropped unfinished, as an aborted run drops it.
    DirectoryCache left;
    left.ReadAhead(path, reader);
}
