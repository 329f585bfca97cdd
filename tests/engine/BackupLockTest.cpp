// One writer per backup file, and nothing left behind by runs that died.

#include "tests/engine/RunFixture.h"

#include "engine/BackupPathLock.h"
#include "jobmodel/BackupIndexFile.h"

#include <QProcess>

#include <chrono>
#include <csignal>
#include <random>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

using namespace enginetest;

namespace {

class LockedRun : public BackupRun {
protected:
    std::vector<std::string> HiddenFiles(const std::string& folder) const {
        std::vector<std::string> found;
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().filename().string()[0] == '.') found.push_back(e.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }
};

}  // namespace

TEST_F(LockedRun, TemporaryFilesOfRunsThatDiedAreRemovedAndNothingElse) {
    auto doc = NewJob({{6, data}});
    const std::string folder = platform::FolderPart(backup);
    const std::string indexFolder = jobmodel::CBackupIndexFile(jobPath, backup).GetFolder();
    const std::vector<std::string> stale = {
        folder + "/.Daily.velarc.Ab12Cd",       folder + "/.Daily.velarc.whole",
        folder + "/.Daily.velarc.part.x9Y8z7",  folder + "/.Daily.z01.QQ11ww",
        folder + "/.Daily_Archived_Jan 01 2026 10'00.velarc.r2D2c3",
        indexFolder + "/.Daily.velarc.velidx.aaaaaa",
        indexFolder + "/.Daily_Archived_Jan 01 2026 10'00.velarc.velidx.bbbbbb"};
    const std::vector<std::string> kept = {
        folder + "/.Daily.velarc.notes",  folder + "/.Daily.velarc.Ab12Cd7", folder + "/.Weekly.velarc.Ab12Cd",
        folder + "/Daily.velarc.Ab12Cd",  folder + "/.Daily.velarc.Ab-2Cd"};
    for (const auto& f : stale) WriteFile(f, std::string(60000, 'x'));
    for (const auto& f : kept) WriteFile(f, "someone else's");
    ASSERT_EQ(Run(doc), "Backup Completed Successfully.");
    for (const auto& f : stale) EXPECT_FALSE(platform::PathExists(f)) << f;
    for (const auto& f : kept) EXPECT_TRUE(platform::PathExists(f)) << f;
    EXPECT_TRUE(Tested());
}

TEST_F(LockedRun, ASecondRunOfOneBackupFileWaitsForTheFirstAndCanBeAborted) {
    auto doc = NewJob({{6, data}});
    ASSERT_EQ(Run(doc), "Backup Completed Successfully.");
    const struct {
        bool abort;
        const char* final;
    } cases[] = {{false, "Backup Completed Successfully."}, {true, "Backup ABORTED !!!"}};
    for (const auto& c : cases) {
        // Another run holds the backup file.
        CBackupPathLock other;
        ASSERT_EQ(other.TryAcquire(backup), 0);
        std::thread releaser;
        const std::string status = Run(doc, [&](CBackupEngine& run) {
            view.onStatus = [&](const std::string& text) {
                if (text != "Waiting for another backup to this file to finish...") return;
                if (c.abort) {
                    run.RequestAbort();
                } else {
                    releaser = std::thread([&] {
                        std::this_thread::sleep_for(std::chrono::milliseconds(300));
                        other.Release();
                    });
                }
            };
        });
        if (releaser.joinable()) releaser.join();
        EXPECT_EQ(status, c.final);
        EXPECT_NE(std::find(view.statuses.begin(), view.statuses.end(),
                            "Waiting for another backup to this file to finish..."),
                  view.statuses.end());
        EXPECT_TRUE(Tested());
    }
}

TEST_F(LockedRun, KilledRunnersLeaveNoTemporaryFileAndNoDamagedBackup) {
    auto doc = NewJob({{6, data}});
    const std::string folder = platform::FolderPart(backup);
    std::string previous;
    std::mt19937 rng(7);
    for (int kill = 0; kill < 3; ++kill) {
        // Enough new data that the runner is still zipping when it is killed.
        for (int i = 0; i < 6; ++i) {
            std::string noise(6 << 20, '\0');
            for (char& ch : noise) ch = static_cast<char>(rng());
            WriteFile(data + "/noise/" + std::to_string(i) + ".bin", noise);
        }
        const std::vector<std::string> before = fs::is_directory(folder) ? HiddenFiles(folder) : std::vector<std::string>();
        QProcess runner;
        runner.start(GORVEX_PROGRAM, {QString::fromStdString(jobPath)});
        ASSERT_TRUE(runner.waitForStarted());
        // Zipping has begun once this run's temporary backup holds data.
        const auto zipping = [&] {
            if (!fs::is_directory(folder)) return false;
            for (const auto& name : HiddenFiles(folder)) {
                std::error_code ec;
                const bool fresh = std::find(before.begin(), before.end(), name) == before.end();
                if (fresh && name.find(".lock") == std::string::npos && fs::file_size(folder + "/" + name, ec) > (1 << 20))
                    return true;
            }
            return false;
        };
        for (int wait = 0; wait < 2000 && !zipping() && runner.state() == QProcess::Running; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(zipping()) << kill;
        ::kill(static_cast<pid_t>(runner.processId()), SIGKILL);
        runner.waitForFinished();
        // The dead run's temporary file is there (with the lock file) ...
        EXPECT_GT(HiddenFiles(folder).size(), 1u) << kill;
        // The old backup is exactly what it was.
        if (!previous.empty()) {
            EXPECT_EQ(ReadFile(backup), previous) << kill;
        }
        // ... and the next run cleans up after it and writes a good backup.
        const auto next = testsupport::RunProgram(GORVEX_PROGRAM, {jobPath});
        EXPECT_EQ(next.exitCode, 0) << next.out << next.err;
        EXPECT_EQ(HiddenFiles(folder), std::vector<std::string>{".Daily.velarc.lock"}) << kill;
        EXPECT_TRUE(Tested()) << kill;
        previous = ReadFile(backup);
    }
}
