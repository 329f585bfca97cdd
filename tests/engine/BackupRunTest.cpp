#include "tests/engine/RunFixture.h"

#include "jobmodel/BackupIndexFile.h"

#include <random>

using namespace enginetest;

TEST_F(BackupRun, FirstBackupWritesZipLogAndIndex) {
    auto doc = NewJob({{6, data}});
    EXPECT_EQ(Run(doc), "Backup Completed Successfully.");
    EXPECT_TRUE(Tested());
    EXPECT_TRUE(Stored(data + "/letters/ann.txt"));
    EXPECT_TRUE(Stored(data + "/empty/"));
    EXPECT_EQ(view.finalColour, kColourBlue);
    EXPECT_FALSE(view.finalBold);
    EXPECT_TRUE(view.viewLogEnabled);
    EXPECT_FALSE(view.errorIndication);
    ASSERT_EQ(view.balloons.size(), 2u);
    EXPECT_EQ(view.balloons[0], std::make_pair(std::string("Backup starting"), std::string("Daily.vlj:  nightly")));
    EXPECT_EQ(view.balloons[1].first, "Backup Finished Successfully");
    const std::string log = LogText();
    EXPECT_TRUE(Has(log, "RESULT - Successful:"));
    EXPECT_TRUE(Has(log, "New Files Added:"));
    EXPECT_TRUE(Has(log, data + "/letters/bob.txt"));
    EXPECT_TRUE(Has(log, "Backup Completed Successfully."));
    jobmodel::CBackupIndexFile index(jobPath, backup);
    ASSERT_EQ(index.Load(), 1);
    EXPECT_EQ(index.m_list.front(), data);
    EXPECT_EQ(index.m_list.size(), 5u);
}

TEST_F(BackupRun, UpdateArchivesChangedAndDeletedFiles) {
    auto doc = NewJob({{6, data}});
    ASSERT_EQ(Run(doc), "Backup Completed Successfully.");
    WriteFile(data + "/letters/ann.txt", "Dear Ann, again\n");
    fs::remove(data + "/letters/bob.txt");
    WriteFile(data + "/letters/cid.txt", "Dear Cid,\n");
    ASSERT_EQ(Run(doc), "Backup Completed Successfully.");
    EXPECT_TRUE(Tested());
    EXPECT_FALSE(Stored(data + "/letters/bob.txt"));
    EXPECT_TRUE(Stored(data + "/letters/cid.txt"));

    std::vector<std::string> archives;
    for (const auto& e : fs::directory_iterator(user.Root() + "/backups"))
        if (Has(e.path().filename().string(), "Daily_Archived_")) archives.push_back(e.path().string());
    ASSERT_EQ(archives.size(), 1u);
    EXPECT_EQ(archives[0].substr(archives[0].size() - 7), ".velarc");
    const auto archived = Split(testsupport::RunProgram("unzip", {"-Z1", archives[0]}).out);
    EXPECT_EQ(archived, (std::vector<std::string>{(data + "/letters/ann.txt").substr(1),
                                                  (data + "/letters/bob.txt").substr(1)}));
    const auto old = testsupport::RunProgram("unzip", {"-p", archives[0], (data + "/letters/ann.txt").substr(1)});
    EXPECT_EQ(old.out, "Dear Ann,\n");
    const std::string log = LogText();
    EXPECT_TRUE(Has(log, "Files Removed:\n==============\n" + data + "/letters/bob.txt"));
    EXPECT_TRUE(Has(log, "The Archive Backup was successfully saved to " + archives[0]));
    jobmodel::CBackupIndexFile index(jobPath, archives[0]);
    ASSERT_EQ(index.Load(), 1);
    EXPECT_EQ(index.m_list, std::vector<std::string>{data + "/letters"});
}

TEST_F(BackupRun, FilterModesAndExcludedSubfolder) {
    auto doc = NewJob({{6, data}, {8, data + "/cache"}});
    doc.m_BackupSettings.m_nFileFilterMode = jobmodel::kFilterInclude;
    doc.m_BackupSettings.m_strFileTypes = "*.txt::*.md:";
    ASSERT_EQ(Run(doc), "Backup Completed Successfully.");
    EXPECT_TRUE(Stored(data + "/letters/ann.txt"));
    EXPECT_FALSE(Stored(data + "/notes.md"));  // after the empty pattern
    EXPECT_FALSE(Stored(data + "/cache/big/blob.bin"));
    EXPECT_TRUE(Has(LogText(), "Files Excluded:\n===============\n" + data + "/notes.md"));

    fs::remove(backup);
    doc.m_BackupSettings.m_nFileFilterMode = jobmodel::kFilterExclude;
    doc.m_BackupSettings.m_strFileTypes = "*.tmp:";
    doc.m_JobOptions.m_bArchiveOldVersions = 0;
    ASSERT_EQ(Run(doc), "Backup Completed Successfully.");
    EXPECT_FALSE(Stored(data + "/scratch.tmp"));
    EXPECT_TRUE(Stored(data + "/notes.md"));
    EXPECT_FALSE(Stored(data + "/cache/"));
    EXPECT_TRUE(Tested());
}

