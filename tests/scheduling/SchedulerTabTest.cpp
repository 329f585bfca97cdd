#include "scheduling/ScheduleDialog.h"
#include "scheduling/SchedulerTab.h"

#include "platform/FileSystem.h"
#include "tests/support/InstalledMessages.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

using namespace scheduling;
namespace fs = std::filesystem;

namespace {

class SchedulerTabTest : public ::testing::Test {
protected:
    testsupport::IsolatedUser user;
    testsupport::InstalledMessages messages;
    std::string table, job;
    CSchedulerTask task;
    CScheduleHooks hooks{task};
    jobmodel::CAppDoc doc{jobmodel::DocHost::Editor};

    void SetUp() override {
        setenv("LC_ALL", "C", 1);
        table = user.Root() + "/crontab";
        const std::string program = user.Root() + "/crontab.sh";
        testsupport::WriteFile(program, "#!/bin/sh\nt='" + table +
                                            "'\nif [ \"$1\" = -l ]; then [ -e \"$t\" ] || { echo 'no crontab for ann' "
                                            ">&2; exit 1; }; cat \"$t\"; else cat > \"$t\"; fi\n");
        ::chmod(program.c_str(), 0755);
        setenv("VELLORA_CRONTAB", program.c_str(), 1);
        job = user.Root() + "/Jobs/Daily.vlj";
        fs::create_directories(user.Root() + "/Jobs");
        doc.SetScheduleHooks(&hooks);
        doc.OnNewDocument();
        hooks.m_saveJob = [this] { return Save(); };
        hooks.m_jobPath = [this] { return doc.GetPathName(); };
    }
    void TearDown() override {
        unsetenv("VELLORA_CRONTAB");
        unsetenv("LC_ALL");
    }
    bool Save() { return doc.OnSaveDocument(job) && doc.OnOpenDocument(job); }
    std::string Crontab() const { return fs::exists(table) ? testsupport::ReadFile(table) : ""; }
    std::unique_ptr<CSchedulerTab> Tab() {
        auto tab = std::make_unique<CSchedulerTab>(doc, task, hooks, [] {}, [this] { return Save(); });
        tab->resize(560, 420);
        return tab;
    }
};

TEST_F(SchedulerTabTest, AJobGetsItsTaskTriggersAndStatus) {
    auto tab = Tab();
    tab->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tab.get()));
    EXPECT_FALSE(tab->m_modify->isEnabled());
    // Never saved: No leaves scheduling off.
    messages.Answer(platform::IDNO);
    tab->m_enable->click();
    EXPECT_FALSE(tab->m_enable->isChecked());
    EXPECT_EQ(messages.Texts().back(),
              "This Job must be saved before a schedule\ncan be created for it!\n\nDo you wish to save it now?");
    // Yes saves it and makes its task.
    messages.Answer(platform::IDYES);
    tab->m_enable->click();
    ASSERT_TRUE(tab->m_enable->isChecked());
    EXPECT_EQ(doc.m_ScheduleSettings.m_strTaskName, "Daily.vlj.job");
    EXPECT_TRUE(fs::exists(CSchedulerTask::GetTasksFolder() + "/Daily.vlj.job"));
    EXPECT_EQ(tab->m_status->text(), "No triggers set !");
    EXPECT_EQ(tab->m_last->text(), "Never");
    EXPECT_TRUE(tab->m_modify->isEnabled());

    tab->m_exec = [](QDialog& dialog) {
        auto* schedule = dynamic_cast<CScheduleDialog*>(&dialog);
        if (!schedule) return int(QDialog::Rejected);
        EXPECT_EQ(schedule->m_pages->tabText(schedule->m_pages->currentIndex()), "Schedule");
        schedule->m_new->click();
        schedule->m_kind->setCurrentIndex(Trigger::kWeekly);
        schedule->m_time->setTime(QTime(18, 0));
        schedule->m_days[1]->setChecked(true);
        schedule->m_days[5]->setChecked(true);
        schedule->show();
        fs::create_directories(SCREENSHOT_DIR);
        EXPECT_TRUE(schedule->grab().save(SCREENSHOT_DIR "/modify-schedules.png"));
        return int(QDialog::Accepted);
    };
    tab->m_modify->click();
    ASSERT_EQ(tab->m_triggers->count(), 1);
    EXPECT_TRUE(tab->m_triggers->item(0)->text().startsWith("At 18:00 every Mon, Fri of every week, starting "));
    EXPECT_EQ(tab->m_status->text(), "Has not run !");
    EXPECT_EQ(tab->m_status->palette().color(QPalette::WindowText), QColor(0, 0, 180));
    EXPECT_NE(tab->m_next->text(), "Never");
    EXPECT_NE(Crontab().find("0 18 * * 1,5 "), std::string::npos) << Crontab();
    fs::create_directories(SCREENSHOT_DIR);
    EXPECT_TRUE(tab->grab().save(SCREENSHOT_DIR "/scheduler-tab.png"));

    tab->m_active->click();
    EXPECT_EQ(tab->m_status->text(), "Disabled !");
    EXPECT_EQ(tab->m_status->palette().color(QPalette::WindowText), QColor(180, 0, 0));
    EXPECT_TRUE(tab->m_status->font().bold());
    EXPECT_EQ(Crontab(), "");
    tab->m_active->click();
    EXPECT_NE(Crontab().find("# vellora-task Daily.vlj.job"), std::string::npos);

    // Renamed: ".Job" added, the file and its lines go with it.
    tab->m_exec = [](QDialog& dialog) {
        auto* rename = dynamic_cast<CdlgRenameTask*>(&dialog);
        if (!rename) return int(QDialog::Rejected);
        rename->m_name->setText("Nightly");
        rename->accept();
        return rename->result();
    };
    messages.Answer(platform::IDYES);
    tab->m_rename->click();
    EXPECT_EQ(doc.m_ScheduleSettings.m_strTaskName, "Nightly.Job");
    EXPECT_TRUE(fs::exists(CSchedulerTask::GetTasksFolder() + "/Nightly.Job"));
    EXPECT_FALSE(fs::exists(CSchedulerTask::GetTasksFolder() + "/Daily.vlj.job"));
    EXPECT_NE(Crontab().find("# vellora-task Nightly.Job"), std::string::npos) << Crontab();
    EXPECT_EQ(Crontab().find("Daily.vlj.job"), std::string::npos) << Crontab();
    EXPECT_EQ(tab->m_triggers->count(), 1);

    // Saved with scheduling off, the task goes.
    tab->m_enable->click();
    tab->SaveToJob();
    ASSERT_TRUE(Save());
    EXPECT_FALSE(fs::exists(CSchedulerTask::GetTasksFolder() + "/Nightly.Job"));
    EXPECT_EQ(Crontab(), "");
}

