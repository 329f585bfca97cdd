#include "platform/Instances.h"

#include "platform/FileSystem.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
#include <cstdlib>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace platform;

TEST(Instances, RegisteredProgramsAreFoundAndAskedToShow) {
    testsupport::IsolatedUser user;  // with a runtime folder of its own
    // A stale entry of a process that no longer exists.
    CreateFolderPath(InstancesFolder());
    WriteFileAtomically(InstancesFolder() + "/999999.instance", "Run Backup\nOld.vlj - Vellora\n999999\nnone\n");
    // A runner killed with its process number since given to a live
    // program (here: process 1): its lock is free, its socket left behind.
    const std::string socketName = "vellora-test-killed-" + std::to_string(getpid());
    const std::string socketPath = GetWindowsTempFolder() + "/" + socketName;
    {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        close(fd);
    }
    WriteFileAtomically(InstancesFolder() + "/1.instance", "Run Backup\nKilled.vlj - Vellora\n1\n" + socketName + "\n");
    WriteFileAtomically(InstancesFolder() + "/1.lock", "");

    std::atomic<int> shown{0};
    {
        InstanceRegistration runner;
        ASSERT_TRUE(runner.Register("Run Backup", "Vellora", [&] { ++shown; }));
        ASSERT_TRUE(runner.SetTitle("Daily.vlj - Vellora"));
        const auto all = ListInstances("Run Backup");
        ASSERT_EQ(all.size(), 1u);
        EXPECT_EQ(all[0].pid, getpid());
        EXPECT_FALSE(PathExists(InstancesFolder() + "/999999.instance"));
        for (const std::string& left : {InstancesFolder() + "/1.instance", InstancesFolder() + "/1.lock", socketPath})
            EXPECT_FALSE(PathExists(left)) << left;
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
}
