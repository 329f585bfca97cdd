#include "engine/BackupEngine.h"

#include "platform/FileSystem.h"
#include "platform/Volumes.h"
#include "tests/support/InstalledMessages.h"
#include "tests/support/IsolatedUser.h"
#include "tests/support/Process.h"

#include <gtest/gtest.h>

#include <map>

#include <cstdlib>
#include <filesystem>

using namespace engine;
using testsupport::WriteFile;

namespace {


class RemovableMedia : public ::testing::Test {
protected:
    testsupport::IsolatedUser user;
    testsupport::InstalledMessages messages;
    CNullRunView view;
    std::string usb, media, data;

    void SetUp() override {
        usb = user.Root() + "/media/usb";
        media = user.Root() + "/media.txt";
        data = user.Root() + "/data";
        std::filesystem::create_directories(usb);
        WriteFile(data + "/a.txt", "a");
        Declare("OTHER");
        setenv("VELLORA_MEDIA", media.c_str(), 1);
        jobmodel::CSettingsRegistry(jobmodel::Hive::CurrentUser).SetLogFolder(user.Root());
    }
    void TearDown() override { unsetenv("VELLORA_MEDIA"); }
    // A job that spans disks, stores files as they are and writes to the drive.
    jobmodel::CAppDoc SpanningJob(int nonEmptyAction = jobmodel::kAppendFiles) {
        jobmodel::CAppDoc doc(jobmodel::DocHost::Runner);
        doc.OnNewDocument();
        doc.m_BackupSettings.m_strBackupFile = usb + "/Backups/Daily.velarc";
        doc.m_BackupSettings.m_items.AddItem(data, jobmodel::kStateFolderTree, 16);
        doc.m_JobOptions.m_nDiskSpanning = jobmodel::kSpanAlways;
        doc.m_JobOptions.m_nNonEmptyDiskAction = nonEmptyAction;
        doc.m_JobOptions.m_nCompressionLevel = 0;
        doc.m_JobOptions.m_nCompressionIndex = 0;
        doc.m_JobOptions.m_bVerify = 0;
        doc.OnSaveDocument(user.Root() + "/Daily.vlj");
        return doc;
    }
    void Declare(const std::string& label) { WriteFile(media, usb + "\tremovable\tvfat\t" + label + "\n"); }
    std::string Label() {
        std::string label;
        EXPECT_EQ(platform::GetVolumeLabel(usb, label), 0);
        return label;
    }
    std::string Run(bool withMissingItem = false) {
        jobmodel::CAppDoc doc(jobmodel::DocHost::Runner);
        doc.OnNewDocument();
        doc.m_BackupSettings.m_strBackupFile = usb + "/Backups/Daily.velarc";
        doc.m_BackupSettings.m_items.AddItem(data, jobmodel::kStateFolderTree, 16);
        if (withMissingItem) doc.m_BackupSettings.m_items.AddItem(user.Root() + "/gone", jobmodel::kStateFile, 32);
        doc.m_JobOptions.m_bUseVolumeName = 1;
        doc.m_JobOptions.m_strVolumeName = "BACKUP";
        doc.m_JobOptions.m_bVerify = 0;
        doc.OnSaveDocument(user.Root() + "/Daily.vlj");
        const jobmodel::CSettingsRegistry settings(jobmodel::Hive::CurrentUser);
        CBackupEngine run(doc, settings, view);
        run.RunBackup();
        return run.FinalStatus();
    }
};

}  // namespace

TEST(VolumeNames, NineCharactersTrailingSpacesAndCase) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {{"BACKUPDISK1", "backupdisk", true}, {"BACKUP   01", "BACKUP", true}, {"BACKUP", "backup  ", true},
                 {"BACKUP", "BACKUPS", false},         {"", "", true},                  {"A", "", false}};
    for (const auto& c : cases) EXPECT_EQ(CBackupEngine::SameVolumeName(c.a, c.b), c.same) << c.a << "|" << c.b;
}

TEST(Volumes, TheRootFileSystemIsAFixedDrive) {
    platform::VolumeInfo info;
    ASSERT_EQ(platform::GetVolumeInfo("/", info), 0);
    EXPECT_EQ(info.root, "/");
    EXPECT_NE(info.type, platform::DriveType::Removable);
    EXPECT_FALSE(info.fileSystem.empty());
}

