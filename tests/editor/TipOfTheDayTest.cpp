#include "editor/TipDialog.h"

#include "editor/Profile.h"
#include "tests/support/InstalledMessages.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <utime.h>

using namespace editor;

TEST(TipOfTheDay, TipsGoOnWhereTheyStoppedAndStartOverForANewFile) {
    testsupport::IsolatedUser user;
    testsupport::InstalledMessages messages;
    const std::string file = user.Root() + "/tips.txt";
    testsupport::WriteFile(file, "; comment\nFirst tip\r\n\nSecond tip\nThird tip");
    {
        CTipOfTheDay tips;
        ASSERT_TRUE(tips.Open(file));
        EXPECT_EQ(tips.NextTip(), "First tip");
        EXPECT_EQ(tips.NextTip(), "Second tip");
        tips.Close(false);
    }
    EXPECT_FALSE(CTipOfTheDay::ShowAtStartUp());
    {
        // The next start goes on, and after the last tip comes the first.
        CTipOfTheDay tips;
        ASSERT_TRUE(tips.Open(file));
        EXPECT_EQ(tips.NextTip(), "Third tip");
        EXPECT_EQ(tips.NextTip(), "First tip");
        tips.Close(true);
    }
    // A file with another time starts from its top.
    const struct utimbuf later = {2000000000, 2000000000};
    utime(file.c_str(), &later);
    CTipOfTheDay tips;
    ASSERT_TRUE(tips.Open(file));
    EXPECT_EQ(tips.NextTip(), "First tip");
    EXPECT_TRUE(messages.Texts().empty());

    testsupport::WriteFile(user.Root() + "/empty.txt", "; only a comment\n");
    CTipOfTheDay none;
    EXPECT_FALSE(none.Open(user.Root() + "/missing.txt"));
    ASSERT_TRUE(none.Open(user.Root() + "/empty.txt"));
    EXPECT_EQ(none.NextTip(), "");
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Tips file does not exist in the prescribed directory",
                                                          "Trouble reading the tips file"}));
}

TEST(TipOfTheDay, TheDialogShowsATipAndKeepsTheStartUpChoice) {
    testsupport::IsolatedUser user;
    testsupport::InstalledMessages messages;
    CTipOfTheDay tips;
    ASSERT_TRUE(tips.Open(VELLORA_SOURCE_DIR "/resources/tips.txt"));
    CTipDialog dialog(tips);
    EXPECT_EQ(dialog.windowTitle(), "Tip of the Day");
    const QString first = dialog.m_tip->text();
    EXPECT_FALSE(first.isEmpty());
    dialog.m_next->click();
    EXPECT_NE(dialog.m_tip->text(), first);
    dialog.show();
    std::filesystem::create_directories(SCREENSHOT_DIR);
    EXPECT_TRUE(dialog.grab().save(SCREENSHOT_DIR "/tip-of-the-day.png"));
    dialog.m_showAtStartUp->setChecked(false);
    dialog.accept();
    EXPECT_FALSE(CTipOfTheDay::ShowAtStartUp());
    EXPECT_GT(GetProfileInt("Tip", "FilePos", 0), 0);
}
