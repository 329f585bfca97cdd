#include "runner/ColorStatic.h"
#include "runner/RunnerWindow.h"
#include "runner/SessionBus.h"
#include "desktop/Skin.h"
#include "runner/TrayIcon.h"
#include "scheduling/SchedulerTask.h"
#include "jobmodel/SettingsRegistry.h"

#include "platform/FileSystem.h"
#include "tests/support/InstalledMessages.h"
#include "tests/support/IsolatedUser.h"
#include "tests/support/Process.h"

#include <gtest/gtest.h>

#include <QSystemTrayIcon>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QTest>
#include <QToolBar>

#include <filesystem>
#include <optional>
#include <regex>
#include <set>

using namespace runner;
using testsupport::IsolatedUser;

TEST(ColorStatic, SameTextKeepsItsColourAndWeight) {
    CColorStatic field;
    field.SetText("Zipping Files...", 0, false);
    EXPECT_EQ(field.TextColour(), ColourForCode(0));
    field.SetText("Zipping Files...", 1, true);
    EXPECT_EQ(field.TextColour(), ColourForCode(0));
    EXPECT_FALSE(field.Bold());
    field.SetText("Backup FAILED !!!", 1, true);
    EXPECT_EQ(field.TextColour(), QColor(180, 0, 0));
    EXPECT_TRUE(field.Bold());
    EXPECT_EQ(ColourForCode(2), QColor(0, 180, 0));
    EXPECT_EQ(ColourForCode(3), QColor(0, 0, 180));
}

TEST(TrayIcon, StatesTooltipsAndMenu) {
    QWidget window;
    CTrayIcon tray("Daily.vlj", &window);
    EXPECT_EQ(tray.IconId(), kIconRunning);
    EXPECT_EQ(tray.ToolTip(), "Daily.vlj: Backup in progress, No Errors");
    EXPECT_EQ(tray.MenuEntries(), (QStringList{"&Restore", "E&xit", "", "&About"}));
    window.show();
    EXPECT_EQ(tray.MenuEntries(), (QStringList{"E&xit", "", "&About"}));
    tray.SetError();
    EXPECT_EQ(tray.IconId(), kIconError);
    EXPECT_EQ(tray.ToolTip(), "Daily.vlj: Backup in progress, ERROR !!!");
    tray.SetFinished();
    EXPECT_EQ(tray.IconId(), kIconError);  // the error flag is never cleared
    EXPECT_EQ(tray.ToolTip(), "Daily.vlj: Backup Finished, ERROR !!!");

    CTrayIcon clean("Weekly.vlj", nullptr);
    clean.SetFinished();
    EXPECT_EQ(clean.IconId(), kIconFinished);
    EXPECT_EQ(clean.ToolTip(), "Weekly.vlj: Backup Finished, No Errors");

    const QString longName = QString(120, QChar(0xE9)) + ".vlj";  // two bytes each
    CTrayIcon cut(longName, nullptr);
    EXPECT_LE(cut.ToolTip().toUtf8().size(), 127);
    EXPECT_TRUE(longName.startsWith(cut.ToolTip()));
    cut.ShowBalloon(QString(300, 'x'), QString(80, 'y'), 10, 1);
    EXPECT_EQ(cut.LastBalloonText().size(), 255);
    EXPECT_EQ(cut.LastBalloonTitle().size(), 63);
}

namespace {

class RunnerRun : public ::testing::Test {
protected:
    IsolatedUser user;
    testsupport::InstalledMessages messages;
    std::string data, job;

    void SetUp() override {
        data = user.Root() + "/data";
        testsupport::WriteFile(data + "/letters/ann.txt", "Dear Ann,\n");
        testsupport::WriteFile(data + "/photo.raw", std::string(300000, 'p'));
        job = user.Root() + "/Daily.vlj";
        ASSERT_EQ(Tool({"new", job}).exitCode, 0);
        ASSERT_EQ(Tool({"add", job, "6", data}).exitCode, 0);
        ASSERT_EQ(Tool({"set", job, "m_strBackupFile=" + user.Root() + "/backup/Daily.velarc",
                        "m_strDescription=Ann's letters"})
                      .exitCode,
                  0);
    }
    static testsupport::ProcessResult Tool(const std::vector<std::string>& args) {
        return testsupport::RunProgram(VELLORA_JOB_TOOL, args);
    }
};

}  // namespace