TEST_F(BackupRun, MissingOnlyItemEndsWithWarnings) {
    auto doc = NewJob({{6, user.Root() + "/gone"}});
    EXPECT_EQ(Run(doc), "Backup COMPLETED, Some FILE WARNINGS Occurred !!!");
    const std::string log = LogText();
    EXPECT_TRUE(Has(log, "The source item '" + user.Root() + "/gone' selected for backup does not exist."));
    EXPECT_TRUE(Has(log, "There were NO files selected to back up !!"));
    // No backup file was written, so its statistics are missing too.
    EXPECT_TRUE(Has(log, "Could not retrieve backup file statistics, the backup file does not exist!"));
    EXPECT_EQ(view.balloons.back().first, "Backup Finished with Errors!");
}

TEST_F(BackupRun, UnreadableFileIsAFileError) {
    auto doc = NewJob({{6, data}});
    const std::string victim = data + "/notes.md";
    // Gone between the listing and the reading: the file cannot be read.
    const std::string status = Run(doc, [&](CBackupEngine&) {
        view.onCurrentFile = [&](const std::string& path) {
            if (path == victim) fs::remove(victim);
        };
    });
    EXPECT_EQ(status, "Backup COMPLETED, Some FILE ERRORS Occurred !!!");
    EXPECT_EQ(view.finalColour, kColourRed);
    EXPECT_TRUE(view.finalBold);
    EXPECT_TRUE(view.errorIndication);
    const std::string log = LogText();
    EXPECT_TRUE(Has(log, victim + " : Error Code 16 - "));
    EXPECT_FALSE(Has(log, "New Files Added:\n================\n" + victim));
    EXPECT_TRUE(Tested());
}

TEST_F(BackupRun, AbortDuringWritingKeepsTheOldBackup) {
    auto doc = NewJob({{6, data}});
    ASSERT_EQ(Run(doc), "Backup Completed Successfully.");
    const std::string before = ReadFile(backup);
    std::string big(16 << 20, '\0');
    std::mt19937 rng(1);
    for (char& c : big) c = static_cast<char>(rng());
    WriteFile(data + "/big.bin", big);
    const std::string status = Run(doc, [&](CBackupEngine& run) {
        view.onStatus = [&](const std::string& text) {
            if (text == "Zipping Files...") run.RequestAbort();
        };
    });
    EXPECT_EQ(status, "Backup ABORTED !!!");
    EXPECT_EQ(ReadFile(backup), before);
    const std::string log = LogText();
    EXPECT_TRUE(Has(log, "The User Aborted the backup process !!"));
    EXPECT_TRUE(Has(log, "New Files Added:\n================\n(none)"));
}

TEST_F(BackupRun, PurgeTakesArchivesOlderThanThePurgeDays) {
    auto doc = NewJob({{6, data}});
    ASSERT_EQ(Run(doc), "Backup Completed Successfully.");
    const std::string old = user.Root() + "/backups/Daily_Archived_Jan 01 2026 10'00.velarc";
    WriteFile(old, "old archive");
    jobmodel::CBackupIndexFile(jobPath, old).Save();
    const auto created = std::chrono::system_clock::now();
    for (const auto& [days, kept] : {std::pair{30.9, true}, std::pair{31.0, false}}) {
        Run(doc, [&, days = days](CBackupEngine& run) {
            run.m_now = [&] {
                return created + std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                     std::chrono::duration<double>(days * 86400 + 2));
            };
        });
        EXPECT_EQ(platform::PathExists(old), kept) << days;
    }
    EXPECT_TRUE(platform::PathExists(user.TrashFiles() + "/Daily_Archived_Jan 01 2026 10'00.velarc"));
    EXPECT_FALSE(platform::PathExists(jobmodel::CBackupIndexFile(jobPath, old).GetPath()));
}

TEST_F(BackupRun, CorruptedBackupFailsVerification) {
    auto doc = NewJob({{6, data}});
    doc.m_JobOptions.m_nCompressionLevel = 0;  // stored, so the letter can be found and damaged
    const std::string status = Run(doc, [&](CBackupEngine&) {
        view.onStatus = [&](const std::string& text) {
            if (text != "Verifying Backup file...") return;
            std::string bytes = ReadFile(backup);
            const size_t at = bytes.find("Dear Ann");
            if (at != std::string::npos) bytes[at] = 'X';
            WriteFile(backup, bytes);
        };
    });
    EXPECT_EQ(status, "Backup UNSUCCESSFUL, File verification FAILED, the backup data may be CORRUPT !!");
    EXPECT_TRUE(Has(LogText(), "CRITICAL ERROR: The backup file verification FAILED, the file may be corrupt !!"));
}

