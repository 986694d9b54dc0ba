#include <gtest/gtest.h>

#include "effectors/BlendModes.h"

using namespace effectors;
using AEUtil::Pixel16;
using AEUtil::Pixel32;
using AEUtil::Pixel8;

namespace {

// Red channel of `base` blended with `source`; the destination starts as the
// base with alpha 33, which the blend must not touch.
template <typename Pixel>
Pixel Blend(Pixel base, Pixel source, BlendMode mode)
{
    Pixel dst = base;
    dst.alpha = 33;
    BlendPixel(dst, base, source, mode);
    EXPECT_EQ(dst.alpha, 33);
    return dst;
}

int Red8(int b, int s, BlendMode mode, int alpha = 255)
{
    return Blend(Pixel8{255, static_cast<A_u_char>(b), 0, 0},
                 Pixel8{static_cast<A_u_char>(alpha), static_cast<A_u_char>(s), 0, 0}, mode)
        .red;
}

int Red16(int b, int s, BlendMode mode, int alpha = 32768)
{
    return Blend(Pixel16{32768, static_cast<A_u_short>(b), 0, 0},
                 Pixel16{static_cast<A_u_short>(alpha), static_cast<A_u_short>(s), 0, 0}, mode)
        .red;
}

float RedF(float b, float s, BlendMode mode, float alpha = 1.0f)
{
    return Blend(Pixel32{1.0f, b, 0, 0}, Pixel32{alpha, s, 0, 0}, mode).red;
}

TEST(BlendModeFromPopup, SeparatorsAndUnknownValuesAreNormal)
{
    const BlendMode expected[] = {BlendMode::Normal,     BlendMode::Normal,    BlendMode::Add,
                                  BlendMode::Subtract,   BlendMode::Multiply,  BlendMode::Screen,
                                  BlendMode::Overlay,    BlendMode::HardLight, BlendMode::SoftLight,
                                  BlendMode::Normal,     BlendMode::Darken,    BlendMode::Lighten,
                                  BlendMode::Difference, BlendMode::Exclusion};
    for (A_long popup = 1; popup <= 14; ++popup) {
        EXPECT_EQ(BlendModeFromPopup(popup), expected[popup - 1]) << popup;
    }
    EXPECT_EQ(BlendModeFromPopup(0), BlendMode::Normal);
    EXPECT_EQ(BlendModeFromPopup(15), BlendMode::Normal);
}

TEST(BlendPixel8, WorkedValues)
{
    EXPECT_EQ(Red8(200, 100, BlendMode::Add), 255);       // 200 + 99, clamped
    EXPECT_EQ(Red8(100, 100, BlendMode::Add, 128), 150);  // source weighed by alpha
    EXPECT_EQ(Red8(200, 100, BlendMode::Subtract), 101);  // 200 - 99
    EXPECT_EQ(Red8(50, 100, BlendMode::Subtract), 0);     // clamped
    EXPECT_EQ(Red8(255, 255, BlendMode::Multiply), 254);  // >> 8, not / 255
    EXPECT_EQ(Red8(255, 0, BlendMode::Screen), 254);      //
    EXPECT_EQ(Red8(127, 255, BlendMode::Overlay), 253);   // (127 * 255) >> 7
    EXPECT_EQ(Red8(128, 255, BlendMode::Overlay), 255);
    EXPECT_EQ(Red8(128, 100, BlendMode::Overlay),
              102);  // 255 - ((127 * 155) >> 7)     // upper branch from 128
    EXPECT_EQ(Red8(100, 127, BlendMode::HardLight), 99);    // (100 * 127) >> 7
    EXPECT_EQ(Red8(100, 128, BlendMode::HardLight), 102);   // 255 - ((155 * 127) >> 7)
    EXPECT_EQ(Red8(64, 255, BlendMode::SoftLight), 127);    // sqrt(64/255) * 255 = 127.75
    EXPECT_EQ(Red8(20, 255, BlendMode::SoftLight), 63);     // shadow branch, 63.73
    EXPECT_EQ(Red8(200, 50, BlendMode::SoftLight), 173);    // darkening branch, 173.78
    EXPECT_EQ(Red8(100, 200, BlendMode::Darken), 100);      //
    EXPECT_EQ(Red8(100, 200, BlendMode::Lighten), 200);     //
    EXPECT_EQ(Red8(100, 200, BlendMode::Difference), 100);  //
    EXPECT_EQ(Red8(100, 200, BlendMode::Exclusion), 142);   // (55*100 + 155*200) >> 8
}

TEST(BlendPixel8, NormalAtHalfAlphaOverOpaqueBase)
{
    // wb = (127 * 255) >> 8 = 126; (10 * 126 + 250 * 128) / 254 = 130.
    EXPECT_EQ(Red8(10, 250, BlendMode::Normal, 128), 130);
    EXPECT_EQ(Red8(10, 250, BlendMode::Normal, 255), 250);
    // Multiply composites its result the same way: t = (200 * 100) >> 8 = 78.
    EXPECT_EQ(Red8(200, 100, BlendMode::Multiply, 128), 138);  // (200 * 126 + 78 * 128) / 254
}

TEST(BlendPixel, TransparentSourceLeavesTheBaseInEveryMode)
{
    for (A_long id = 1; id <= 12; ++id) {
        const auto mode = static_cast<BlendMode>(id);
        EXPECT_EQ(Red8(77, 200, mode, 0), 77) << id;
        EXPECT_EQ(Red16(7000, 30000, mode, 0), 7000) << id;
        EXPECT_EQ(RedF(0.3f, 0.9f, mode, 0.0f), 0.3f) << id;
    }
}

TEST(BlendPixel, OverATransparentBaseCompositingModesGiveTheTopColour)
{
    // Over a base of alpha 0 the base carries no weight, so a half-transparent
    // source gives the same colour as an opaque one.
    for (A_long id : {1, 4, 5, 6, 7, 8, 9, 10, 11, 12}) {
        const auto mode = static_cast<BlendMode>(id);
        const Pixel8 base8{0, 100, 150, 200};
        const Pixel8 half8 = Blend(base8, Pixel8{77, 200, 100, 50}, mode);
        const Pixel8 full8 = Blend(base8, Pixel8{255, 200, 100, 50}, mode);
        EXPECT_EQ(half8.red, full8.red) << id;
        EXPECT_EQ(half8.blue, full8.blue) << id;
        const Pixel16 base16{0, 9000, 20000, 32768};
        const Pixel16 half16 = Blend(base16, Pixel16{5, 30000, 100, 16384}, mode);
        const Pixel16 full16 = Blend(base16, Pixel16{32768, 30000, 100, 16384}, mode);
        EXPECT_EQ(half16.green, full16.green) << id;
        EXPECT_EQ(half16.blue, full16.blue) << id;
    }
    EXPECT_EQ(Blend(Pixel8{0, 100, 150, 200}, Pixel8{77, 200, 100, 50}, BlendMode::Darken).green,
              100);
}

TEST(BlendPixel, ModesOutsideTheRangeLeaveTheDestination)
{
    Pixel8 dst{1, 2, 3, 4};
    BlendPixel(dst, Pixel8{255, 100, 100, 100}, Pixel8{255, 0, 0, 0}, static_cast<BlendMode>(13));
    EXPECT_EQ(dst.red, 2);
    BlendPixel(dst, Pixel8{255, 100, 100, 100}, Pixel8{255, 0, 0, 0}, static_cast<BlendMode>(0));
    EXPECT_EQ(dst.blue, 4);
}

TEST(BlendPixel16, WorkedValues)
{
    EXPECT_EQ(Red16(0, 0, BlendMode::Screen), 0);
    EXPECT_EQ(Red16(32768, 1234, BlendMode::Screen), 32768);
    EXPECT_EQ(Red16(32768, 32768, BlendMode::Multiply), 32768);
    EXPECT_EQ(Red16(30000, 30000, BlendMode::Add), 32768);
    EXPECT_EQ(Red16(16384, 16384, BlendMode::Overlay), 16384);
    EXPECT_EQ(Red16(16384, 16385, BlendMode::HardLight), 16385);  // 32768 - 16383
    EXPECT_EQ(Red16(3000, 10000, BlendMode::Exclusion), 11168);  // (22768*3000 + 29768*10000) >> 15
    // Soft light with the source at half scale returns the base.
    for (int b : {0, 1000, 16384, 32767}) {
        EXPECT_EQ(Red16(b, 16384, BlendMode::SoftLight), b) << b;
    }
    // Normal at half alpha over an opaque base: wb = 16384, (1000 + 3001) / 2.
    EXPECT_EQ(Red16(1000, 3001, BlendMode::Normal, 16384), 2000);
}

TEST(BlendPixelFloat, WorkedValues)
{
    EXPECT_EQ(RedF(1.0f, 0.75f, BlendMode::HardLight), 1.0f);
    EXPECT_EQ(RedF(0.25f, 0.25f, BlendMode::HardLight), 0.125f);
    EXPECT_EQ(RedF(0.3f, 0.5f, BlendMode::SoftLight), 0.3f);
    EXPECT_EQ(RedF(0.75f, 0.5f, BlendMode::Add), 1.0f);
    EXPECT_EQ(RedF(0.25f, 0.5f, BlendMode::Add, 0.5f), 0.5f);
    EXPECT_EQ(RedF(0.25f, 0.5f, BlendMode::Subtract), 0.0f);
    EXPECT_EQ(RedF(2.0f, 0.75f, BlendMode::Multiply), 1.0f);
    EXPECT_EQ(RedF(0.5f, 0.5f, BlendMode::Screen), 0.75f);
    EXPECT_EQ(RedF(0.75f, 0.75f, BlendMode::Overlay), 0.875f);  // 1 - 2 * 0.25 * 0.25
    EXPECT_EQ(RedF(0.25f, 0.5f, BlendMode::Normal, 0.5f), 0.375f);
}

}  // namespace
