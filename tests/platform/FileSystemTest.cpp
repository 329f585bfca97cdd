#include "platform/FileSystem.h"

#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <utime.h>

using namespace platform;
using testsupport::IsolatedUser;
namespace fs = std::filesystem;

TEST(FileSystem, SamePathIsCaseSensitiveAndIgnoresATrailingSeparator) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"/home/ann/Docs", "/home/ann/Docs", true}, {"/home/ann/Docs/", "/home/ann/Docs", true},
        {"/home/ann/Docs", "/home/ann/docs", false}, {"/", "/", true},
        {"/home/ann", "/home/ann/Docs", false},
    };
    for (const auto& c : cases) EXPECT_EQ(SamePath(c.a, c.b), c.same) << c.a << " vs " << c.b;
}

TEST(FileSystem, CreateFolderPathMakesEveryMissingFolder) {
    IsolatedUser user;
    const std::string deep = user.Root() + "/a/b/c";
    EXPECT_EQ(CreateFolderPath(deep), 0);
    EXPECT_TRUE(IsFolder(deep));
    EXPECT_EQ(CreateFolderPath(deep), 0);
    EXPECT_EQ(CreateFolderPath("relative/path"), EINVAL);
    testsupport::WriteFile(user.Root() + "/file", "x");
    EXPECT_NE(CreateFolderPath(user.Root() + "/file/sub"), 0);
    EXPECT_FALSE(PathExists(user.Root() + "/file/sub"));
}

TEST(FileSystem, AtomicWriteReplacesWholeFilesAndKeepsTheirMode) {
    IsolatedUser user;
    const std::string path = user.Root() + "/job.vlj";
    ASSERT_EQ(WriteFileAtomically(path, "first"), 0);
    chmod(path.c_str(), 0600);
    ASSERT_EQ(WriteFileAtomically(path, std::string("sec\0ond", 7)), 0);
    EXPECT_EQ(testsupport::ReadFile(path), std::string("sec\0ond", 7));
    struct stat st {};
    stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(WriteFileAtomically(user.Root() + "/missing/job.vlj", "x"), ENOENT);
    size_t leftovers = 0;
    for (const auto& e : fs::directory_iterator(user.Root())) leftovers += e.path().filename().string()[0] == '.';
    EXPECT_EQ(leftovers, 0u);
}

TEST(FileSystem, AtomicWriteThroughALinkChangesTheFileAndKeepsTheLink) {
    IsolatedUser user;
    const std::string real = user.Root() + "/synced/Daily.vlj";
    testsupport::WriteFile(real, "old");
    fs::create_symlink("synced/Daily.vlj", user.Root() + "/Daily.vlj");
    fs::create_symlink(user.Root() + "/Daily.vlj", user.Root() + "/again.vlj");
    EXPECT_EQ(WriteFileAtomically(user.Root() + "/again.vlj", "new"), 0);
    EXPECT_TRUE(fs::is_symlink(user.Root() + "/Daily.vlj"));
    EXPECT_TRUE(fs::is_symlink(user.Root() + "/again.vlj"));
    EXPECT_EQ(testsupport::ReadFile(real), "new");
}

TEST(FileSystem, DeleteToRecycleBinMovesIntoTheTrash) {
    IsolatedUser user;
    fs::remove_all(user.DataHome());
    const std::string path = user.Root() + "/old.velidx";
    testsupport::WriteFile(path, "index");
    EXPECT_TRUE(DeleteToRecycleBin(path));
    EXPECT_FALSE(PathExists(path));
    EXPECT_EQ(testsupport::ReadFile(user.TrashFiles() + "/old.velidx"), "index");
    EXPECT_FALSE(DeleteToRecycleBin(path));
}

TEST(FileSystem, DeleteToRecycleBinDeletesForGoodWhereThereIsNoTrash) {
    IsolatedUser user;
    const std::string usb = user.Root() + "/media/usb";
    const std::string media = user.Root() + "/media.txt";
    testsupport::WriteFile(media, usb + "\tremovable\tvfat\tUSB\n");
    setenv("VELLORA_MEDIA", media.c_str(), 1);
    struct Case {
        std::string path;
        bool trashed;
    };
    std::vector<Case> cases = {
        {usb + "/Backup.velarc", false}, {usb + "/parts/Backup.z01", false}, {user.Root() + "/here.velarc", true}};
    // Another fixed volume than the Trash's, where this machine has one.
    struct stat home {}, shm {};
    if (stat(user.Root().c_str(), &home) == 0 && stat("/dev/shm", &shm) == 0 && home.st_dev != shm.st_dev &&
        access("/dev/shm", W_OK) == 0)
        cases.push_back({"/dev/shm/vellora-test-" + std::to_string(getpid()) + ".velarc", false});
    for (const auto& c : cases) {
        testsupport::WriteFile(c.path, "data");
        EXPECT_TRUE(DeleteToRecycleBin(c.path)) << c.path;
        EXPECT_FALSE(PathExists(c.path)) << c.path;
        EXPECT_EQ(PathExists(user.TrashFiles() + "/" + FileNamePart(c.path)), c.trashed) << c.path;
    }
    unsetenv("VELLORA_MEDIA");
}

TEST(FileSystem, FileTimesAndAttributes) {
    IsolatedUser user;
    const std::string path = user.Root() + "/.hidden";
    testsupport::WriteFile(path, "x");
    struct utimbuf times {1000000000, 1200000000};
    ASSERT_EQ(utime(path.c_str(), &times), 0);
    FileTimes t = GetFileTimes(path);
    ASSERT_TRUE(t.lastWrite && t.lastAccess && t.creation);
    EXPECT_EQ(std::chrono::system_clock::to_time_t(*t.lastWrite), 1200000000);
    EXPECT_EQ(std::chrono::system_clock::to_time_t(*t.lastAccess), 1000000000);
    FileTimes none = GetFileTimes(user.Root() + "/missing");
    EXPECT_FALSE(none.lastWrite || none.lastAccess || none.creation);

    EXPECT_EQ(GetFileAttributes(user.Root()), 16u);
    EXPECT_EQ(GetFileAttributes(path), 32u | 2u);
    chmod(path.c_str(), 0444);
    EXPECT_EQ(GetFileAttributes(path), 32u | 2u | 1u);
    EXPECT_EQ(GetFileAttributes(user.Root() + "/missing"), 0u);
}

TEST(FileSystem, SystemTextsAndFolders) {
    EXPECT_EQ(GetSystemErrorText(ENOENT), "No such file or directory");
    EXPECT_LE(GetSystemErrorText(123456).size(), 300u);
    const std::string temp = GetWindowsTempFolder();
    EXPECT_TRUE(IsFolder(temp));
    EXPECT_NE(temp.back(), '/');
    EXPECT_EQ(FileNamePart("/a/b/Daily.vlj"), "Daily.vlj");
    EXPECT_EQ(FolderPart("/a/b/Daily.vlj"), "/a/b");
    EXPECT_EQ(FolderPart("/Daily.vlj"), "/");
    std::string label;
    EXPECT_EQ(GetVolumeLabel("/", label), 0);
}