TEST_F(RemovableMedia, IgnoreLabelsTheDiskAndACleanRunKeepsTheLabel) {
    messages.Answer(platform::IDIGNORE);
    EXPECT_EQ(Run(), "Backup Completed Successfully.");
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0],
              "The Volume Name ' OTHER ' currently in drive " + usb +
                  "\ndoes not match the Volume Name ' BACKUP ' required for this backup !\n\n- Insert the backup disk "
                  "with the volume name ' BACKUP '\n  and press Retry to continue.\n- Press Ignore to rename the "
                  "volume and use this disk.\n- Press Abort to Cancel.\n");
    EXPECT_EQ(Label(), "BACKUP   01");
    EXPECT_EQ(testsupport::RunProgram("unzip", {"-tq", usb + "/Backups/Daily.velarc"}).exitCode, 0);
}

TEST_F(RemovableMedia, ARunThatIsNotCleanPutsTheOldLabelBack) {
    messages.Answer(platform::IDIGNORE);
    EXPECT_EQ(Run(true), "Backup COMPLETED, Some FILE WARNINGS Occurred !!!");
    EXPECT_EQ(Label(), "OTHER");
}

TEST_F(RemovableMedia, MatchingDiskRunsWithoutQuestionsAndAbortEndsTheRun) {
    Declare("backup");
    EXPECT_EQ(Run(), "Backup Completed Successfully.");
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_EQ(Label(), "backup");

    Declare("OTHER");
    messages.Answer(platform::IDABORT);
    EXPECT_EQ(Run(), "Backup ABORTED !!!");
}

TEST_F(RemovableMedia, AMissingDiskIsNotAccessibleAndNothingLandsInTheMountPoint) {
    std::filesystem::remove_all(usb);
    messages.Answer(platform::IDRETRY);
    EXPECT_EQ(Run(), "Backup ABORTED !!!");
    ASSERT_EQ(messages.Texts().size(), 2u);
    EXPECT_EQ(messages.Texts()[0].rfind(usb + " is not accessible.\n", 0), 0u);
    EXPECT_FALSE(platform::PathExists(usb));
}

namespace {

// Swaps simulated disks when the run asks for one: the disk in the drive
// goes to a shelf with its label, and a blank disk (while writing) or the
// shelved one asked for (while verifying) takes its place.
class DiskSwapper : public platform::IMessageService {
public:
    DiskSwapper(std::string drive, std::string shelf, std::string media)
        : m_drive(std::move(drive)), m_shelf(std::move(shelf)), m_media(std::move(media)) {}
    int Show(const std::string& text, const std::string&, unsigned style) override {
        texts.push_back(text);
        if (text.rfind("Please Insert Disk No.", 0) == 0) {
            if (cancelDisks) return platform::IDCANCEL;
            std::string label;
            platform::GetVolumeLabel(m_drive, label);
            labels.push_back(label);
            TakeOut();
            // A blank disk goes in.
            ++m_inDrive;
            std::filesystem::create_directories(m_drive);
            std::string error;
            platform::SetVolumeLabel(m_drive, "", error);
            return platform::IDOK;
        }
        const std::string verify = "Backup File Verification:\nPlease Insert Disk No. ";
        if (text.rfind(verify, 0) == 0) {
            Insert(std::stoi(text.substr(verify.size())));
            return platform::IDOK;
        }
        if (text.rfind("The Volume Name", 0) == 0) return platform::IDIGNORE;
        return platform::SafeAnswer(style);
    }
    // Swaps the disk in the drive for one from the shelf, labels and all.
    void Insert(int disk) {
        TakeOut();
        std::filesystem::rename(Shelved(disk), m_drive);
        std::string error;
        platform::SetVolumeLabel(m_drive, m_labels[disk], error);
        m_inDrive = disk;
    }
    std::string Shelved(int disk) const { return m_shelf + "/disk" + std::to_string(disk); }
    std::vector<std::string> texts;
    std::vector<std::string> labels;  // of each disk taken out while writing
    bool cancelDisks = false;

private:
    void TakeOut() {
        platform::GetVolumeLabel(m_drive, m_labels[m_inDrive]);
        std::filesystem::rename(m_drive, Shelved(m_inDrive));
    }
    std::string m_drive, m_shelf, m_media;
    int m_inDrive = 1;
    std::map<int, std::string> m_labels;
};

}  // namespace

