#include "platform/Instances.h"

#include "platform/FileSystem.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace platform;

TEST(Instances, RegisteredProgramsAreFoundAndAskedToShow) {
    testsupport::IsolatedUser user;
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    const std::string previous = old ? old : "";
    setenv("XDG_RUNTIME_DIR", (user.Root() + "/run").c_str(), 1);
    CreateFolderPath(user.Root() + "/run");
    chmod((user.Root() + "/run").c_str(), 0700);
    // A stale entry of a process that no longer exists.
    CreateFolderPath(InstancesFolder());
    WriteFileAtomically(InstancesFolder() + "/999999.instance", "Run Backup\nOld.vlj - Vellora\n999999\nnone\n");

    std::atomic<int> shown{0};
    {
        InstanceRegistration runner;
        ASSERT_TRUE(runner.Register("Run Backup", "Vellora", [&] { ++shown; }));
        ASSERT_TRUE(runner.SetTitle("Daily.vlj - Vellora"));
        const auto all = ListInstances("Run Backup");
        ASSERT_EQ(all.size(), 1u);
        EXPECT_EQ(all[0].pid, getpid());
        EXPECT_FALSE(PathExists(InstancesFolder() + "/999999.instance"));
        EXPECT_TRUE(ListInstances("Vellora").empty());
        EXPECT_FALSE(FindInstance("Run Backup", "Weekly.vlj"));
        auto found = FindInstance("Run Backup", "Daily.vlj");
        ASSERT_TRUE(found);

        std::atomic<bool> asked{false};
        std::thread client([&] { asked = AskToShow(*found); });
        for (int i = 0; i < 400 && shown == 0; ++i) {
            QCoreApplication::processEvents();
            usleep(5000);
        }
        client.join();
        EXPECT_TRUE(asked);
        EXPECT_EQ(shown, 1);
    }
    EXPECT_TRUE(ListInstances("Run Backup").empty());
    if (old)
        setenv("XDG_RUNTIME_DIR", previous.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
}
