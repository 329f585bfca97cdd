#include "jobmodel/BackupItem.h"

#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

using namespace jobmodel;
using testsupport::Bytes;

TEST(BackupItemArray, AddItemKeepsTheFirstOfEqualPaths) {
    CBackupItemArray items;
    EXPECT_EQ(items.AddItem("/home/ann/Docs", 6, 16), 1);
    EXPECT_EQ(items.AddItem("/home/ann/Docs/", 5, 0), 1);
    ASSERT_EQ(items.GetCount(), 1);
    EXPECT_EQ(items.GetAt(0).m_nState, 6);
    EXPECT_EQ(items.GetAt(0).m_dwAttributes, 16u);
    // Linux names differ by case: these are two folders.
    items.AddItem("/home/ann/docs", 5, 16);
    EXPECT_EQ(items.GetCount(), 2);
}

TEST(BackupItemArray, RemoveAtIgnoresIndicesOutsideTheList) {
    CBackupItemArray items;
    items.AddItem("/a", 4, 32);
    items.AddItem("/b", 4, 32);
    items.AddItem("/c", 4, 32);
    items.RemoveAt(-1);
    items.RemoveAt(3);
    EXPECT_EQ(items.GetCount(), 3);
    items.RemoveAt(1);
    ASSERT_EQ(items.GetCount(), 2);
    EXPECT_EQ(items.GetItemPath(1), "/c");
    items.RemoveAll();
    EXPECT_EQ(items.GetCount(), 0);
}

TEST(BackupItemArray, ReadingKeepsDuplicatesAndCopyFromDropsThem) {
    Bytes stored;
    stored.newClass(220, "CBackupItemArray").u32(2);
    stored.newClass(220, "CBackupItem").i32(6).str("/a").u32(16);
    stored.u16(0x8002).i32(5).str("/a").u32(16);
    CArchive in = CArchive::ForLoading(stored);
    in.SetDocumentVersion(220);
    CBackupItemArray read;
    read.AddItem("/previous", 4, 32);
    ASSERT_TRUE(read.Serialize(in)) << in.Error();
    EXPECT_EQ(read.GetCount(), 2);

    CBackupItemArray copy;
    copy.AddItem("/other", 4, 32);
    EXPECT_EQ(copy.CopyFrom(read), 2);
    ASSERT_EQ(copy.GetCount(), 1);
    EXPECT_EQ(copy.GetAt(0).m_nState, 6);
}

TEST(BackupItemArray, EmptyListIsTagAndZeroCount) {
    CArchive out = CArchive::ForStoring();
    out.SetDocumentVersion(220);
    CBackupItemArray items;
    items.Serialize(out);
    EXPECT_EQ(out.Bytes(), Bytes().newClass(220, "CBackupItemArray").u32(0).data());
}
