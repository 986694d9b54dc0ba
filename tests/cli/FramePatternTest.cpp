#include "cli/FramePattern.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "TestDir.h"

namespace {

using ::testing::HasSubstr;

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
    EXPECT_THAT(clitest::FailureOf<UsageError>([] { ParseFrameRange("9-3"); }), HasSubstr("9-3"));
}

TEST(FramePattern, ShardsCutARangeIntoContiguousPartsCoveringItOnce)
{
    for (const char *bad : {"0/4", "5/4", "4", "a/b", "1/", "/2", "-1/2"}) {
        EXPECT_THROW(ParseShard(bad), UsageError) << bad;
    }
    // 10 frames from 5 in 4 shards, and more shards than frames.
    for (const auto &[range, n] : {std::pair{FrameRange{5, 14}, 4L}, {FrameRange{0, 2}, 5L}}) {
        long next = range.first;
        for (long k = 1; k <= n; ++k) {
            const FrameRange part =
                ShardRange(range, ParseShard(std::to_string(k) + "/" + std::to_string(n)));
            EXPECT_EQ(part.first, next) << k << "/" << n;
            EXPECT_LE(part.Count(), range.Count() / n + 1);
            EXPECT_GE(part.Count(), range.Count() / n);
            next = part.last + 1;
        }
        EXPECT_EQ(next, range.last + 1);
    }
}

}  // namespace