TEST_F(RemovableMedia, ABackupSpansThreeDisksAndRestoresFromThem) {
    std::string random(150000, '\0');
    for (size_t i = 0; i < random.size(); ++i) random[i] = static_cast<char>((i * 2654435761u) >> 13);
    WriteFile(data + "/big.bin", random);
    WriteFile(data + "/small.txt", "small");
    WriteFile(media, usb + "\tremovable\tvfat\t\t70000\n");  // a blank first disk
    const std::string shelf = user.Root() + "/shelf";
    std::filesystem::create_directories(shelf);
    DiskSwapper swapper(usb, shelf, media);
    platform::SetMessageService(&swapper);

    jobmodel::CAppDoc doc = SpanningJob();
    doc.m_JobOptions.m_bUseVolumeName = 1;
    doc.m_JobOptions.m_strVolumeName = "BACKUP";
    doc.m_JobOptions.m_bVerify = 1;
    const jobmodel::CSettingsRegistry settings(jobmodel::Hive::CurrentUser);
    CBackupEngine run(doc, settings, view);
    run.RunBackup();
    platform::SetMessageService(&messages);

    EXPECT_EQ(run.FinalStatus(), "Backup Completed Successfully.");
    // Verification asked for the first two disks back.
    EXPECT_NE(std::find(swapper.texts.begin(), swapper.texts.end(),
                        "Backup File Verification:\nPlease Insert Disk No. 1 into drive " + usb +
                            "\n\nPress OK to continue or Cancel to abort."),
              swapper.texts.end());
    EXPECT_EQ(swapper.labels, (std::vector<std::string>{"BACKUP   01", "BACKUP   02"}));
    swapper.Insert(3);
    EXPECT_EQ(Label(), "BACKUP   03");
    EXPECT_NE(std::find(swapper.texts.begin(), swapper.texts.end(),
                        "Please Insert Disk No. 2 into drive " + usb + "\n\nPress OK to continue or Cancel to abort."),
              swapper.texts.end());
    std::vector<std::string> summary = run.Log().Entries(logbook::kLogSummary);
    run.Log().AddSummaryLines(summary);
    EXPECT_EQ(summary.back().rfind("File Spans 3 Disks:\n", 0), 0u);
    // The statistics come from the last part's directory, whatever disk
    // verification left in the drive.
    EXPECT_TRUE(run.Log().Entries(logbook::kLogSystemError).empty());
    EXPECT_NE(summary.back().find("Folders & Files in Backup File:   \t 4\n"), std::string::npos) << summary.back();

    // A restore asks for each disk in turn; here the shelf hands them back.
    for (const char* part : {"/Backups/Daily.z01", "/Backups/Daily.z02"}) std::filesystem::remove(usb + part);
    struct ShelfEvents : zipcomponent::IXceedZipEvents {
        std::string shelf, drive;
        std::vector<int> asked;
        void DiskRequest(int disk, bool& goOn) override {
            asked.push_back(disk);
            const std::string name = "/Backups/Daily.z0" + std::to_string(disk);
            std::filesystem::copy_file(shelf + "/disk" + std::to_string(disk) + name, drive + name);
            goOn = true;
        }
    } shelfEvents;
    shelfEvents.shelf = shelf;
    shelfEvents.drive = usb;
    zipcomponent::CXceedZip restorer(&shelfEvents);
    restorer.m_strArchivePath = usb + "/Backups/Daily.velarc";
    restorer.m_strExtractFolder = user.Root() + "/from-disks";
    ASSERT_EQ(restorer.ExtractFiles(), zipcomponent::kResultSuccess);
    EXPECT_EQ(shelfEvents.asked, (std::vector<int>{1, 2}));
    EXPECT_EQ(testsupport::ReadFile(user.Root() + "/from-disks" + data + "/big.bin"), random);

    // The three parts side by side read as one backup.
    const std::string joined = user.Root() + "/joined";
    std::filesystem::create_directories(joined);
    std::filesystem::copy_file(shelf + "/disk1/Backups/Daily.z01", joined + "/Daily.z01");
    std::filesystem::copy_file(shelf + "/disk2/Backups/Daily.z02", joined + "/Daily.z02");
    std::filesystem::copy_file(usb + "/Backups/Daily.velarc", joined + "/Daily.velarc");
    zipcomponent::CXceedZip reader;
    reader.m_strArchivePath = joined + "/Daily.velarc";
    EXPECT_EQ(reader.TestArchive(true), zipcomponent::kResultSuccess);
    reader.m_strExtractFolder = user.Root() + "/restore";
    ASSERT_EQ(reader.ExtractFiles(), zipcomponent::kResultSuccess);
    EXPECT_EQ(testsupport::ReadFile(user.Root() + "/restore" + data + "/big.bin"), random);
    EXPECT_EQ(testsupport::ReadFile(user.Root() + "/restore" + data + "/small.txt"), "small");
}