TEST_F(RunnerRun, WindowShowsTheRunAndItsEnd) {
    jobmodel::CAppDoc doc(jobmodel::DocHost::Runner);
    ASSERT_TRUE(doc.OnOpenDocument(job));
    const jobmodel::CSettingsRegistry settings(jobmodel::ChooseSettingsRoot());
    RunnerWindow window(doc, settings);
    window.show();
    EXPECT_EQ(window.windowTitle(), "Daily.vlj - Vellora");
    EXPECT_EQ(window.View()->m_job->FullText(), "Daily.vlj");
    EXPECT_EQ(window.View()->m_description->FullText(), "Ann's letters");
    EXPECT_EQ(window.View()->m_job->TextColour(), QColor(0, 0, 180));
    EXPECT_FALSE(window.m_viewLog->isEnabled());
    EXPECT_FALSE(window.View()->m_close->isEnabled());

    window.StartBackup();
    EXPECT_EQ(window.View()->m_status->FullText(), "Backup Completed Successfully.");
    EXPECT_EQ(window.View()->m_status->TextColour(), QColor(0, 0, 180));
    EXPECT_EQ(window.View()->m_zipProgress->value(), 100);
    EXPECT_TRUE(window.m_viewLog->isEnabled());
    EXPECT_TRUE(window.View()->m_close->isEnabled());
    EXPECT_EQ(window.Tray().IconId(), kIconFinished);
    EXPECT_EQ(testsupport::RunProgram("unzip", {"-tq", user.Root() + "/backup/Daily.velarc"}).exitCode, 0);

    std::filesystem::create_directories(SCREENSHOT_DIR);
    EXPECT_TRUE(window.grab().save(SCREENSHOT_DIR "/progress-window.png"));
}

TEST_F(RunnerRun, HeadlessRunsReportByExitStatus) {
    // Off a terminal (as under cron) a good run says nothing at all, and a
    // run that is not good says so on standard error.
    auto ok = testsupport::RunProgram(GORVEX_PROGRAM, {job});
    EXPECT_EQ(ok.exitCode, 0) << ok.out << ok.err;
    EXPECT_EQ(ok.out, "");
    EXPECT_EQ(testsupport::RunProgram("unzip", {"-tq", user.Root() + "/backup/Daily.velarc"}).exitCode, 0);

    std::filesystem::remove_all(data);
    auto warned = testsupport::RunProgram(GORVEX_PROGRAM, {job});
    EXPECT_EQ(warned.exitCode, 1);
    EXPECT_EQ(warned.out, "");
    EXPECT_EQ(warned.err.rfind("Backup COMPLETED, Some FILE WARNINGS Occurred !!!\nJob: ", 0), 0u) << warned.err;
    EXPECT_NE(warned.err.find("\nLog: "), std::string::npos);

    EXPECT_EQ(testsupport::RunProgram(GORVEX_PROGRAM, {user.Root() + "/missing.vlj"}).exitCode, 2);
    auto backupFile = testsupport::RunProgram(GORVEX_PROGRAM, {user.Root() + "/backup/Daily.velarc"});
    EXPECT_EQ(backupFile.exitCode, 2);
    EXPECT_NE(backupFile.err.find("is not a recognised file type !!"), std::string::npos);
    auto none = testsupport::RunProgram(GORVEX_PROGRAM, {});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.err.find("Cannot run Backup!!! - No Backup file defined"), std::string::npos);
}

