#include <gtest/gtest.h>

#include <cstdint>
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

TEST(SpanCoverage, CountsSubSamplesPerPixelWithinTheRow)
{
    SpanCoverage c;
    c.Reset(4);
    for (int row = 0; row < 8; ++row) c.Add(row, 8, 15);  // pixel 1 whole
    for (int row = 0; row < 4; ++row) {
        c.Add(row, 20, 27);   // half of pixel 2 and half of pixel 3, four sub-rows
        c.Add(row, 28, 400);  // the rest of pixel 3, clipped at the row's end
    }
    c.Add(0, 12, 12);  // already covered: counts once
    EXPECT_EQ(Counts(c), (std::map<int, int>{{1, 64}, {2, 16}, {3, 32}}));  // 0 not visited
    EXPECT_TRUE(c.Empty());
}

TEST(SpanCoverage, CountsMatchASubSampleBitmap)
{
    // Seeded random spans, clipped at both ends, against a plain bitmap of
    // 8 sub-rows by 8 sub-columns per pixel.
    std::mt19937 random(20240611);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        const int width = 1 + static_cast<int>(random() % 40);
        SpanCoverage c;
        c.Reset(width);
        std::vector<std::vector<bool>> bitmap(8, std::vector<bool>(width * 8, false));
        int first = width, last = -1;
        for (int i = static_cast<int>(random() % 10); i > 0; --i) {
            const int row = static_cast<int>(random() % 8);
            const int a = static_cast<int>(random() % (width * 8 + 20)) - 10;
            const int b = a + static_cast<int>(random() % 200) - 5;
            c.Add(row, a, b);
            for (int s = std::max(a, 0); s <= std::min(b, width * 8 - 1); ++s) {
                bitmap[row][s] = true;
                first = std::min(first, s / 8);
                last = std::max(last, s / 8);
            }
        }
        std::map<int, int> expected;
        for (int px = first; px <= last; ++px) {
            int &n = expected[px];
            for (int row = 0; row < 8; ++row) {
                for (int s = px * 8; s < px * 8 + 8; ++s) n += bitmap[row][s];
            }
        }
        ASSERT_EQ(Counts(c), expected);
    }
}

TEST(CompositeCoverage, EightBitWorkedValues)
{
    Pixel8 empty{0, 9, 9, 9};
    CompositeCoverage(empty, Pixel8{255, 200, 100, 0}, 32);
    EXPECT_EQ(ArgbOf(empty), Argb(127, 200, 100, 0));  // trunc(32 * 255 / 64)
    // Two half-opaque layers: k = (128 * 127) >> 8 = 63, alpha 127 + 63;
    // red (200 * 127) / 190, green (100 * 127 + 200 * 63) / 190, blue 50 * 63 / 190.
    Pixel8 half{127, 0, 200, 50};
    CompositeCoverage(half, Pixel8{127, 200, 100, 0}, 64);
    EXPECT_EQ(ArgbOf(half), Argb(190, 133, 133, 16));

    Pixel8 dst{200, 1, 2, 3};
    CompositeCoverage(dst, Pixel8{255, 7, 8, 9}, 0);  // no coverage
    CompositeCoverage(dst, Pixel8{1, 7, 8, 9}, 63);   // trunc(63 / 64) = 0
    EXPECT_EQ(ArgbOf(dst), Argb(200, 1, 2, 3));
    CompositeCoverage(dst, Pixel8{255, 7, 8, 9}, 64);  // opaque: replaces
    EXPECT_EQ(ArgbOf(dst), Argb(255, 7, 8, 9));
}

TEST(CompositeCoverage, EightBitQuotientsWithoutDivisionAreExact)
{
    // Every numerator and divisor the 8-bit compositing can meet.
    long wrong = 0;
    for (std::uint32_t d = 1; d <= 255; ++d) {
        for (std::uint32_t n = 0; n <= 255 * d; ++n) {
            wrong += render::Quotient8(n, d) != n / d;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(CompositeCoverage, SixteenBitShiftsBy15)
{
    // k = (16384 * 16384) >> 15 = 8192; red 32768 * 8192 / 24576, green
    // 32768 * 16384 / 24576.
    Pixel16 dst{16384, 32768, 0, 0};
    CompositeCoverage(dst, Pixel16{16384, 0, 32768, 0}, 64);
    EXPECT_EQ(ArgbOf(dst), Argb(24576, 10922, 21845, 0));
    Pixel16 empty{0, 0, 0, 0};
    CompositeCoverage(empty, Pixel16{32768, 1, 2, 3}, 16);
    EXPECT_EQ(empty.alpha, 8192);
}

TEST(CompositeCoverage, FloatIsOverInDoublePrecision)
{
    Pixel32 dst{0.5f, 0, 1, 0};
    CompositeCoverage(dst, Pixel32{1.0f, 1, 0, 0}, 32);  // a = 0.5, k = 0.25
    EXPECT_FLOAT_EQ(dst.alpha, 0.75f);
    EXPECT_FLOAT_EQ(dst.red, static_cast<float>(0.5 / 0.75));
    EXPECT_FLOAT_EQ(dst.green, static_cast<float>(0.25 / 0.75));
    Pixel32 under{0.3f, 0, 0, 0};
    CompositeCoverage(under, Pixel32{1.0f, 0.2f, 0.4f, 0.6f}, 64);  // a = 1: replaced
    EXPECT_EQ(ArgbOf(under), ArgbOf(Pixel32{1.0f, 0.2f, 0.4f, 0.6f}));
}

}  // namespace