TEST_F(RemovableMedia, CancelAtADiskPromptAbortsTheRun) {
    WriteFile(data + "/big.bin", std::string(150000, 'x'));
    WriteFile(media, usb + "\tremovable\tvfat\tBACKUP\t70000\n");
    DiskSwapper swapper(usb, user.Root(), media);
    swapper.cancelDisks = true;
    platform::SetMessageService(&swapper);
    jobmodel::CAppDoc doc = SpanningJob();
    doc.m_JobOptions.m_nDiskSpanning = jobmodel::kSpanEnable;
    const jobmodel::CSettingsRegistry settings(jobmodel::Hive::CurrentUser);
    CBackupEngine run(doc, settings, view);
    run.RunBackup();
    platform::SetMessageService(&messages);
    EXPECT_EQ(run.FinalStatus(), "Backup ABORTED !!!");
    const auto errors = run.Log().Entries(logbook::kLogSystemError);
    EXPECT_NE(std::find(errors.begin(), errors.end(), "The backup process was aborted while requesting a disk!!\n"),
              errors.end());
    // The first disk, still in the drive, keeps no part of the given-up backup.
    EXPECT_FALSE(platform::PathExists(usb + "/Backups/Daily.z01"));
}

// The rules hold for the first disk whether the backup needs more disks
// or fits on the one in the drive.
TEST_F(RemovableMedia, EachNonEmptyDiskRule) {
    struct Case {
        int action;
        const char* status;
        bool foreignKept;
    } cases[] = {
        {jobmodel::kEraseFiles, "Backup Completed Successfully.", false},
        {jobmodel::kAppendFiles, "Backup Completed Successfully.", true},
        {jobmodel::kAskForDisk, "Backup ABORTED !!!", true},  // the next disk is refused
        {jobmodel::kAbortBackup, "Backup ABORTED !!!", true},
    };
    for (const bool fits : {false, true}) {
        if (fits)
            std::filesystem::remove(data + "/big.bin");
        else
            WriteFile(data + "/big.bin", std::string(150000, 'y'));
        for (const auto& c : cases) {
            const std::string what = std::to_string(c.action) + (fits ? " on one disk" : " across disks");
            std::filesystem::remove_all(usb);
            std::filesystem::remove_all(user.Root() + "/shelf");
            std::filesystem::create_directories(user.Root() + "/shelf");
            WriteFile(usb + "/letter.doc", "someone else's file");
            WriteFile(media, usb + "\tremovable\tvfat\t\t70000\n");
            DiskSwapper swapper(usb, user.Root() + "/shelf", media);
            swapper.cancelDisks = c.action == jobmodel::kAskForDisk;
            platform::SetMessageService(&swapper);
            jobmodel::CAppDoc doc = SpanningJob(c.action);
            const jobmodel::CSettingsRegistry settings(jobmodel::Hive::CurrentUser);
            CBackupEngine run(doc, settings, view);
            run.RunBackup();
            platform::SetMessageService(&messages);
            EXPECT_EQ(run.FinalStatus(), c.status) << what;
            const bool kept = platform::PathExists(usb + "/letter.doc") ||
                              platform::PathExists(user.Root() + "/shelf/disk1/letter.doc");
            EXPECT_EQ(kept, c.foreignKept) << what;
            if (fits) {
                EXPECT_FALSE(std::filesystem::exists(user.Root() + "/shelf/disk1")) << what;
            }
            const bool written = platform::PathExists(usb + "/Backups/Daily.velarc");
            EXPECT_EQ(written, std::string(c.status) == "Backup Completed Successfully.") << what;
            if (c.action == jobmodel::kAbortBackup) {
                const auto errors = run.Log().Entries(logbook::kLogSystemError);
                ASSERT_FALSE(errors.empty());
                EXPECT_EQ(errors[0].rfind("The backup was aborted when a disk was inserted that was not empty !!", 0),
                          0u)
                    << what;
            }
        }
    }
}