// With a display the run is handed to the window program beside the
// runner; without that program it still runs, without a window, and says so.
TEST_F(RunnerRun, WithADisplayTheWindowProgramRunsTheBackup) {
    // Qt's minimal platform stands in for a display no test has.
    struct Display {
        const std::pair<const char*, const char*> set[2] = {{"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "minimal"}};
        std::vector<std::optional<std::string>> saved;
        Display() {
            for (const auto& [name, value] : set) {
                const char* was = std::getenv(name);
                saved.push_back(was ? std::optional<std::string>(was) : std::nullopt);
                setenv(name, value, 1);
            }
        }
        ~Display() {
            for (size_t i = 0; i < saved.size(); ++i)
                saved[i] ? setenv(set[i].first, saved[i]->c_str(), 1) : unsetenv(set[i].first);
        }
    } display;
    jobmodel::CSettingsRegistry(jobmodel::ChooseSettingsRoot()).SetCloseBackupWindows(1);
    const std::string backup = user.Root() + "/backup/Daily.velarc";

    const auto windowed = testsupport::RunProgram(GORVEX_PROGRAM, {job});
    EXPECT_EQ(windowed.exitCode, 0) << windowed.err;
    EXPECT_EQ(windowed.err.find("no window can be shown"), std::string::npos) << windowed.err;
    EXPECT_EQ(testsupport::RunProgram("unzip", {"-tq", backup}).exitCode, 0);

    std::filesystem::remove(backup);
    const std::string alone = user.Root() + "/bin/gorvex";
    std::filesystem::create_directories(user.Root() + "/bin");
    std::filesystem::copy_file(GORVEX_PROGRAM, alone);
    const auto headless = testsupport::RunProgram(alone, {job});
    EXPECT_EQ(headless.exitCode, 0) << headless.err;
    EXPECT_EQ(headless.err, "gorvex: no window can be shown (" + user.Root() +
                                "/bin/gorvex-window: No such file or directory); the backup runs without one\n");
    EXPECT_EQ(testsupport::RunProgram("unzip", {"-tq", backup}).exitCode, 0);
}

// Started by its task's crontab line: due today or not, and its run
// recorded in the task file.
TEST_F(RunnerRun, AScheduledRunRecordsItselfInItsTask) {
    const std::string taskFile = scheduling::CSchedulerTask::GetTasksFolder() + "/Daily.vlj.job";
    scheduling::Task task;
    scheduling::Trigger today, otherDay;
    const scheduling::Date date = scheduling::LocalDate(std::time(nullptr));
    ASSERT_TRUE(scheduling::ParseTrigger("daily@18:00", today));
    today.start = date;
    otherDay = today;
    otherDay.start = {date.year + 1, 1, 1};  // not begun yet
    task.triggers = {otherDay, today};
    std::filesystem::create_directories(scheduling::CSchedulerTask::GetTasksFolder());
    ASSERT_EQ(scheduling::StoreTask(taskFile, task), 0);
    setenv("VELLORA_TASK", "Daily.vlj.job", 1);
    setenv("VELLORA_TRIGGER", "0", 1);
    const auto notDue = testsupport::RunProgram(GORVEX_PROGRAM, {job});
    EXPECT_EQ(notDue.exitCode, 0) << notDue.err;
    EXPECT_FALSE(std::filesystem::exists(user.Root() + "/backup/Daily.velarc"));
    setenv("VELLORA_TRIGGER", "1", 1);
    const time_t before = std::time(nullptr);
    const auto due = testsupport::RunProgram(GORVEX_PROGRAM, {job});
    unsetenv("VELLORA_TASK");
    unsetenv("VELLORA_TRIGGER");
    EXPECT_EQ(due.exitCode, 0) << due.err;
    EXPECT_EQ(due.out + due.err, "");
    EXPECT_TRUE(std::filesystem::exists(user.Root() + "/backup/Daily.velarc"));
    ASSERT_TRUE(scheduling::LoadTask(taskFile, task));
    EXPECT_GE(task.lastRun, before);
    EXPECT_EQ(task.lastResult, 0);
    EXPECT_EQ(task.runningPid, 0);
    EXPECT_EQ(scheduling::TaskStatusAt(task, std::time(nullptr)), scheduling::kStatusReady);
}

// A notification service of our own on a private session bus: it records
// what it is sent and answers as a desktop's does.
class FakeNotifications : public QDBusVirtualObject {
public:
    std::vector<QList<QVariant>> received;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != "Notify") return false;
        received.push_back(message.arguments());
        connection.send(message.createReply(QVariant::fromValue(uint(received.size()))));
        return true;
    }
    QString introspect(const QString&) const override { return {}; }
};

