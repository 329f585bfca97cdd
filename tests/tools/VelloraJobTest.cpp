#include "jobmodel/AppDoc.h"
#include "jobmodel/SettingsRegistry.h"
#include "platform/MessageService.h"
#include "tests/support/IsolatedUser.h"
#include "tests/support/Process.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <filesystem>

using testsupport::IsolatedUser;

namespace {

testsupport::ProcessResult VelloraJob(const QStringList& args) {
    std::vector<std::string> list;
    for (const auto& a : args) list.push_back(a.toStdString());
    return testsupport::RunProgram(VELLORA_JOB_TOOL, list);
}

QJsonObject Show(const std::string& job) {
    testsupport::ProcessResult run = VelloraJob({"show", QString::fromStdString(job)});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
}

class VelloraJobTool : public ::testing::Test {
protected:
    IsolatedUser user;
    std::string job;
    void SetUp() override { job = user.Root() + "/Daily.vlj"; }
};

}  // namespace

TEST_F(VelloraJobTool, NewWritesTheEditorsDefaultJob) {
    ASSERT_EQ(VelloraJob({"new", QString::fromStdString(job)}).exitCode, 0);
    jobmodel::CAppDoc expected(jobmodel::DocHost::Editor);
    expected.OnNewDocument();
    const std::string reference = user.Root() + "/reference.vlj";
    ASSERT_TRUE(expected.OnSaveDocument(reference));
    EXPECT_EQ(testsupport::ReadFile(job), testsupport::ReadFile(reference));

    const QJsonObject shown = Show(job);
    const QStringList keys = shown.keys();
    EXPECT_EQ(shown["m_nFileVersion"].toInt(), 220);
    EXPECT_EQ(shown["m_strJobFile"].toString().toStdString(), job);
    EXPECT_EQ(shown["m_nDocKind"].toInt(), 2);
    EXPECT_EQ(shown["m_strBackupFile"].toString().toStdString(), user.Documents() + "/My Backups/Backup.velarc");
    EXPECT_EQ(shown["m_strFileTypes"].toString(), "*");
    EXPECT_EQ(shown["m_nCompressionLevel"].toInt(), 6);
    EXPECT_EQ(shown["m_nNonEmptyDiskAction"].toInt(), 1);
    EXPECT_EQ(shown["m_strPurgeDays"].toString(), "30");
    EXPECT_EQ(shown["m_strVolumeName"].toString(), "");
    EXPECT_EQ(shown["m_bEmailLog"].toInt(), 0);
    EXPECT_EQ(shown["m_bLogErrors"].toInt(), 1);
    EXPECT_TRUE(shown["m_items"].toArray().isEmpty());
    EXPECT_EQ(keys.size(), 3 + 31 + 1);

    EXPECT_EQ(VelloraJob({"new", QString::fromStdString(job)}).exitCode, 1);  // never overwrites
}

TEST_F(VelloraJobTool, SetChangesFieldsThroughTheNormalSave) {
    ASSERT_EQ(VelloraJob({"new", QString::fromStdString(job)}).exitCode, 0);
    testsupport::ProcessResult run = VelloraJob({"set", QString::fromStdString(job), "m_nCompressionLevel=9", "m_strPassword=p\xc3\xa9",
                          "m_bUsePassword=1", "m_strDescription=two words", "m_strTaskName=T.job",
                          "m_bUseVolumeName=1", "m_strVolumeName=OFFSITE"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonObject shown = Show(job);
    EXPECT_EQ(shown["m_nCompressionLevel"].toInt(), 9);
    EXPECT_EQ(shown["m_nCompressionIndex"].toInt(), 3);
    EXPECT_EQ(shown["m_strPassword"].toString(), QString::fromUtf8("p\xc3\xa9"));
    EXPECT_EQ(shown["m_strDescription"].toString(), "two words");
    EXPECT_EQ(shown["m_strTaskName"].toString(), "");  // scheduling is off
    EXPECT_EQ(shown["m_strVolumeName"].toString(), "OFFSITE");
}

TEST_F(VelloraJobTool, AddAppendsUniqueItemsWithTheirAttributes) {
    ASSERT_EQ(VelloraJob({"new", QString::fromStdString(job)}).exitCode, 0);
    const std::string folder = user.Root() + "/data";
    testsupport::WriteFile(folder + "/a.txt", "a");
    ASSERT_EQ(VelloraJob({"add", QString::fromStdString(job), "6", QString::fromStdString(folder),
                          QString::fromStdString(folder + "/a.txt")})
                  .exitCode,
              0);
    ASSERT_EQ(VelloraJob({"add", QString::fromStdString(job), "5", QString::fromStdString(folder + "/")}).exitCode, 0);
    const QJsonArray items = Show(job)["m_items"].toArray();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].toObject()["m_nState"].toInt(), 6);
    EXPECT_EQ(items[0].toObject()["m_strPath"].toString().toStdString(), folder);
    EXPECT_EQ(items[0].toObject()["m_dwAttributes"].toInt(), 16);
    EXPECT_EQ(items[1].toObject()["m_dwAttributes"].toInt(), 32);
}

