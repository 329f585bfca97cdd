#pragma once

#include "engine/BackupEngine.h"

#include "logbook/RtfReader.h"
#include "platform/FileSystem.h"
#include "tests/support/InstalledMessages.h"
#include "tests/support/IsolatedUser.h"
#include "tests/support/Process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fcntl.h>
#include <sys/stat.h>

namespace enginetest {

using namespace engine;
using testsupport::ReadFile;
using testsupport::WriteFile;
namespace fs = std::filesystem;

class RecordingView : public IRunView {
public:
    std::vector<std::string> statuses;
    std::vector<std::pair<std::string, std::string>> balloons;
    std::string finalStatus;
    int finalColour = -1;
    bool finalBold = false;
    bool errorIndication = false;
    bool viewLogEnabled = false;
    bool finished = false;
    bool closeRequested = false;
    std::function<void(const std::string&)> onStatus;
    std::function<void(const std::string&)> onCurrentFile;

    void SetStatus(const std::string& text, int colour, bool bold) override {
        statuses.push_back(text);
        finalColour = colour;
        finalBold = bold;
        if (onStatus) onStatus(text);
    }
    void SetCurrentFile(const std::string& path) override {
        if (onCurrentFile) onCurrentFile(path);
    }
    void SetProgress(int, int) override {}
    void RaiseErrorIndication() override { errorIndication = true; }
    void SetViewLogEnabled(bool enabled) override { viewLogEnabled = enabled; }
    void RunFinished(bool) override { finished = true; }
    void ShowBalloon(const std::string& title, const std::string& text, int) override {
        balloons.emplace_back(title, text);
    }
    void PlaySound(const std::string&) override {}
    void RequestClose() override { closeRequested = true; }
    void BringToFront() override {}
    std::string WindowTitle() const override { return "Daily.vlj - Vellora"; }
};

class BackupRun : public ::testing::Test {
protected:
    testsupport::IsolatedUser user;
    testsupport::InstalledMessages messages;
    RecordingView view;
    std::string data, backup, jobPath, logFolder;

    void SetUp() override {
        data = user.Root() + "/data";
        backup = user.Root() + "/backups/Daily.velarc";
        jobPath = user.Root() + "/Jobs/Daily.vlj";
        logFolder = user.Root() + "/Log";
        WriteFile(data + "/letters/ann.txt", "Dear Ann,\n");
        WriteFile(data + "/letters/bob.txt", "Dear Bob,\n");
        WriteFile(data + "/notes.md", "# notes\n");
        WriteFile(data + "/scratch.tmp", "scratch");
        WriteFile(data + "/cache/big/blob.bin", "cached");
        fs::create_directories(data + "/empty");
        fs::create_directories(logFolder);
        jobmodel::CSettingsRegistry(jobmodel::Hive::CurrentUser).SetLogFolder(logFolder);
        SetAge(data, 3600);
    }

    // Every file and folder below `root` a given number of seconds in the past.
    static void SetAge(const std::string& root, int seconds) {
        const time_t when = time(nullptr) - seconds;
        const struct timespec times[2] = {{when, 0}, {when, 0}};
        for (const auto& e : fs::recursive_directory_iterator(root)) utimensat(AT_FDCWD, e.path().c_str(), times, 0);
    }

    jobmodel::CAppDoc NewJob(const std::vector<std::pair<int, std::string>>& items) {
        jobmodel::CAppDoc doc(jobmodel::DocHost::Runner);
        doc.OnNewDocument();
        doc.m_BackupSettings.m_strBackupFile = backup;
        doc.m_BackupSettings.m_strDescription = "nightly";
        for (const auto& [state, path] : items)
            doc.m_BackupSettings.m_items.AddItem(path, state, platform::GetFileAttributes(path));
        platform::CreateFolderPath(platform::FolderPart(jobPath));
        EXPECT_TRUE(doc.OnSaveDocument(jobPath));
        doc.m_nDocKind = jobmodel::kDocJob;
        return doc;
    }

    // A fresh view each run; `prepare` sets hooks on it and the engine.
    std::string Run(jobmodel::CAppDoc& doc, const std::function<void(CBackupEngine&)>& prepare = nullptr) {
        view = RecordingView{};
        const jobmodel::CSettingsRegistry settings(jobmodel::Hive::CurrentUser);
        CBackupEngine run(doc, settings, view);
        if (prepare) prepare(run);
        run.RunBackup();
        return run.FinalStatus();
    }

    // The saved log as plain text, without the space each line ends in.
    std::string LogText() const {
        std::string text = logbook::RtfToText(ReadFile(logFolder + "/Daily.rtf"));
        for (size_t at; (at = text.find(" \n")) != std::string::npos;) text.erase(at, 1);
        return text;
    }
    std::vector<std::string> Entries() const { return Split(testsupport::RunProgram("unzip", {"-Z1", backup}).out); }
    static std::vector<std::string> Split(const std::string& text) {
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
            lines.push_back(text.substr(start, nl - start));
        return lines;
    }
    bool Stored(const std::string& path) const {
        const auto names = Entries();
        return std::find(names.begin(), names.end(), path.substr(1)) != names.end();
    }
    bool Tested() const { return testsupport::RunProgram("unzip", {"-tq", backup}).exitCode == 0; }
};

inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace enginetest