TEST_F(RunnerRun, ARunWithoutWindowsSendsItsBalloonsToTheDesktop) {
    if (!std::filesystem::exists("/usr/bin/dbus-daemon"))
        GTEST_SKIP() << "dbus-daemon is installed by scripts/setup.sh";
    // The session's bus where cron-started runs find it: in the runtime folder.
    const std::string socket = user.RuntimeDir() + "/bus";
    std::filesystem::create_directories(user.RuntimeDir());
    QProcess daemon;
    daemon.start("dbus-daemon", {"--session", "--nofork", "--address=unix:path=" + QString::fromStdString(socket)});
    ASSERT_TRUE(daemon.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(socket); }, 10000));
    QDBusConnection bus = QDBusConnection::connectToBus("unix:path=" + QString::fromStdString(socket), "desktop");
    ASSERT_TRUE(bus.isConnected());
    FakeNotifications desktop;
    ASSERT_TRUE(bus.registerVirtualObject("/org/freedesktop/Notifications", &desktop));
    ASSERT_TRUE(bus.registerService("org.freedesktop.Notifications"));

    auto run = [&] {
        QProcess runner;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DBUS_SESSION_BUS_ADDRESS");
        runner.setProcessEnvironment(environment);
        runner.start(GORVEX_PROGRAM, {QString::fromStdString(job)});
        // The test's own loop answers the runner's calls meanwhile.
        EXPECT_TRUE(QTest::qWaitFor([&] { return runner.state() == QProcess::NotRunning; }, 60000));
        return runner.exitCode();
    };
    jobmodel::CSettingsRegistry settings(jobmodel::Hive::CurrentUser);
    settings.SetShowBalloonTips(1);
    EXPECT_EQ(run(), 0);
    ASSERT_EQ(desktop.received.size(), 2u);
    EXPECT_EQ(desktop.received[0].at(0).toString(), "Vellora");
    EXPECT_EQ(desktop.received[0].at(3).toString(), "Backup starting");
    EXPECT_EQ(desktop.received[0].at(4).toString(), "Daily.vlj:  Ann's letters");
    EXPECT_EQ(desktop.received[1].at(3).toString(), "Backup Finished Successfully");
    EXPECT_EQ(desktop.received[1].at(2).toString(), "dialog-information");

    std::filesystem::remove_all(data);
    EXPECT_EQ(run(), 1);
    ASSERT_EQ(desktop.received.size(), 4u);
    EXPECT_EQ(desktop.received[3].at(3).toString(), "Backup Finished with Errors!");
    EXPECT_EQ(desktop.received[3].at(2).toString(), "dialog-error");

    settings.SetShowBalloonTips(0);
    run();
    EXPECT_EQ(desktop.received.size(), 4u);
    bus.unregisterService("org.freedesktop.Notifications");
    QDBusConnection::disconnectFromBus("desktop");
    daemon.terminate();
    daemon.waitForFinished();
}