TEST_F(VelloraJobTool, ExitStatusesAndNothingWrittenOnFailure) {
    ASSERT_EQ(VelloraJob({"new", QString::fromStdString(job)}).exitCode, 0);
    const std::string before = testsupport::ReadFile(job);
    struct Case {
        QStringList args;
        int exitCode;
    } cases[] = {
        {{}, 2},
        {{"show"}, 2},
        {{"frobnicate", "x.vlj"}, 2},
        {{"set", QString::fromStdString(job)}, 2},
        {{"set", QString::fromStdString(job), "m_nNoSuchField=1"}, 2},
        {{"set", QString::fromStdString(job), "m_bVerify=yes"}, 2},
        {{"set", QString::fromStdString(job), "m_bVerify"}, 2},
        {{"add", QString::fromStdString(job), "x", "/"}, 2},
        {{"add", QString::fromStdString(job), "6", QString::fromStdString(user.Root() + "/missing")}, 1},
        {{"show", QString::fromStdString(user.Root() + "/missing.vlj")}, 1},
        {{"show", QString::fromStdString(user.Root() + "/Backup.velarc")}, 1},
        {{"new", QString::fromStdString(user.Root() + "/job.txt")}, 1},
    };
    for (const auto& c : cases) {
        testsupport::ProcessResult run = VelloraJob(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_FALSE(run.err.empty()) << c.args.join(' ').toStdString();
    }
    EXPECT_EQ(testsupport::ReadFile(job), before);

    const std::string damaged = before.substr(0, before.size() / 2);
    testsupport::WriteFile(job, damaged);
    testsupport::ProcessResult run = VelloraJob({"set", QString::fromStdString(job), "m_bVerify=0"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Unexpected file format"), std::string::npos) << run.err;
    EXPECT_EQ(testsupport::ReadFile(job), damaged);
}

TEST_F(VelloraJobTool, RegisterProgramsWritesBothAppPathsAndKeepsOtherMachineSettings) {
    user.WriteHive("machine.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Vellora Ltd.\\Vellora\\General]\n"
                                  "\"Log Folder\"=\"/srv/logs\"\n");
    const auto run = VelloraJob({"register-programs", "/opt/vellora/bin"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(jobmodel::GetEditorPath(false), "/opt/vellora/bin/vellora");
    EXPECT_EQ(jobmodel::GetRunnerPath(false), "/opt/vellora/bin/gorvex");
    EXPECT_EQ(jobmodel::GetRunnerFolder(), "/opt/vellora/bin");
    EXPECT_NE(user.ReadHive("machine.reg").find("\"Log Folder\"=\"/srv/logs\""), std::string::npos);
    // A hive that cannot be written is reported, and left as it was.
    std::filesystem::permissions(user.RegistryDir() + "/machine.reg", std::filesystem::perms::owner_read);
    const std::string before = user.ReadHive("machine.reg");
    const auto refused = VelloraJob({"register-programs", "/usr/bin"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("vellora-job: the programs cannot be registered: "), std::string::npos) << refused.err;
    EXPECT_EQ(user.ReadHive("machine.reg"), before);
}
