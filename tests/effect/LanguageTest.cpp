// The user-interface language from the command line and the code page.
#include <gtest/gtest.h>

#include "filter/Language.h"

namespace {

using filter::Language;
using filter::LanguageFrom;

TEST(Language, OptionLChoosesJapaneseOrEnglishWhateverTheCase)
{
    EXPECT_EQ(LanguageFrom("app.exe -Ljp", 1252), Language::Japanese);
    EXPECT_EQ(LanguageFrom("app.exe -l JP", 1252), Language::Japanese);
    EXPECT_EQ(LanguageFrom("app.exe -L EN", 932), Language::English);
    EXPECT_EQ(LanguageFrom("app.exe\t-L\tfr", 932), Language::English);
}

TEST(Language, WithoutOptionTheCodePageDecides)
{
    EXPECT_EQ(LanguageFrom("app.exe", 932), Language::Japanese);
    EXPECT_EQ(LanguageFrom("app.exe", 1252), Language::English);
    EXPECT_EQ(LanguageFrom("", 932), Language::Japanese);
}

TEST(Language, OnlyABlankBeforeTheMinusStartsAnOption)
{
    // The first character never starts an option; "x-Ljp" is no option.
    EXPECT_EQ(LanguageFrom("-Ljp", 1252), Language::English);
    EXPECT_EQ(LanguageFrom("app.exe x-Ljp", 1252), Language::English);
}

TEST(Language, QuotedStretchesAreSkipped)
{
    EXPECT_EQ(LanguageFrom("\"C:\\a -Ljp\\app.exe\" -x", 1252), Language::English);
    EXPECT_EQ(LanguageFrom("\"C:\\a b\\app.exe\" -Ljp", 1252), Language::Japanese);
}

TEST(Language, OfALongCodeTheLastFourCharactersCount)
{
    // "xxJP" packs to 0x78784A50 and "ABCDJP" keeps "CDJP": neither is "JP".
    EXPECT_EQ(LanguageFrom("app -L xxJP", 932), Language::English);
    EXPECT_EQ(LanguageFrom("app -L ABCDJP", 932), Language::English);
}

TEST(Language, LookUpFollowsTheTwoColumnRule)
{
    const filter::TextRow rows[] = {
        {0, "ja", "en"},
        {1, "", "en only"},
        {2, "ja only", ""},
    };
    EXPECT_STREQ(filter::LookUpText(rows, 3, 0, Language::Japanese), "ja");
    EXPECT_STREQ(filter::LookUpText(rows, 3, 0, Language::English), "en");
    // Japanese falls back to English; English needs a Japanese text too.
    EXPECT_STREQ(filter::LookUpText(rows, 3, 1, Language::Japanese), "en only");
    EXPECT_STREQ(filter::LookUpText(rows, 3, 1, Language::English), "");
    EXPECT_STREQ(filter::LookUpText(rows, 3, 2, Language::English), "");
    EXPECT_STREQ(filter::LookUpText(rows, 3, 9, Language::Japanese), "");
}

}  // namespace