// The runner speaks to the bus itself: replies and errors told apart, the
// abstract and escaped addresses the bus may give, no bus at all.
TEST(SessionBus, CallsGetRepliesAndErrorsFromARealBus) {
    if (!std::filesystem::exists("/usr/bin/dbus-daemon"))
        GTEST_SKIP() << "dbus-daemon is installed by scripts/setup.sh";
    IsolatedUser user;
    auto startBus = [](QProcess& daemon, const QString& listen) {
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address", "--address=" + listen});
        EXPECT_TRUE(daemon.waitForStarted());
        EXPECT_TRUE(QTest::qWaitFor([&] { return daemon.canReadLine(); }, 10000));
        return daemon.readLine().trimmed().toStdString();
    };
    const BusCall getId{"org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId", "", {}};
    BusCall missing{"org.example.Missing", "/org/example", "org.example.Missing", "Nothing", "s", {}};
    missing.arguments.String("anything");

    QProcess abstract, escaped;
    const std::string abstractAddress =
        startBus(abstract, "unix:abstract=/tmp/vellora-bus-" + QString::number(QCoreApplication::applicationPid()));
    const std::string escapedAddress = startBus(escaped, "unix:path=" + QString::fromStdString(user.Root()) + "/my%20bus");
    EXPECT_NE(escapedAddress.find("%20"), std::string::npos) << escapedAddress;
    for (const std::string& address : {abstractAddress, escapedAddress, "tcp:host=localhost;" + abstractAddress}) {
        EXPECT_TRUE(CallOnBus(address, getId, 2000)) << address;
        EXPECT_FALSE(CallOnBus(address, missing, 2000)) << address;
    }
    for (const std::string& nowhere : {std::string(), "unix:path=" + user.Root() + "/none", std::string("tcp:host=x")})
        EXPECT_FALSE(CallOnBus(nowhere, getId, 2000)) << nowhere;
    for (QProcess* daemon : {&abstract, &escaped}) {
        daemon->terminate();
        daemon->waitForFinished();
    }
}

