#include <gtest/gtest.h>

#include <map>
#include <random>

#include "RenderTestSupport.h"
#include "render/Composite.h"
#include "render/SpanCoverage.h"

using namespace rendertest;
using render::CompositeCoverage;
using render::SpanCoverage;

namespace {

std::map<int, int> Counts(SpanCoverage &coverage)
{
    std::map<int, int> counts;
    coverage.Flush([&](int px, int n) { counts[px] = n; });
    return counts;
}

TEST(SpanCoverage, TouchingAndOverlappingSpansMerge)
{
    SpanCoverage c;
    c.Reset(10);
    c.Add(0, 0, 3);
    c.Add(0, 4, 7);  // touches
    c.Add(0, 20, 25);
    c.Add(0, 23, 30);  // overlaps
    c.Add(0, 10, 12);  // out of order, stays apart
    const auto &spans = c.SpansOf(0);
    ASSERT_EQ(spans.size(), 3u);
    EXPECT_EQ(spans[0].start, 0);
    EXPECT_EQ(spans[0].end, 7);
    EXPECT_EQ(spans[1].start, 10);
    EXPECT_EQ(spans[1].end, 12);
    EXPECT_EQ(spans[2].start, 20);
    EXPECT_EQ(spans[2].end, 30);

    c.Add(0, 8, 19);  // bridges all three
    ASSERT_EQ(c.SpansOf(0).size(), 1u);
    EXPECT_EQ(c.SpansOf(0)[0].end, 30);
}

TEST(SpanCoverage, CountsSubSamplesPerPixel)
{
    SpanCoverage c;
    c.Reset(4);
    for (int row = 0; row < 8; ++row) {
        c.Add(row, 8, 15);  // pixel 1 whole
    }
    for (int row = 0; row < 4; ++row) {
        c.Add(row, 20, 27);  // half of pixel 2 and half of pixel 3, four sub-rows
    }
    c.Add(0, 12, 12);  // already covered: counts once
    auto counts = Counts(c);
    EXPECT_EQ(counts.size(), 3u);  // pixels 1 to 3; pixel 0 is not visited
    EXPECT_EQ(counts[1], 64);
    EXPECT_EQ(counts[2], 16);
    EXPECT_EQ(counts[3], 16);
    EXPECT_TRUE(c.Empty());
}

TEST(SpanCoverage, ClipsToTheRow)
{
    SpanCoverage c;
    c.Reset(2);
    c.Add(0, -40, 3);
    c.Add(1, 12, 400);
    c.Add(2, 100, 200);  // wholly outside
    auto counts = Counts(c);
    EXPECT_EQ(counts.size(), 2u);
    EXPECT_EQ(counts[0], 4);
    EXPECT_EQ(counts[1], 4);
}

TEST(SpanCoverage, ManyWholePixelsInOneSpan)
{
    SpanCoverage c;
    c.Reset(100);
    for (int row = 0; row < 8; ++row) {
        c.Add(row, 4, 795);
    }
    auto counts = Counts(c);
    EXPECT_EQ(counts[0], 32);
    for (int px = 1; px < 99; ++px) {
        ASSERT_EQ(counts[px], 64) << px;
    }
    EXPECT_EQ(counts[99], 32);
}

TEST(SpanCoverage, CountsMatchASubSampleBitmap)
{
    // Seeded random spans against a plain 8 x (8 * width) bitmap of sub-samples.
    std::mt19937 random(20240611);
    for (int round = 0; round < 200; ++round) {
        const int width = 1 + static_cast<int>(random() % 12);
        SpanCoverage c;
        c.Reset(width);
        std::vector<std::vector<bool>> bitmap(8, std::vector<bool>(width * 8, false));
        const int spans = static_cast<int>(random() % 10);
        for (int i = 0; i < spans; ++i) {
            const int row = static_cast<int>(random() % 8);
            const int a = static_cast<int>(random() % (width * 8 + 20)) - 10;
            const int b = a + static_cast<int>(random() % 40) - 5;
            c.Add(row, a, b);
            for (int s = std::max(a, 0); s <= std::min(b, width * 8 - 1); ++s) {
                bitmap[row][s] = true;
            }
        }
        std::map<int, int> expected;
        int first = -1, last = -1;
        for (int px = 0; px < width; ++px) {
            for (int row = 0; row < 8; ++row) {
                for (int s = px * 8; s < px * 8 + 8; ++s) {
                    if (!bitmap[row][s]) continue;
                    ++expected[px];
                    if (first < 0) first = px;
                    last = std::max(last, px);
                }
            }
        }
        auto counts = Counts(c);
        for (const auto &[px, n] : counts) {
            ASSERT_GE(px, first) << "round " << round;
            ASSERT_LE(px, last) << "round " << round;
            ASSERT_EQ(n, expected[px]) << "round " << round << " pixel " << px;
        }
        for (const auto &[px, n] : expected) {
            ASSERT_EQ(counts[px], n) << "round " << round << " pixel " << px;
        }
    }
}

TEST(Composite8, FirstCoverageReplacesAnEmptyPixel)
{
    Pixel8 dst{0, 9, 9, 9};
    CompositeCoverage(dst, Pixel8{255, 200, 100, 0}, 32);
    EXPECT_EQ(dst.alpha, 127);  // trunc(32 * 255 / 64)
    EXPECT_EQ(dst.red, 200);
    EXPECT_EQ(dst.green, 100);
    EXPECT_EQ(dst.blue, 0);
}

TEST(Composite8, TwoHalfOpaqueLayersGive190)
{
    Pixel8 dst{127, 0, 200, 50};
    CompositeCoverage(dst, Pixel8{127, 200, 100, 0}, 64);
    // k = (128 * 127) >> 8 = 63; alpha 127 + 63.
    EXPECT_EQ(dst.alpha, 190);
    EXPECT_EQ(dst.red, (200 * 127 + 0 * 63) / 190);
    EXPECT_EQ(dst.green, (100 * 127 + 200 * 63) / 190);
    EXPECT_EQ(dst.blue, (0 * 127 + 50 * 63) / 190);
}

TEST(Composite8, OpaqueSourceReplacesAndZeroCoverageLeavesAlone)
{
    Pixel8 dst{200, 1, 2, 3};
    CompositeCoverage(dst, Pixel8{255, 7, 8, 9}, 0);
    EXPECT_EQ(dst.alpha, 200);
    EXPECT_EQ(dst.red, 1);
    CompositeCoverage(dst, Pixel8{1, 7, 8, 9}, 63);  // trunc(63 / 64) = 0
    EXPECT_EQ(dst.red, 1);
    CompositeCoverage(dst, Pixel8{255, 7, 8, 9}, 64);
    EXPECT_EQ(dst.alpha, 255);
    EXPECT_EQ(dst.red, 7);
}

TEST(Composite16, ShiftsBy15)
{
    Pixel16 dst{16384, 32768, 0, 0};
    CompositeCoverage(dst, Pixel16{16384, 0, 32768, 0}, 64);
    // k = (16384 * 16384) >> 15 = 8192
    EXPECT_EQ(dst.alpha, 24576);
    EXPECT_EQ(dst.red, (0 * 16384 + 32768 * 8192) / 24576);
    EXPECT_EQ(dst.green, (32768 * 16384 + 0) / 24576);

    Pixel16 empty{0, 0, 0, 0};
    CompositeCoverage(empty, Pixel16{32768, 1, 2, 3}, 16);
    EXPECT_EQ(empty.alpha, 8192);
}

TEST(CompositeFloat, OverInDoublePrecision)
{
    Pixel32 dst{0.5f, 0, 1, 0};
    CompositeCoverage(dst, Pixel32{1.0f, 1, 0, 0}, 32);  // a = 0.5
    EXPECT_FLOAT_EQ(dst.alpha, 0.75f);
    EXPECT_FLOAT_EQ(dst.red, static_cast<float>(0.5 / 0.75));
    EXPECT_FLOAT_EQ(dst.green, static_cast<float>(0.25 / 0.75));

    Pixel32 under{0.3f, 0, 0, 0};
    CompositeCoverage(under, Pixel32{1.0f, 0.2f, 0.4f, 0.6f}, 64);  // a = 1: replaced
    EXPECT_FLOAT_EQ(under.alpha, 1.0f);
    EXPECT_FLOAT_EQ(under.blue, 0.6f);
}

}  // namespace
