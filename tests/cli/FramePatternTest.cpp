#include "cli/FramePattern.h"

#include <gtest/gtest.h>

#include "cli/Errors.h"

namespace {

using namespace cli;

TEST(FramePattern, HashRunsBecomeZeroPaddedFrames)
{
    EXPECT_EQ(ExpandFramePattern("out.####.png", 7), "out.0007.png");
    EXPECT_EQ(ExpandFramePattern("shot#/f##.exr", 3), "shot3/f03.exr");
    EXPECT_EQ(ExpandFramePattern("f##.png", 12345), "f12345.png");  // longer: in full
    EXPECT_EQ(ExpandFramePattern("out.png", 5), "out.png");
    EXPECT_FALSE(HasFramePattern("out.png"));
    EXPECT_TRUE(HasFramePattern("out.#.png"));
}

TEST(FramePattern, ParsesRangesAndSingleFramesAndRefusesOthers)
{
    const FrameRange r = ParseFrameRange("1-48");
    EXPECT_EQ(std::make_tuple(r.first, r.last, r.Count()), std::make_tuple(1L, 48L, 48L));
    const FrameRange one = ParseFrameRange("12");
    EXPECT_EQ(std::make_pair(one.first, one.last), std::make_pair(12L, 12L));
    for (const char *bad : {"a-b", "-3", "1-", ""}) {
        EXPECT_THROW(ParseFrameRange(bad), UsageError) << bad;
    }
    try {
        ParseFrameRange("9-3");
        ADD_FAILURE() << "9-3 accepted";
    } catch (const UsageError &e) {
        EXPECT_NE(std::string(e.what()).find("9-3"), std::string::npos);
    }
}

}  // namespace