TEST_F(RunnerRun, ARuntimeFolderThatCannotBeUsedIsExplainedAndNeverNoise) {
    const std::string saved = std::getenv("XDG_RUNTIME_DIR");
    // Unset, as under cron: a private folder of our own, and no complaint.
    unsetenv("XDG_RUNTIME_DIR");
    auto quiet = testsupport::RunProgram(GORVEX_PROGRAM, {job});
    EXPECT_EQ(quiet.exitCode, 0) << quiet.err;
    EXPECT_EQ(quiet.err.find("XDG_RUNTIME_DIR"), std::string::npos) << quiet.err;
    EXPECT_EQ(quiet.out.find("XDG_RUNTIME_DIR"), std::string::npos) << quiet.out;
    const struct {
        std::string runtime;
        const char* why;
    } cases[] = {{user.Root() + "/run-is-a-file", "it is not a folder"},
                 {user.Root() + "/run-is-a-file/below", "Not a directory"},
                 {user.Root() + "/shared-run", "others may write to it"}};
    testsupport::WriteFile(user.Root() + "/run-is-a-file", "");
    std::filesystem::create_directories(user.Root() + "/shared-run");
    std::filesystem::permissions(user.Root() + "/shared-run", std::filesystem::perms::all);
    for (const auto& c : cases) {
        setenv("XDG_RUNTIME_DIR", c.runtime.c_str(), 1);
        auto refused = testsupport::RunProgram(GORVEX_PROGRAM, {job});
        EXPECT_EQ(refused.exitCode, 2) << c.runtime;
        EXPECT_EQ(refused.err, "gorvex: the runtime folder " + c.runtime + " cannot be used: " + c.why + "\n");
    }
    setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

TEST(Skin, UnknownValuesBecomeTheDefaultLook) {
    IsolatedUser user;
    const char* key = "Software\\Vellora Ltd.\\Vellora\\Vellora\\Settings";
    struct Case {
        int stored;  // -1: missing
        int applied;
    } cases[] = {{-1, 2}, {7, 2}, {0, 2}, {1, 1}, {3, 3}};
    for (const auto& c : cases) {
        if (c.stored >= 0)
            platform::registry::SetValue(platform::registry::Hive::CurrentUser, key, "Skin",
                                         platform::RegValue::DWord(static_cast<uint32_t>(c.stored)));
        EXPECT_EQ(desktop::ApplySkin(), c.applied) << c.stored;
        platform::RegValue value;
        ASSERT_EQ(platform::registry::QueryValue(platform::registry::Hive::CurrentUser, key, "Skin", value), 0);
        EXPECT_EQ(value, platform::RegValue::DWord(static_cast<uint32_t>(c.applied))) << c.stored;
    }
}

TEST_F(RunnerRun, CommandsAndCloseAfterRun) {
    const jobmodel::CSettingsRegistry settings(jobmodel::ChooseSettingsRoot());
    settings.SetCloseBackupWindows(1);
    jobmodel::CAppDoc doc(jobmodel::DocHost::Runner);
    ASSERT_TRUE(doc.OnOpenDocument(job));
    RunnerWindow window(doc, settings);
    window.show();
    EXPECT_EQ(window.ToolbarTexts(),
              (QStringList{"Edit Job", "Restore", "Explore", "", "View Log", "", "About", "", "Abort"}));
    EXPECT_EQ(window.m_editJob->statusTip(), "Edit this backup job");
    EXPECT_TRUE(window.m_editJob->isEnabled());
    EXPECT_TRUE(window.m_explore->isEnabled());
    EXPECT_TRUE(window.m_abort->isEnabled());
    EXPECT_FALSE(window.m_restore->isEnabled());
    for (QAction* a : {window.m_editJob, window.m_restore, window.m_explore, window.m_viewLog, window.m_about,
                       window.m_abort})
        EXPECT_FALSE(a->icon().isNull()) << a->iconText().toStdString();
    window.StartBackup();
    // Edit Job, Explore and Abort stay enabled throughout; Restore joins them.
    for (QAction* a : {window.m_editJob, window.m_explore, window.m_abort, window.m_restore})
        EXPECT_TRUE(a->isEnabled()) << a->iconText().toStdString();
    QApplication::processEvents();
    EXPECT_FALSE(window.isVisible());  // "Close Backup Windows" closed it after the run
}

TEST_F(RunnerRun, CommandsThatCannotStartSayWhyInBoxesCaptionedVellora) {
    jobmodel::CAppDoc doc(jobmodel::DocHost::Runner);
    ASSERT_TRUE(doc.OnOpenDocument(job));
    const jobmodel::CSettingsRegistry settings(jobmodel::ChooseSettingsRoot());
    RunnerWindow window(doc, settings);
    // No editor beside the test program, no backup folder, and no log (as
    // when it was removed after the run).
    window.m_editJob->trigger();
    window.m_explore->trigger();
    window.m_viewLog->setEnabled(true);
    window.m_viewLog->trigger();
    const std::vector<std::string> expected = {"Error Starting Application - vellora\n\nNo such file or directory",
                                               "Error Exploring Folder - No such file or directory\n\n",
                                               "Error Starting Application - xdg-open\n\nNo such file or directory"};
    EXPECT_EQ(messages.Texts(), expected);
    for (const auto& shown : messages.Messages()) EXPECT_EQ(shown.caption, "Vellora") << shown.text;
}

TEST_F(RunnerRun, SilentModeKeepsTheWindowOutOfSightUntilAMessage) {
    // Without a system tray (as here) a hidden window could not be reached
    // again: silent mode keeps it minimised instead.
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    const jobmodel::CSettingsRegistry settings(jobmodel::ChooseSettingsRoot());
    settings.SetHideBackupWindows(1);
    jobmodel::CAppDoc doc(jobmodel::DocHost::Runner);
    ASSERT_TRUE(doc.OnOpenDocument(job));
    RunnerWindow window(doc, settings);
    window.ShowUnlessSilent();
    EXPECT_TRUE(window.isMinimized());
    // Suppressible messages stay away when errors are hidden as well.
    settings.SetHideErrorMessages(1);
    EXPECT_EQ(window.Engine().ShowRunMessage(true, "hidden", platform::MB_OK), 0);
    EXPECT_TRUE(window.isMinimized());
    EXPECT_TRUE(messages.Texts().empty());
    window.Engine().ShowRunMessage(false, "Cannot Delete the backup file", platform::MB_RETRYCANCEL);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Cannot Delete the backup file"});
    window.showMinimized();
    QApplication::processEvents();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isMinimized());
}

namespace {

// Watches the window while the run goes on.
class WatchedWindow : public RunnerWindow {
public:
    using RunnerWindow::RunnerWindow;
    std::function<void(const std::string&)> onStatus;
    std::vector<std::pair<std::string, int>> statusesWithIcon;
    void SetStatus(const std::string& text, int colour, bool bold) override {
        RunnerWindow::SetStatus(text, colour, bold);
        statusesWithIcon.emplace_back(text, Tray().IconId());
        if (onStatus) onStatus(text);
    }
};

}  // namespace