TEST_F(BackupRun, UnwritableDestinationAsksAndFails) {
    WriteFile(user.Root() + "/blocker", "a file where a folder should be");
    auto doc = NewJob({{6, data}});
    backup = user.Root() + "/blocker/Daily.velarc";
    doc.m_BackupSettings.m_strBackupFile = backup;
    messages.Answer(platform::IDRETRY);
    EXPECT_EQ(Run(doc), "Backup FAILED !!!");
    ASSERT_EQ(messages.Texts().size(), 2u);
    EXPECT_TRUE(Has(messages.Texts()[0], "Error 503: Cannot Open or Create the backup file " + backup + "\n\n"));
    EXPECT_EQ(messages.Messages()[1].style, platform::MB_RETRYCANCEL | platform::MB_ICONEXCLAMATION);
    EXPECT_TRUE(Has(LogText(), "Error 503: The backup file could not be opened !!"));
}

TEST_F(BackupRun, DamagedBackupIsReplacedAndPasswordChangeIsSaved) {
    WriteFile(backup, "garbage that is not a zip");
    auto doc = NewJob({{6, data}});
    doc.m_JobOptions.m_bUsePassword = 1;
    doc.m_JobOptions.m_strPassword = "pw";
    doc.m_JobOptions.m_bPasswordChanged = 1;
    // The damaged file cannot be looked into for old versions; it is replaced.
    EXPECT_EQ(Run(doc), "Backup COMPLETED, Archive file versions FAILED !");
    EXPECT_TRUE(Has(LogText(), "Archive Operation Failed, could not read backup information"));
    EXPECT_EQ(testsupport::RunProgram("7z", {"t", "-ppw", backup}).exitCode, 0);
    EXPECT_TRUE(platform::PathExists(user.TrashFiles() + "/Daily.velarc"));
    jobmodel::CAppDoc saved(jobmodel::DocHost::Runner);
    ASSERT_TRUE(saved.OnOpenDocument(jobPath));
    EXPECT_EQ(saved.m_JobOptions.m_bPasswordChanged, 0);
}

TEST_F(BackupRun, CloseRulesFollowTheSettings) {
    const jobmodel::CSettingsRegistry settings(jobmodel::Hive::CurrentUser);
    struct Case {
        int closeWindows, closeIfSuccess;
        bool missingItem, expectClose;
    } cases[] = {{0, 0, false, false}, {1, 0, false, true}, {1, 1, false, true}, {1, 1, true, false},
                 {1, 0, true, true}};
    for (const auto& c : cases) {
        settings.SetCloseBackupWindows(c.closeWindows);
        settings.SetCloseIfSuccess(c.closeIfSuccess);
        auto doc = NewJob({{6, c.missingItem ? user.Root() + "/gone" : data}});
        doc.m_JobOptions.m_bVerify = 0;
        Run(doc);
        EXPECT_EQ(view.closeRequested, c.expectClose) << c.closeWindows << c.closeIfSuccess << c.missingItem;
    }
}

TEST_F(BackupRun, ABackupWithADamagedDirectoryIsReplaced) {
    auto doc = NewJob({{6, data}});
    ASSERT_EQ(Run(doc), "Backup Completed Successfully.");
    const std::string good = ReadFile(backup);
    const size_t end = good.rfind(std::string("PK\x05\x06", 4));
    const size_t first = good.find(std::string("PK\x01\x02", 4));
    const size_t last = good.rfind(std::string("PK\x01\x02", 4), end);
    ASSERT_NE(first, std::string::npos);
    // One byte of the first central header: signature, method, CRC, sizes,
    // name length, local offset, name; and of the last header's name.
    for (const size_t at : {first + 1, first + 10, first + 16, first + 20, first + 24, first + 28, first + 42,
                            first + 50, last + 48}) {
        for (const bool changed : {false, true}) {
            std::string damaged = good;
            damaged[at] = static_cast<char>(damaged[at] ^ 0x5a);
            WriteFile(backup, damaged);
            if (changed) WriteFile(data + "/letters/ann.txt", "Dear Ann, once more " + std::to_string(at) + "\n");
            const std::string status = Run(doc);
            EXPECT_TRUE(status == "Backup COMPLETED, Archive file versions FAILED !" ||
                        status == "Backup Completed Successfully.")
                << at << (changed ? " changed: " : ": ") << status;
            EXPECT_TRUE(Tested()) << at << (changed ? " changed: " : ": ") << status;
            EXPECT_TRUE(Stored(data + "/letters/ann.txt")) << at;
        }
    }
}
