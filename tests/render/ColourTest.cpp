#include <gtest/gtest.h>

#include "RenderTestSupport.h"
#include "colour/Colour.h"

using namespace rendertest;

namespace {

// Hue is scaled by the literal 0.166666666666667, not by 1/6.
constexpr double kSixth = 0.166666666666667;

TEST(RgbToHsv, PrimariesGreysAndANegativeHue)
{
    struct Case {
        double r, g, b, h, s, v;
    };
    // Red largest with blue above green: (0 - 0.5) / 1 = -0.5 sixths, plus a turn.
    for (const Case &c : {Case{1, 0, 0, 0, 1, 1}, Case{0, 1, 0, 2 * kSixth, 1, 1},
                          Case{0, 0, 1, 4 * kSixth, 1, 1}, Case{0.5, 0.5, 0.5, 0, 0, 0.5},
                          Case{0, 0, 0, 0, 0, 0}, Case{1, 0, 0.5, -0.5 * kSixth + 1, 1, 1}}) {
        const colour::Hsv hsv = colour::RgbToHsv(c.r, c.g, c.b);
        EXPECT_EQ(std::make_tuple(hsv.h, hsv.s, hsv.v), std::make_tuple(c.h, c.s, c.v))
            << c.r << "," << c.g << "," << c.b;
    }
}

TEST(WrapHue, WrapsByWholeTurns)
{
    EXPECT_NEAR(colour::WrapHue(0.95 + 0.1), 0.05, 1e-12);
    EXPECT_EQ(colour::WrapHue(-0.25), 0.75);
    EXPECT_EQ(colour::WrapHue(2.5), 0.5);
    EXPECT_EQ(colour::WrapHue(0.0), 0.0);
    // -1 + |-1| + 1: a whole negative turn lands on 1, not 0.
    EXPECT_EQ(colour::WrapHue(-1.0), 1.0);
    EXPECT_EQ(colour::WrapHue(-1.25), 0.75);
}

TEST(HsvToPixel, EightBitRoundsHalfUp)
{
    EXPECT_EQ(ArgbOf(colour::HsvToPixel<Pixel8>(0, 1, 1, 1)), Argb(255, 255, 0, 0));
    // Cyan: sector 3 with f = 0 gives (p, q, v) = (0, 1, 1); alpha 127.5 + 0.5.
    EXPECT_EQ(ArgbOf(colour::HsvToPixel<Pixel8>(0.5, 1, 1, 0.5)), Argb(128, 0, 255, 255));
    // Sector 1 at f = 0.5: q = 0.5 -> 128.
    EXPECT_EQ(ArgbOf(colour::HsvToPixel<Pixel8>(0.25, 1, 1, 1)), Argb(255, 128, 255, 0));
    // h - trunc(h) = -0.5 gives sector -3, outside 0..5: black.
    EXPECT_EQ(ArgbOf(colour::HsvToPixel<Pixel8>(-0.5, 1, 1, 1)), Argb(255, 0, 0, 0));
}

TEST(HsvToPixel, ProductIsTakenInSinglePrecision)
{
    // In double these values times full scale stay just below 1.5 and 997.5;
    // rounded to float first, the products reach them and round up.
    const double x = 0.005882352823851654;
    ASSERT_EQ(static_cast<int>(x * 255 + 0.5), 1);
    EXPECT_EQ(colour::HsvToPixel<Pixel8>(0, 0, x, 1).red, 2);
    const double x16 = 0.030441284122844081;
    ASSERT_EQ(static_cast<int>(x16 * 32768 + 0.5), 997);
    EXPECT_EQ(colour::HsvToPixel<Pixel16>(0, 0, x16, 1).green, 998);
}

TEST(HsvToPixel, SixteenBitAndFloatScales)
{
    EXPECT_EQ(ArgbOf(colour::HsvToPixel<Pixel16>(1.0 / 3, 1, 1, 1)), Argb(32768, 0, 32768, 0));
    EXPECT_EQ(ArgbOf(colour::HsvToPixel<Pixel16>(0, 0, 0.5, 0.25)),
              Argb(8192, 16384, 16384, 16384));
    const Pixel32 p = colour::HsvToPixel<Pixel32>(0, 0.5, 0.8, 0.3);
    EXPECT_EQ(ArgbOf(p), Argb(0.3f, 0.8f, 0.4f, 0.4f));
}

TEST(ShiftHue, TurnsTheHueAndMakesTheColourOpaque)
{
    EXPECT_EQ(ArgbOf(colour::ShiftHue(Pixel8{10, 255, 0, 0}, 0.5)), Argb(255, 0, 255, 255));
    EXPECT_EQ(ArgbOf(colour::ShiftHue(Pixel16{0, 32768, 0, 0}, 0.25)),
              Argb(32768, 16384, 32768, 0));
    // Blue turned back by two thirds wraps from -0 to 0: red.
    const Pixel32 c32 = colour::ShiftHue(Pixel32{0.5f, 0, 0, 1}, -2.0 / 3);
    EXPECT_FLOAT_EQ(c32.alpha, 1.0f);
    EXPECT_NEAR(c32.red, 1.0f, 1e-6);
    EXPECT_NEAR(c32.green, 0.0f, 1e-6);
}

TEST(FromPixel8, ConvertsTheColourParameterToEachDepth)
{
    const Pixel8 c{255, 128, 51, 0};
    // trunc(128 / 255 * 32768) = trunc(16448.25); 51 / 255 = 0.2.
    EXPECT_EQ(ArgbOf(colour::FromPixel8<Pixel16>(c)), Argb(32768, 16448, 6553, 0));
    EXPECT_FLOAT_EQ(colour::FromPixel8<Pixel32>(c).green, 0.2f);
    EXPECT_EQ(ArgbOf(colour::FromPixel8<Pixel8>(c)), ArgbOf(c));
}

}  // namespace
