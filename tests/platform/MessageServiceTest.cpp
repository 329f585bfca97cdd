#include "platform/MessageService.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(MessageService, ScriptedAnswersComeFirstThenTheSafeAnswer) {
    ScriptedMessageService messages;
    messages.Answer(IDYES);
    EXPECT_EQ(messages.Show("Remove?", "Vellora", MB_YESNO | MB_ICONQUESTION), IDYES);
    const std::pair<unsigned, int> safe[] = {
        {MB_OK, IDOK},           {MB_OKCANCEL, IDCANCEL},   {MB_ABORTRETRYIGNORE, IDABORT},
        {MB_YESNOCANCEL, IDCANCEL}, {MB_YESNO | MB_ICONSTOP, IDNO}, {MB_RETRYCANCEL, IDCANCEL},
    };
    for (auto [style, answer] : safe) EXPECT_EQ(messages.Show("t", "c", style), answer) << style;
    ASSERT_EQ(messages.Messages().size(), 7u);
    EXPECT_EQ(messages.Messages()[0].text, "Remove?");
    EXPECT_EQ(messages.Messages()[0].style, MB_YESNO | MB_ICONQUESTION);
}

TEST(MessageService, InstalledServiceReceivesTheMessages) {
    ScriptedMessageService messages;
    SetMessageService(&messages);
    Messages().Show("hello", "Vellora", MB_OK);
    SetMessageService(nullptr);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"hello"});
}
