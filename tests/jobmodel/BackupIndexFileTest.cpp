#include "jobmodel/BackupIndexFile.h"

#include "tests/support/Bytes.h"
#include "tests/support/IsolatedUser.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using jobmodel::CBackupIndexFile;
using testsupport::Bytes;
using testsupport::IsolatedUser;

TEST(BackupIndexFile, NamedAfterJobAndBackupBelowTheApplicationFolder) {
    IsolatedUser user;
    CBackupIndexFile index("/home/ann/Jobs/Daily.vlj", "/media/disk/Backup.velarc");
    EXPECT_EQ(index.m_strJobName, "Daily.vlj");
    EXPECT_EQ(index.m_strBackupName, "Backup.velarc");
    EXPECT_EQ(index.GetFolder(), user.AppData() + "/Jobs/Daily.vlj");
    EXPECT_EQ(index.GetPath(), user.AppData() + "/Jobs/Daily.vlj/Backup.velarc.velidx");
    EXPECT_EQ(CBackupIndexFile("", "/b/Backup.velarc").GetPath(), "");
    EXPECT_EQ(CBackupIndexFile("", "/b/Backup.velarc").GetFolder(), "");
    EXPECT_EQ(CBackupIndexFile("/j/Daily.vlj", "").GetPath(), "");
}

TEST(BackupIndexFile, SavesExactBytesAndLoadsThemBack) {
    IsolatedUser user;
    CBackupIndexFile index("/j/Daily.vlj", "/b/Backup.velarc");
    ASSERT_EQ(index.Save(), 1);
    const std::string empty = testsupport::ReadFile(index.GetPath());
    EXPECT_EQ(empty.size(), 24u);
    EXPECT_EQ(empty, Bytes().newClass(232, "CBackupIndexFile").u16(0).data());

    const std::vector<std::string> folders = {"/home/ann/Docs", "/home/ann/Docs/Letters", "/etc"};
    ASSERT_EQ(index.Save(&folders), 1);
    EXPECT_EQ(testsupport::ReadFile(index.GetPath()),
              Bytes().newClass(232, "CBackupIndexFile").u16(3).str(folders[0]).str(folders[1]).str(folders[2]).data());
    // The same folders again leave the file alone; others replace it.
    struct stat before {}, after {};
    ASSERT_EQ(::stat(index.GetPath().c_str(), &before), 0);
    ASSERT_EQ(index.Save(&folders), 1);
    ASSERT_EQ(::stat(index.GetPath().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    const std::vector<std::string> fewer = {folders[0]};
    ASSERT_EQ(index.Save(&fewer), 1);
    EXPECT_EQ(testsupport::ReadFile(index.GetPath()),
              Bytes().newClass(232, "CBackupIndexFile").u16(1).str(folders[0]).data());
    ASSERT_EQ(index.Save(&folders), 1);

    CBackupIndexFile reader("/j/Daily.vlj", "/b/Backup.velarc");
    reader.m_list = {"stale"};
    ASSERT_EQ(reader.Load(), 1);
    EXPECT_EQ(reader.m_list, folders);

    EXPECT_TRUE(reader.Delete());
    EXPECT_EQ(reader.Load(), 0);
    EXPECT_TRUE(reader.m_list.empty());
}

TEST(BackupIndexFile, ForeignSchemaLoadsEmptyAndDamageFails) {
    IsolatedUser user;
    CBackupIndexFile index("/j/Daily.vlj", "/b/Backup.velarc");
    testsupport::WriteFile(index.GetPath(), Bytes().newClass(231, "CBackupIndexFile").u16(1).str("/x").data());
    EXPECT_EQ(index.Load(), 1);
    EXPECT_TRUE(index.m_list.empty());

    const std::string damaged[] = {
        Bytes().newClass(232, "CBackupIndex").u16(0),
        Bytes().newClass(232, "CBackupIndexFile").u16(0xFFFF).u32(0xFFFFFFFF).str("/x"),
        Bytes().newClass(232, "CBackupIndexFile").u16(2).str("/x"),
    };
    for (const auto& bytes : damaged) {
        testsupport::WriteFile(index.GetPath(), bytes);
        EXPECT_EQ(index.Load(), 0) << testsupport::Hex(bytes);
        EXPECT_TRUE(index.m_list.empty());
        EXPECT_FALSE(index.m_strLastError.empty());
    }
}
