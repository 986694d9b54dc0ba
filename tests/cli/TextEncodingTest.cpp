#include "cli/TextEncoding.h"

#include <gtest/gtest.h>

namespace {

using namespace cli;

TEST(TextEncoding, GbkDisplayNamesBecomeUtf8)
{
    EXPECT_EQ(GbkToUtf8("\xB5\xE3\xB5\xC4\xD0\xCE\xD7\xB4"), "点的形状");
    // A digit after the Chinese characters stays a digit.
    EXPECT_EQ(GbkToUtf8("\xD0\xA7\xB9\xFB\xCC\xF9\xCD\xBC"
                        "1"),
              "效果贴图1");
    EXPECT_EQ(GbkToUtf8("FX1"), "FX1");
    EXPECT_EQ(GbkToUtf8(""), "");
    // Bytes that do not convert are escaped.
    EXPECT_EQ(GbkToUtf8("A\xFF"), "A\\xFF");
    EXPECT_FALSE(ConvertToUtf8("A\xFF", "GBK").has_value());
}

TEST(TextEncoding, AboutTextIsReadAsShiftJisFirst)
{
    // "テスト" in Shift-JIS; the same bytes would also pass as GBK.
    EXPECT_EQ(LegacyTextToUtf8("\x83\x65\x83\x58\x83\x67"), "テスト");
    EXPECT_EQ(LegacyTextToUtf8("Stipplex 1.5.5 Release"), "Stipplex 1.5.5 Release");
}

}  // namespace