TEST_F(RunnerRun, TrayAndStatusWhileTheRunGoesOn) {
    std::filesystem::create_directories(data + "/also");
    jobmodel::CAppDoc doc(jobmodel::DocHost::Runner);
    ASSERT_TRUE(doc.OnOpenDocument(job));
    doc.m_BackupSettings.m_items.AddItem(user.Root() + "/gone", jobmodel::kStateFile, 32);
    const jobmodel::CSettingsRegistry settings(jobmodel::ChooseSettingsRoot());
    WatchedWindow window(doc, settings);
    window.show();
    window.StartBackup();
    ASSERT_FALSE(window.statusesWithIcon.empty());
    EXPECT_EQ(window.statusesWithIcon.front(), std::make_pair(std::string("Preprocessing..."), int(kIconRunning)));
    // The missing item's warning turns the icon as soon as it is recorded.
    EXPECT_NE(std::find(window.statusesWithIcon.begin(), window.statusesWithIcon.end(),
                        std::make_pair(std::string("Preprocessing backup files..."), int(kIconError))),
              window.statusesWithIcon.end());
    EXPECT_EQ(window.View()->m_status->FullText(), "Backup COMPLETED, Some FILE WARNINGS Occurred !!!");
    EXPECT_EQ(window.View()->m_status->TextColour(), QColor(0, 0, 180));
    EXPECT_EQ(window.Tray().IconId(), kIconError);
    EXPECT_EQ(window.Tray().ToolTip(), "Daily.vlj: Backup Finished, ERROR !!!");
    EXPECT_TRUE(window.isVisible());  // no closing rule applies
}

TEST_F(RunnerRun, ClosingDuringTheRunAbortsItAndClosesAfterwards) {
    jobmodel::CAppDoc doc(jobmodel::DocHost::Runner);
    ASSERT_TRUE(doc.OnOpenDocument(job));
    const jobmodel::CSettingsRegistry settings(jobmodel::ChooseSettingsRoot());
    WatchedWindow window(doc, settings);
    window.show();
    window.onStatus = [&](const std::string& text) {
        if (text == "Generating backup file list...") window.close();
    };
    window.StartBackup();
    EXPECT_TRUE(messages.Texts().empty());  // between operations there is nothing to confirm
    EXPECT_EQ(window.View()->m_status->FullText(), "Backup ABORTED !!!");
    QApplication::processEvents();
    EXPECT_FALSE(window.isVisible());
}

// Help Topics opens the pages beside the program: every link between them
// must lead to a page that is there, and every page must be reachable.
TEST(HelpPages, EveryLinkLeadsToAPageAndEveryPageIsLinked) {
    namespace fs = std::filesystem;
    const fs::path help = fs::path(GORVEX_PROGRAM).parent_path() / "help";
    ASSERT_TRUE(fs::exists(help / "index.html"));
    std::set<fs::path> pages, linked{fs::canonical(help / "index.html")};
    const std::regex link("(?:href|src)=\"([^\"#:]+)\"");
    for (const auto& e : fs::recursive_directory_iterator(help)) {
        const std::string ext = e.path().extension().string();
        if (ext != ".htm" && ext != ".html") continue;
        pages.insert(fs::canonical(e.path()));
        const std::string text = testsupport::ReadFile(e.path().string());
        for (std::sregex_iterator m(text.begin(), text.end(), link), end; m != end; ++m) {
            const fs::path target = e.path().parent_path() / (*m)[1].str();
            EXPECT_TRUE(fs::exists(target)) << e.path() << " links to " << (*m)[1].str();
            if (fs::exists(target)) linked.insert(fs::canonical(target));
        }
    }
    for (const auto& page : pages) EXPECT_TRUE(linked.count(page)) << page << " is linked from no page";
    EXPECT_GT(pages.size(), 1u);
}
