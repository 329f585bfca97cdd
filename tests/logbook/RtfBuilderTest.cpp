#include "logbook/RtfBuilder.h"

#include <gtest/gtest.h>

using namespace logbook;

TEST(RtfBuilder, RunsCarryTheirAttributesAndEscapes) {
    CRtfBuilder b;
    b.AppendText("plain");
    EXPECT_EQ(b.m_strBody, "\\plain\\f0\\fs17\\cb0\\cf0 plain");
    b.m_bBold = b.m_bUnderline = b.m_bItalic = b.m_bStrike = 1;
    b.m_nFontSize = 24;
    b.SetFont("Courier New");
    b.SetColor(kBlue);
    b.SetText("a\\b{c}\nd\te");
    EXPECT_EQ(b.m_strBody, "\\plain\\b\\ul\\i\\strike\\f1\\fs24\\cb0\\cf3 a\\\\b\\{c\\}\r\n \\par d\te");
    b.SetFont("Arial");
    EXPECT_EQ(b.m_nFont, 0);
    b.SetFont("arial");  // font names are case-sensitive
    EXPECT_EQ(b.m_nFont, 2);
}

TEST(RtfBuilder, ColourTableOnlyGrows) {
    CRtfBuilder b;
    b.Reset();
    EXPECT_EQ(b.m_nBackColor, 4);
    EXPECT_EQ(b.m_nColor, 0);
    b.SetColor(kPurple);
    EXPECT_EQ(b.m_nColor, 5);
    b.SetColor(kRed);
    EXPECT_EQ(b.m_nColor, 1);
    b.Reset();
    b.SetColor(kPurple);
    EXPECT_EQ(b.m_nColor, 5);
    EXPECT_EQ(b.m_colors, (std::vector<uint32_t>{kBlack, kRed, kGreen, kBlue, kWhite, kPurple}));
}

TEST(RtfBuilder, FlushToWritesTheWholeDocumentAndEmptiesTheBody) {
    CRtfBuilder b;
    b.Reset();
    b.SetColor(0x82004B);
    b.AppendText("Hi\n");
    EXPECT_EQ(b.FlushTo(),
              "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deftab720{\\fonttbl{\\f0 Arial;}}"
              "{\\colortbl\\red0\\green0\\blue0;\\red180\\green0\\blue0;\\red0\\green180\\blue0;"
              "\\red0\\green0\\blue180;\\red255\\green255\\blue255;\\red75\\green0\\blue130;}"
              "\\plain\\f0\\fs17\\cb4\\cf5 Hi\r\n \\par }");
    EXPECT_EQ(b.m_strBody, "");
}

TEST(RtfBuilder, NonAsciiTextBecomesUnicodeEscapes) {
    CRtfBuilder b;
    b.AppendText("\xc3\xa9t\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 \xff");
    EXPECT_EQ(b.m_strBody, "\\plain\\f0\\fs17\\cb0\\cf0 \\u233?t\\u233? \\u8364? \\u-10179?\\u-8704? \xff");
}
