#include "jobmodel/Archive.h"

#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

using jobmodel::CArchive;
using testsupport::Bytes;

TEST(Archive, StringLengthPrefixesSwitchFormAtTheirLimits) {
    struct Case {
        size_t length;
        std::string prefix;
    } cases[] = {
        {0, std::string(1, '\0')},
        {254, "\xfe"},
        {255, std::string("\xff\xff\x00", 3)},
        {0xFFFD, "\xff\xfd\xff"},
        {0xFFFE, std::string("\xff\xff\xff\xfe\xff\x00\x00", 7)},
        {70000, std::string("\xff\xff\xff\x70\x11\x01\x00", 7)},
    };
    for (const auto& c : cases) {
        const std::string text(c.length, 'x');
        CArchive out = CArchive::ForStoring();
        out.WriteString(text);
        EXPECT_EQ(out.Bytes().substr(0, c.prefix.size()), c.prefix) << c.length;
        EXPECT_EQ(out.Bytes().size(), c.prefix.size() + c.length);
        CArchive in = CArchive::ForLoading(out.Bytes());
        std::string back;
        ASSERT_TRUE(in.ReadString(back)) << c.length;
        EXPECT_EQ(back, text);
        EXPECT_EQ(in.Remaining(), 0u);
    }
}

TEST(Archive, WideStringsAreReadAsUtf8) {
    // "Bü€" then a surrogate pair for U+1F600, as UTF-16LE behind the wide mark.
    const std::string utf16("B\x00\xfc\x00\xac\x20\x3d\xd8\x00\xde", 10);
    Bytes wide;
    wide.u8(0xFF).u16(0xFFFE).u8(5).raw(utf16);
    CArchive in = CArchive::ForLoading(wide);
    std::string text;
    ASSERT_TRUE(in.ReadString(text));
    EXPECT_EQ(text, "B\xc3\xbc\xe2\x82\xac\xf0\x9f\x98\x80");

    Bytes lone;
    lone.u8(0xFF).u16(0xFFFE).u8(1).u16(0xDC00);
    CArchive loneIn = CArchive::ForLoading(lone);
    ASSERT_TRUE(loneIn.ReadString(text));
    EXPECT_EQ(text, "\xef\xbf\xbd");
}

TEST(Archive, ClassTagsAndBackReferences) {
    CArchive out = CArchive::ForStoring();
    out.WriteClassTag("CAppDoc", 220);
    out.WriteClassTag("CBackupItem", 220);
    out.WriteClassTag("CBackupItem", 220);
    EXPECT_EQ(out.Bytes(), Bytes().newClass(220, "CAppDoc").newClass(220, "CBackupItem").u16(0x8002).data());

    // The long form of a reference, and the schema of the first occurrence.
    Bytes longForm;
    longForm.newClass(1, "CBackupItem").u16(0x7FFF).u32(0x80000001);
    CArchive in = CArchive::ForLoading(longForm);
    uint16_t schema = 0;
    ASSERT_TRUE(in.ReadClassTag("CBackupItem", schema));
    EXPECT_EQ(schema, 1);
    schema = 0;
    ASSERT_TRUE(in.ReadClassTag("CBackupItem", schema));
    EXPECT_EQ(schema, 1);
}

TEST(Archive, BadClassTagsAreFormatErrors) {
    const std::string bad[] = {
        Bytes().newClass(220, "CAppDoc"),           // another class than expected
        Bytes().newClass(220, "CSomethingElse"),    // unknown class
        Bytes().u16(0x8001),                        // reference before any class
        Bytes().newClass(220, "CBackupItem").u16(0x8002),  // reference past the known classes
        Bytes().u16(0x0001),                        // object reference
        Bytes().u16(0x7FFF).u32(0x00000001),        // long object reference
        Bytes().u16(0xFFFF).u16(220).u16(0),        // empty class name
        Bytes().u16(0xFFFF).u16(220).u16(500).raw(std::string(500, 'C')),
    };
    for (const auto& bytes : bad) {
        CArchive in = CArchive::ForLoading(bytes);
        uint16_t schema;
        bool ok = in.ReadClassTag("CBackupItem", schema) && in.ReadClassTag("CBackupItem", schema);
        EXPECT_FALSE(ok) << testsupport::Hex(bytes);
        EXPECT_FALSE(in.Error().empty());
    }
}

TEST(Archive, HugeLengthsFailWithoutReadingPastTheEnd) {
    Bytes bytes;
    bytes.u8(0xFF).u16(0xFFFF).u32(0xFFFFFFF0).raw("short");
    CArchive in = CArchive::ForLoading(bytes);
    std::string s;
    EXPECT_FALSE(in.ReadString(s));
    uint32_t count;
    EXPECT_FALSE(in.ReadCount(count));  // the first failure sticks
    EXPECT_NE(in.Error().find("longer than the rest"), std::string::npos);
}
