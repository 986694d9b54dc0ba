#include <gtest/gtest.h>

#include "RenderTestSupport.h"
#include "render/Colour.h"

using namespace rendertest;

namespace {

TEST(RgbToHsv, PrimariesAndGreys)
{
    colour::Hsv red = colour::RgbToHsv(1, 0, 0);
    EXPECT_EQ(red.h, 0.0);
    EXPECT_EQ(red.s, 1.0);
    EXPECT_EQ(red.v, 1.0);

    // Hue is scaled by the literal 0.166666666666667, not by 1/6.
    EXPECT_EQ(colour::RgbToHsv(0, 1, 0).h, 2 * 0.166666666666667);
    EXPECT_EQ(colour::RgbToHsv(0, 0, 1).h, 4 * 0.166666666666667);

    colour::Hsv grey = colour::RgbToHsv(0.5, 0.5, 0.5);
    EXPECT_EQ(grey.h, 0.0);
    EXPECT_EQ(grey.s, 0.0);
    EXPECT_EQ(grey.v, 0.5);

    colour::Hsv black = colour::RgbToHsv(0, 0, 0);
    EXPECT_EQ(black.s, 0.0);
    EXPECT_EQ(black.v, 0.0);
}

TEST(RgbToHsv, NegativeHueTurnsPositive)
{
    // Red is largest, blue above green: (0 - 0.5) / 1 = -0.5 sixths.
    colour::Hsv c = colour::RgbToHsv(1, 0, 0.5);
    EXPECT_EQ(c.h, -0.5 * 0.166666666666667 + 1);
    EXPECT_EQ(c.s, 1.0);
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
    Pixel8 red = colour::HsvToPixel<Pixel8>(0, 1, 1, 1);
    EXPECT_EQ(red.alpha, 255);
    EXPECT_EQ(red.red, 255);
    EXPECT_EQ(red.green, 0);
    EXPECT_EQ(red.blue, 0);

    // Cyan: sector 3 with f = 0 gives (p, q, v) = (0, 1, 1).
    Pixel8 cyan = colour::HsvToPixel<Pixel8>(0.5, 1, 1, 0.5);
    EXPECT_EQ(cyan.red, 0);
    EXPECT_EQ(cyan.green, 255);
    EXPECT_EQ(cyan.blue, 255);
    EXPECT_EQ(cyan.alpha, 128);  // 127.5 + 0.5

    // Sector 1 at f = 0.5: q = 0.5 -> 128.
    Pixel8 orange = colour::HsvToPixel<Pixel8>(0.25, 1, 1, 1);
    EXPECT_EQ(orange.red, 128);
    EXPECT_EQ(orange.green, 255);
    EXPECT_EQ(orange.blue, 0);
}

TEST(HsvToPixel, ProductIsTakenInSinglePrecision)
{
    // In double this value times 255 stays just below 1.5; rounded to float
    // first, the product reaches 1.5 and the channel becomes 2.
    const double x = 0.005882352823851654;
    ASSERT_EQ(static_cast<int>(x * 255 + 0.5), 1);
    EXPECT_EQ(colour::HsvToPixel<Pixel8>(0, 0, x, 1).red, 2);

    const double x16 = 0.030441284122844081;
    ASSERT_EQ(static_cast<int>(x16 * 32768 + 0.5), 997);
    EXPECT_EQ(colour::HsvToPixel<Pixel16>(0, 0, x16, 1).green, 998);
}

TEST(HsvToPixel, SixteenBitUsesFullScale32768)
{
    Pixel16 p = colour::HsvToPixel<Pixel16>(1.0 / 3, 1, 1, 1);
    EXPECT_EQ(p.alpha, 32768);
    EXPECT_EQ(p.green, 32768);
    Pixel16 grey = colour::HsvToPixel<Pixel16>(0, 0, 0.5, 0.25);
    EXPECT_EQ(grey.red, 16384);  // trunc(16384 + 0.5)
    EXPECT_EQ(grey.alpha, 8192);
}

TEST(HsvToPixel, FloatStoresValuesAsTheyAre)
{
    Pixel32 p = colour::HsvToPixel<Pixel32>(0, 0.5, 0.8, 0.3);
    EXPECT_FLOAT_EQ(p.red, 0.8f);
    EXPECT_FLOAT_EQ(p.green, 0.4f);
    EXPECT_FLOAT_EQ(p.blue, 0.4f);
    EXPECT_FLOAT_EQ(p.alpha, 0.3f);
}

TEST(HsvToPixel, SectorOutsideZeroToFiveIsBlack)
{
    // h - trunc(h) = -0.5 -> sector -3.
    Pixel8 p = colour::HsvToPixel<Pixel8>(-0.5, 1, 1, 1);
    EXPECT_EQ(p.red, 0);
    EXPECT_EQ(p.green, 0);
    EXPECT_EQ(p.blue, 0);
    EXPECT_EQ(p.alpha, 255);
}

TEST(PixelToHsv, ScalesEachDepthToUnit)
{
    EXPECT_EQ(colour::PixelToHsv(Pixel8{0, 255, 0, 0}).v, 1.0);
    EXPECT_EQ(colour::PixelToHsv(Pixel16{0, 0, 16384, 0}).v, 0.5);
    EXPECT_EQ(colour::PixelToHsv(Pixel32{0, 0, 0, 0.25f}).v, 0.25);
}

TEST(ShiftHue, HalfTurnMakesRedCyanAndOpaque)
{
    Pixel8 red{10, 255, 0, 0};
    Pixel8 c = colour::ShiftHue(red, 0.5);
    EXPECT_EQ(c.alpha, 255);
    EXPECT_EQ(c.red, 0);
    EXPECT_EQ(c.green, 255);
    EXPECT_EQ(c.blue, 255);

    Pixel16 red16{0, 32768, 0, 0};
    Pixel16 c16 = colour::ShiftHue(red16, 0.25);
    EXPECT_EQ(c16.alpha, 32768);
    EXPECT_EQ(c16.red, 16384);
    EXPECT_EQ(c16.green, 32768);
    EXPECT_EQ(c16.blue, 0);

    Pixel32 blue{0.5f, 0, 0, 1};
    Pixel32 c32 = colour::ShiftHue(blue, -2.0 / 3);  // wraps from -0 to 0
    EXPECT_FLOAT_EQ(c32.alpha, 1.0f);
    EXPECT_NEAR(c32.red, 1.0f, 1e-6);
    EXPECT_NEAR(c32.green, 0.0f, 1e-6);
}

TEST(FromPixel8, ConvertsTheColourParameterToEachDepth)
{
    const Pixel8 c{255, 128, 51, 0};
    Pixel16 p16 = colour::FromPixel8<Pixel16>(c);
    EXPECT_EQ(p16.alpha, 32768);
    EXPECT_EQ(p16.red, 16448);  // trunc(128 / 255 * 32768) = trunc(16448.25)
    EXPECT_EQ(p16.green, 6553);
    EXPECT_EQ(p16.blue, 0);
    Pixel32 p32 = colour::FromPixel8<Pixel32>(c);
    EXPECT_FLOAT_EQ(p32.green, 0.2f);
    Pixel8 p8 = colour::FromPixel8<Pixel8>(c);
    EXPECT_EQ(p8.red, 128);
}

}  // namespace