TEST_F(SchedulerTabTest, ATakenDefaultNameAsksForAnother) {
    ASSERT_TRUE(Save());
    testsupport::WriteFile(CSchedulerTask::GetTasksFolder() + "/Daily.vlj.job", "someone else's");
    QString prompt;
    auto tab = Tab();
    tab->m_exec = [&](QDialog& dialog) {
        auto* rename = dynamic_cast<CdlgRenameTask*>(&dialog);
        if (!rename) return int(QDialog::Rejected);
        prompt = rename->m_prompt->text();
        rename->m_name->setText("bad:name");
        rename->accept();
        EXPECT_EQ(rename->result(), 0);  // refused, with its message
        rename->m_name->setText("Second.JOB");
        rename->accept();
        return rename->result();
    };
    tab->m_enable->click();
    EXPECT_EQ(prompt, "The default Scheduler Job Name already exists,\nPlease enter a new name");
    const auto texts = messages.Texts();
    EXPECT_NE(std::find_if(texts.begin(), texts.end(),
                           [](const std::string& t) {
                               return t.rfind("There are invalid characters in the Job Name 'bad:name'", 0) == 0;
                           }),
              texts.end());
    EXPECT_EQ(doc.m_ScheduleSettings.m_strTaskName, "Second.JOB");
    EXPECT_EQ(testsupport::ReadFile(CSchedulerTask::GetTasksFolder() + "/Daily.vlj.job"), "someone else's");
}

}  // namespace
