#include "platform/RegistryHive.h"

#include <gtest/gtest.h>

using platform::RegistryHive;
using platform::RegValue;

TEST(RegistryHive, ParsesEveryValueFormAndWritesItBack) {
    const std::string text =
        "REGEDIT4\r\n"
        "\r\n"
        "; a comment\r\n"
        "[HKEY_CURRENT_USER\\Software\\Vellora Ltd.\\Vellora\\General]\r\n"
        "\"Job Folder\"=\"/home/ann/My \\\"Backups\\\"\\\\Jobs\"\r\n"
        "\"Play Sounds\"=dword:ffffffff\r\n"
        "@=\"default\"\r\n"
        "\"Blob\"=hex:00,ff,10\r\n"
        "\"Multi\"=hex(7):61,00,00\r\n";
    auto hive = RegistryHive::Parse(text, "HKEY_CURRENT_USER");
    ASSERT_TRUE(hive);
    const auto* key = hive->FindKey("software\\VELLORA LTD.\\vellora\\general");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(*key->FindValue("job folder"), RegValue::String("/home/ann/My \"Backups\"\\Jobs"));
    EXPECT_EQ(*key->FindValue("Play Sounds"), RegValue::DWord(0xFFFFFFFF));
    EXPECT_EQ(*key->FindValue(""), RegValue::String("default"));
    EXPECT_EQ(key->FindValue("Blob")->type, platform::REG_BINARY);
    EXPECT_EQ(key->FindValue("Blob")->data, std::string("\x00\xff\x10", 3));
    EXPECT_EQ(key->FindValue("Multi")->type, 7u);

    auto again = RegistryHive::Parse(hive->Format("HKEY_CURRENT_USER"), "HKEY_CURRENT_USER");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Format("HKEY_CURRENT_USER"), hive->Format("HKEY_CURRENT_USER"));
    EXPECT_EQ(again->FindKey("Software\\Vellora Ltd.\\Vellora\\General")->values, key->values);
}

TEST(RegistryHive, StringsThatCannotBeQuotedSurviveAsHex) {
    RegistryHive hive;
    hive.CreateKey("K").SetValue("Lines", RegValue::String("one\ntwo"));
    RegValue unterminated{platform::REG_SZ, "no zero"};
    hive.CreateKey("K").SetValue("Raw", unterminated);
    auto back = RegistryHive::Parse(hive.Format("HKEY_USERS"), "HKEY_USERS");
    ASSERT_TRUE(back);
    EXPECT_EQ(*back->FindKey("K")->FindValue("Lines"), RegValue::String("one\ntwo"));
    EXPECT_EQ(*back->FindKey("K")->FindValue("Raw"), unterminated);
}

TEST(RegistryHive, KeysExistThroughTheirDescendantsAndListChildrenOnce) {
    auto hive = RegistryHive::Parse(
        "REGEDIT4\n[HKEY_USERS\\.DEFAULT\\AppEvents\\EventLabels\\VelBackupStart]\n"
        "[HKEY_USERS\\.DEFAULT\\AppEvents\\eventlabels\\VelBackupFailed]\n"
        "[HKEY_USERS\\.DEFAULT\\AppEvents\\Schemes]\n",
        "HKEY_USERS");
    ASSERT_TRUE(hive);
    EXPECT_TRUE(hive->KeyExists(".DEFAULT\\AppEvents"));
    EXPECT_FALSE(hive->KeyExists(".DEFAULT\\App"));
    EXPECT_EQ(hive->SubKeyNames(".DEFAULT\\AppEvents"), (std::vector<std::string>{"EventLabels", "Schemes"}));
    EXPECT_EQ(hive->SubKeyNames(".default\\appevents\\EVENTLABELS"),
              (std::vector<std::string>{"VelBackupStart", "VelBackupFailed"}));
}

TEST(RegistryHive, RejectsDamagedText) {
    const char* damaged[] = {
        "not a hive\n",
        "REGEDIT4\n\"Name\"=\"value outside a key\"\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\n",
        "REGEDIT4\n[HKEY_CURRENT_USERX]\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"Name\"=\"unterminated\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"Name\"=dword:123\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"Name\"=hex:0g\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"Name\"=hex(:00\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"Name\"\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\K]\nName=\"x\"\n",
    };
    for (const char* text : damaged) EXPECT_FALSE(RegistryHive::Parse(text, "HKEY_CURRENT_USER")) << text;
    EXPECT_TRUE(RegistryHive::Parse("", "HKEY_CURRENT_USER"));
}

TEST(RegistryHive, AHiveOfManyKeysLoadsWithEveryKeyFoundOnceInAnySpelling) {
    // 40,000 keys took a minute and a half when each new key searched all
    // the keys before it.
    std::string text = "REGEDIT4\n";
    for (int i = 0; i < 40000; ++i)
        text += "\n[HKEY_CURRENT_USER\\Software\\Many\\Key" + std::to_string(i) + "]\n\"N\"=dword:0000000" +
                std::to_string(i % 10) + "\n";
    text += "\n[HKEY_CURRENT_USER\\SOFTWARE\\MANY\\KEY7]\n\"Later\"=\"x\"\n";
    auto hive = RegistryHive::Parse(text, "HKEY_CURRENT_USER");
    ASSERT_TRUE(hive);
    EXPECT_EQ(hive->Keys().size(), 40000u);
    EXPECT_EQ(hive->SubKeyNames("software\\many").size(), 40000u);
    const auto* seven = hive->FindKey("software\\many\\key7");
    ASSERT_NE(seven, nullptr);
    EXPECT_EQ(*seven->FindValue("N"), RegValue::DWord(7));
    EXPECT_EQ(*seven->FindValue("later"), RegValue::String("x"));
    EXPECT_NE(hive->FindKey("Software\\Many\\Key39999"), nullptr);
    EXPECT_EQ(hive->FindKey("Software\\Many\\Key40000"), nullptr);
}
