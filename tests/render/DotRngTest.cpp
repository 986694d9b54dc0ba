#include <gtest/gtest.h>

#include "RenderTestSupport.h"

using namespace rendertest;

namespace {

TEST(DotRng, StepsByTimes2061Plus7)
{
    DotRng rng(0);
    EXPECT_EQ(rng.Next(), 7u);
    EXPECT_EQ(rng.Next(), 14434u);  // 7 * 2061 + 7
    EXPECT_EQ(rng.Next(), 60673u);  // 29748481 mod 65536
    EXPECT_EQ(rng.Next(), 4372u);
}

TEST(DotRng, CullingStepIsTimes6573Plus6735)
{
    DotRng rng(0);
    rng.Cull();
    EXPECT_EQ(rng.State(), 6735u);
    rng.Cull();
    EXPECT_EQ(rng.State(), 39090u);  // (6735 * 6573 + 6735) mod 65536
}

TEST(DotRng, VariationIsUniformInMinusAToA)
{
    // The draw after state 0 is 7: (2a * 7) / 65536 - a.
    DotRng rng(0);
    EXPECT_EQ(rng.Variation(0.5), (1.0 * 7) / 65536 - 0.5);
    EXPECT_EQ(RngGiving(1, 0).Variation(2.0), -2.0);
    EXPECT_EQ(RngGiving(1, 32768).Variation(2.0), 0.0);
    EXPECT_EQ(RngGiving(1, 65535).Variation(1.0), 1.0 - 2.0 / 65536);
    EXPECT_EQ(RngGiving(1, 40000).Variation(0.0), 0.0);
}

TEST(DotRng, RngGivingChoosesTheDraw)
{
    DotRng rng = RngGiving(3, 12345);
    rng.Next();
    rng.Next();
    EXPECT_EQ(rng.Next(), 12345u);
}

TEST(DotRng, SeedTakesSeedMod10WarmUpSteps)
{
    DotRng three;
    three.Seed(3);
    EXPECT_EQ(three.State(), 36544u);  // 3 -> 6190 -> 43613 -> 36544

    DotRng thirteen;
    thirteen.Seed(13);
    DotRng manual(13);
    manual.Next();
    manual.Next();
    manual.Next();
    EXPECT_EQ(thirteen.State(), manual.State());
    EXPECT_EQ(thirteen.State(), 21650u);

    DotRng ten;
    ten.Seed(10);
    EXPECT_EQ(ten.State(), 10u);  // no warm-up

    DotRng negative;
    negative.Seed(-3);  // -3 mod 10 = -3: no warm-up, all 32 bits kept
    EXPECT_EQ(negative.State(), 0xFFFFFFFDu);
    EXPECT_EQ(negative.Next(), (0xFFFFFFFDu * 2061u + 7u) & 0xFFFFu);
}

struct Timing {
    PF_InData in;
    RenderRecord record;
    Timing(A_long interval, A_long cycle, A_long seed)
    {
        std::memset(&in, 0, sizeof in);
        record = QuietRecord();
        record.RandomInterval = interval;
        record.RandomCycle = cycle;
        record.RandomSeed = seed;
        record.in_data = &in;
        in.time_step = 100;
    }
    std::int32_t At(int frame)
    {
        in.current_time = frame * 100;
        return DotRng::SeedFor(record);
    }
};

TEST(DotRngSeed, IntervalAndCycleCycleTheArrangements)
{
    Timing t(5, 3, 40);
    for (int frame = 0; frame < 5; ++frame) EXPECT_EQ(t.At(frame), 40) << frame;
    for (int frame = 5; frame < 10; ++frame) EXPECT_EQ(t.At(frame), 41) << frame;
    for (int frame = 10; frame < 15; ++frame) EXPECT_EQ(t.At(frame), 42) << frame;
    for (int frame = 15; frame < 20; ++frame) EXPECT_EQ(t.At(frame), 40) << frame;
}

TEST(DotRngSeed, NoCycleKeepsCounting)
{
    Timing t(5, 0, 40);
    EXPECT_EQ(t.At(4), 40);
    EXPECT_EQ(t.At(27), 45);
    EXPECT_EQ(t.At(1000), 240);
}

TEST(DotRngSeed, NegativeFramesTruncateTowardZero)
{
    Timing t(5, 3, 40);
    EXPECT_EQ(t.At(-4), 40);   // -4 / 5 = 0
    EXPECT_EQ(t.At(-5), 39);   // -1 mod 3 = -1
    EXPECT_EQ(t.At(-12), 38);  // -2
    EXPECT_EQ(t.At(-15), 40);  // -3 mod 3 = 0
}

TEST(DotRngSeed, TimeIgnoredWithoutIntervalStepOrHost)
{
    Timing noInterval(0, 3, 40);
    EXPECT_EQ(noInterval.At(77), 40);

    Timing noStep(5, 3, 40);
    noStep.in.time_step = 0;
    noStep.in.current_time = 1000;
    EXPECT_EQ(DotRng::SeedFor(noStep.record), 40);

    Timing noHost(5, 3, 40);
    noHost.record.in_data = nullptr;
    EXPECT_EQ(DotRng::SeedFor(noHost.record), 40);
}

}  // namespace
