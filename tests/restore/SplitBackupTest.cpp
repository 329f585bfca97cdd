#include "tests/restore/RestoreFixture.h"

#include <cstdlib>

using namespace restoretest;

namespace {

// A zip split into parts by Info-ZIP (.z01, .z02, ... and .zip), whose first
// part is on a shelf: a restore asks for it.
class SplitBackup : public RestoreRun {
protected:
    std::string drive, zipPath, shelf, media, random;

    void SetUp() override {
        RestoreRun::SetUp();
        random.resize(200000);
        for (size_t i = 0; i < random.size(); ++i) random[i] = static_cast<char>((i * 2654435761u) >> 13);
        WriteFile(data + "/big.bin", random);
        drive = user.Root() + "/media/usb";
        zipPath = drive + "/Split.zip";
        shelf = user.Root() + "/shelf";
        media = user.Root() + "/media.txt";
        fs::create_directories(drive);
        fs::create_directories(shelf);
        const auto made = testsupport::RunProgram(
            "sh", {"-c", "cd '" + data + "' && zip -q -0 -r -s 64k '" + zipPath + "' ."});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        ASSERT_TRUE(fs::exists(drive + "/Split.z01"));
        fs::rename(drive + "/Split.z01", shelf + "/Split.z01");
    }
    void TearDown() override {
        unsetenv("VELLORA_MEDIA");
        RestoreRun::TearDown();
    }
    void Removable() {
        WriteFile(media, drive + "\tremovable\tvfat\tBACKUP\n");
        setenv("VELLORA_MEDIA", media.c_str(), 1);
    }
    std::string RestoreAll() {
        jobmodel::CAppDoc doc(jobmodel::DocHost::Editor);
        EXPECT_TRUE(doc.OnOpenDocument(zipPath));
        auto page = Page(doc);
        page->Tree().Click(*page->Tree().Root());
        page->m_strDestination = user.Root() + "/out";
        return page->RunRestore();
    }
};

// Hands the shelved part back when asked, or refuses.
class DiskShelf : public platform::ScriptedMessageService {
public:
    std::string shelf, drive;
    bool refuse = false;
    int Show(const std::string& text, const std::string& caption, unsigned style) override {
        ScriptedMessageService::Show(text, caption, style);
        if (text.rfind("Please Insert Disk No. ", 0) != 0) return platform::IDOK;
        if (refuse) return platform::IDCANCEL;
        fs::copy_file(shelf + "/Split.z01", drive + "/Split.z01", fs::copy_options::overwrite_existing);
        return platform::IDOK;
    }
};

TEST_F(SplitBackup, ARemovableDiskIsAskedForAndCancelAborts) {
    Removable();
    DiskShelf shelfService;
    shelfService.shelf = shelf;
    shelfService.drive = drive;
    platform::SetMessageService(&shelfService);
    shelfService.refuse = true;
    const std::string refused = RestoreAll();
    shelfService.refuse = false;
    const std::string given = RestoreAll();
    platform::SetMessageService(&messages);

    EXPECT_EQ(refused, "Restore Aborted !");
    EXPECT_EQ(given, "Restore Successful");
    EXPECT_EQ(shelfService.Texts().front(), "Please Insert Disk No. 1\n\nPress OK to continue or Cancel to abort!");
    EXPECT_EQ(ReadFile(user.Root() + "/out/big.bin"), random);
}

TEST_F(SplitBackup, AMissingPartOnAFixedDiskMeansADamagedBackup) {
    EXPECT_EQ(RestoreAll(), "Restore Failed, the backup file may be corrupt!");
    const std::string log = RestoreLog();
    EXPECT_TRUE(Has(log, "Backup File may be corrupt\nUser Aborted the Restore Process:\nSome files listed were NOT Restored."))
        << log;
    fs::copy_file(shelf + "/Split.z01", drive + "/Split.z01");
    EXPECT_EQ(RestoreAll(), "Restore Successful");
    EXPECT_EQ(ReadFile(user.Root() + "/out/big.bin"), random);
}

}  // namespace
