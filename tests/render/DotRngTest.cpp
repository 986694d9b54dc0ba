#include <gtest/gtest.h>

#include "RenderTestSupport.h"

using namespace rendertest;

namespace {

TEST(DotRng, StepsByTimes2061Plus7AndCullsByTimes6573Plus6735)
{
    DotRng rng(0);
    EXPECT_EQ(rng.Next(), 7u);
    EXPECT_EQ(rng.Next(), 14434u);  // 7 * 2061 + 7
    EXPECT_EQ(rng.Next(), 60673u);  // 29748481 mod 65536
    DotRng cull(0);
    cull.Cull();
    EXPECT_EQ(cull.State(), 6735u);
    cull.Cull();
    EXPECT_EQ(cull.State(), 39090u);  // (6735 * 6573 + 6735) mod 65536
}

TEST(DotRng, ManyCullsAtOnceAreThatManySingleCulls)
{
    // 2^16 culls bring every 16-bit state back: larger counts are checked
    // against their remainder.
    for (std::uint32_t start : {0u, 1u, 40000u, 65535u}) {
        DotRng one(start);
        for (int i = 0; i < 65536; ++i) one.Cull();
        EXPECT_EQ(one.State(), start);
    }
    const std::uint64_t counts[] = {
        0, 1, 2, 3, 255, 4097, 65535, 65536, 65537, (1ull << 40) + 77, ~0ull};
    // Seeded states keep 32 bits until their first step.
    for (std::uint32_t start : {0u, 12345u, 0xFFFFFFFDu, 0x7654ABCDu}) {
        for (std::uint64_t count : counts) {
            DotRng many(start), one(start);
            many.Cull(count);
            const std::uint64_t steps = count == 0 ? 0 : (count - 1) % 65536 + 1;
            for (std::uint64_t i = 0; i < steps; ++i) one.Cull();
            EXPECT_EQ(many.State(), one.State()) << start << ", " << count << " culls";
        }
    }
}

TEST(DotRng, VariationIsUniformInMinusAToA)
{
    // The draw after state 0 is 7: (2a * 7) / 65536 - a.
    EXPECT_EQ(DotRng(0).Variation(0.5), (1.0 * 7) / 65536 - 0.5);
    EXPECT_EQ(RngGiving(1, 0).Variation(2.0), -2.0);
    EXPECT_EQ(RngGiving(1, 32768).Variation(2.0), 0.0);
    EXPECT_EQ(RngGiving(1, 65535).Variation(1.0), 1.0 - 2.0 / 65536);
    EXPECT_EQ(RngGiving(1, 40000).Variation(0.0), 0.0);
}

TEST(DotRng, SeedTakesSeedMod10WarmUpSteps)
{
    struct Case {
        A_long seed;
        std::uint32_t state;
    };
    // 3 -> 6190 -> 43613 -> 36544; 13 takes three steps too; 10 none; -3 mod
    // 10 is -3: no warm-up, and all 32 bits are kept.
    for (const Case &c :
         {Case{3, 36544u}, Case{13, 21650u}, Case{10, 10u}, Case{-3, 0xFFFFFFFDu}}) {
        DotRng rng;
        rng.Seed(c.seed);
        EXPECT_EQ(rng.State(), c.state) << c.seed;
    }
    DotRng negative;
    negative.Seed(-3);
    EXPECT_EQ(negative.Next(), (0xFFFFFFFDu * 2061u + 7u) & 0xFFFFu);
}

// The seed for a frame, 100 time units long, of a record with the given
// interval, cycle and seed.
std::int32_t SeedAt(int frame, A_long interval, A_long cycle, A_long timeStep = 100)
{
    PF_InData in{};
    in.time_step = timeStep;
    in.current_time = frame * 100;
    RenderRecord record = QuietRecord();
    record.RandomInterval = interval;
    record.RandomCycle = cycle;
    record.RandomSeed = 40;
    record.in_data = &in;
    return DotRng::SeedFor(record);
}

TEST(DotRngSeed, IntervalAndCycleCycleTheArrangements)
{
    const std::int32_t bySpan[] = {40, 41, 42, 40};  // frames 0-4, 5-9, 10-14, 15-19
    for (int frame = 0; frame < 20; ++frame) {
        EXPECT_EQ(SeedAt(frame, 5, 3), bySpan[frame / 5]) << frame;
    }
    // Without a cycle the count goes on.
    EXPECT_EQ(SeedAt(27, 5, 0), 45);
    EXPECT_EQ(SeedAt(1000, 5, 0), 240);
    // Negative frames truncate toward zero, and so does the remainder.
    EXPECT_EQ(SeedAt(-4, 5, 3), 40);   // -4 / 5 = 0
    EXPECT_EQ(SeedAt(-5, 5, 3), 39);   // -1 mod 3 = -1
    EXPECT_EQ(SeedAt(-12, 5, 3), 38);  // -2
    EXPECT_EQ(SeedAt(-15, 5, 3), 40);  // -3 mod 3 = 0
}

TEST(DotRngSeed, TimeIgnoredWithoutIntervalStepOrHost)
{
    EXPECT_EQ(SeedAt(77, 0, 3), 40);
    EXPECT_EQ(SeedAt(10, 5, 3, 0), 40);
    RenderRecord record = QuietRecord();
    record.RandomSeed = 40;
    record.RandomInterval = 5;
    EXPECT_EQ(DotRng::SeedFor(record), 40);  // no host data
}

}  // namespace
