#include "cli/FramePattern.h"

#include <gtest/gtest.h>

#include "cli/Errors.h"

namespace {

using namespace cli;

TEST(FramePattern, HashRunBecomesZeroPaddedFrame)
{
    EXPECT_EQ(ExpandFramePattern("out.####.png", 7), "out.0007.png");
    EXPECT_EQ(ExpandFramePattern("out.####.png", 0), "out.0000.png");
    EXPECT_EQ(ExpandFramePattern("shot#/f##.exr", 3), "shot3/f03.exr");
}

TEST(FramePattern, LongerNumbersAreWrittenInFull)
{
    EXPECT_EQ(ExpandFramePattern("f##.png", 12345), "f12345.png");
}

TEST(FramePattern, PathsWithoutHashAreUnchanged)
{
    EXPECT_FALSE(HasFramePattern("out.png"));
    EXPECT_TRUE(HasFramePattern("out.#.png"));
    EXPECT_EQ(ExpandFramePattern("out.png", 5), "out.png");
}

TEST(FramePattern, ParsesRangesAndSingleFrames)
{
    const FrameRange r = ParseFrameRange("1-48");
    EXPECT_EQ(r.first, 1);
    EXPECT_EQ(r.last, 48);
    EXPECT_EQ(r.Count(), 48);
    const FrameRange one = ParseFrameRange("12");
    EXPECT_EQ(one.first, 12);
    EXPECT_EQ(one.last, 12);
}

TEST(FramePattern, RefusesBadRanges)
{
    EXPECT_THROW(ParseFrameRange("9-3"), UsageError);
    EXPECT_THROW(ParseFrameRange("a-b"), UsageError);
    EXPECT_THROW(ParseFrameRange("-3"), UsageError);
    EXPECT_THROW(ParseFrameRange("1-"), UsageError);
    EXPECT_THROW(ParseFrameRange(""), UsageError);
    try {
        ParseFrameRange("9-3");
    } catch (const UsageError &e) {
        EXPECT_NE(std::string(e.what()).find("9-3"), std::string::npos);
    }
}

}  // namespace
