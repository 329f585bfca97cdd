#include "editor/RunnerLaunch.h"

#include "platform/Instances.h"
#include "platform/Registry.h"
#include "tests/support/InstalledMessages.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

using namespace editor;
namespace fs = std::filesystem;

namespace {

class RunnerLaunchTest : public ::testing::Test {
protected:
    testsupport::IsolatedUser user;
    testsupport::InstalledMessages messages;
    std::string editorFolder, job;
    std::vector<std::pair<std::string, std::string>> started;
    StartProgram recording = [this](const std::string& program, const std::string& argument, int&) {
        started.emplace_back(program, argument);
        return true;
    };

    void SetUp() override {
        editorFolder = user.Root() + "/bin";
        job = user.Root() + "/My Jobs/Daily Job.vlj";
        testsupport::WriteFile(job, "job");
    }
    // A runner that writes down the arguments it was given.
    std::string FakeRunner(const std::string& path) const {
        testsupport::WriteFile(path, "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done > \"" + user.Root() +
                                         "/arguments\"\n");
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }
    void RegisterRunner(const std::string& path) const {
        platform::registry::SetValue(platform::registry::Hive::LocalMachine,
                                     "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Gorvex.exe", "",
                                     platform::RegValue::String(path));
    }
};

}  // namespace

TEST_F(RunnerLaunchTest, TheRunnerBesideTheEditorGetsTheJobAsOneArgument) {
    // A registered runner that was deleted since.
    RegisterRunner(user.Root() + "/deleted/gorvex");
    FakeRunner(editorFolder + "/gorvex");
    LaunchRunner(job, editorFolder, StartDetached());
    const std::string arguments = user.Root() + "/arguments";
    for (int i = 0; i < 500 && testsupport::ReadFile(arguments).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(testsupport::ReadFile(arguments), "[" + job + "]\n");
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(RunnerLaunchTest, FailuresAreTold) {
    LaunchRunner(job, editorFolder, recording);
    testsupport::WriteFile(editorFolder + "/gorvex", "not a program");
    LaunchRunner(job, editorFolder, StartDetached());
    EXPECT_TRUE(started.empty());
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Error: Cannot run the Backup !\nUnable to find application gorvex\n",
                                                          "Error Starting Application - gorvex\n\nPermission denied"}));
}

TEST_F(RunnerLaunchTest, ARunOfAJobWithTheSameFileNameIsShownInsteadOfStartingAnother) {
    FakeRunner(editorFolder + "/gorvex");
    platform::InstanceRegistration running;
    ASSERT_TRUE(running.Register("Run Backup", "Daily Job.vlj - Vellora", [] {}));
    LaunchRunner(user.Root() + "/elsewhere/Daily Job.vlj", editorFolder, recording);
    EXPECT_TRUE(started.empty());
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Backup job already running!\nPress OK to view."});
    EXPECT_EQ(messages.Messages()[0].style, platform::MB_OK | platform::MB_ICONINFORMATION);
}

TEST_F(RunnerLaunchTest, RunBackupAsksToSaveFirst) {
    FakeRunner(editorFolder + "/gorvex");
    jobmodel::CAppDoc doc(jobmodel::DocHost::Editor);
    doc.OnNewDocument();
    int saves = 0;
    auto save = [&] {
        ++saves;
        return doc.OnSaveDocument(job);
    };
    // Never saved: No stops, Yes saves and runs.
    messages.Answer(platform::IDNO);
    RunBackup(doc, save, editorFolder, recording);
    EXPECT_EQ(saves, 0);
    EXPECT_TRUE(started.empty());
    messages.Answer(platform::IDYES);
    RunBackup(doc, save, editorFolder, recording);
    EXPECT_EQ(saves, 1);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].second, job);
    // Changed since: No runs the job as last saved.
    doc.SetModifiedFlag();
    messages.Answer(platform::IDNO);
    RunBackup(doc, save, editorFolder, recording);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(started.size(), 2u);
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{
                                    "You must save the job before invoking the Backup !\nDo you wish to do this now?",
                                    "You must save the job before invoking the Backup !\nDo you wish to do this now?",
                                    "Do you wish to save changes before invoking the Backup ?\n"}));
}
