#include <gtest/gtest.h>

#include "effectors/BlendModes.h"

using namespace effectors;
using AEUtil::Pixel16;
using AEUtil::Pixel32;
using AEUtil::Pixel8;

namespace {

using M = BlendMode;

// The source's red blended over an opaque base's red; `alpha` is the
// source's, full scale when left out.
struct Case {
    BlendMode mode;
    double base, source, want, alpha = -1;
};

// Runs the cases at one depth. The destination starts with alpha 33, which
// no blend may touch.
template <typename Pixel>
void ExpectRed(std::initializer_list<Case> cases, double full)
{
    using C = decltype(Pixel{}.red);
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(c.mode) << ", base "
                                        << c.base << ", source " << c.source << " at " << c.alpha);
        const C alpha = C(c.alpha < 0 ? full : c.alpha);
        Pixel dst{33, C(c.base), 0, 0};
        BlendPixel(dst, Pixel{C(full), C(c.base), 0, 0}, Pixel{alpha, C(c.source), 0, 0}, c.mode);
        EXPECT_EQ(dst.red, C(c.want));
        EXPECT_EQ(dst.alpha, 33);
    }
}

TEST(BlendModeFromPopup, SeparatorsAndUnknownValuesAreNormal)
{
    const BlendMode expected[] = {M::Normal, M::Normal,  M::Add,        M::Subtract,  M::Multiply,
                                  M::Screen, M::Overlay, M::HardLight,  M::SoftLight, M::Normal,
                                  M::Darken, M::Lighten, M::Difference, M::Exclusion, M::Normal};
    for (A_long popup = 1; popup <= 15; ++popup) {
        EXPECT_EQ(BlendModeFromPopup(popup), expected[popup - 1]) << popup;
    }
    EXPECT_EQ(BlendModeFromPopup(0), M::Normal);
}

TEST(BlendPixel, EightBitWorkedValues)
{
    // Add 200 + 99 clamps; at alpha 128 the source is weighed: 100 + 50.
    // Subtract 200 - 99, and clamps at 0. Multiply and screen shift by 8, so
    // full scale gives 254. Overlay (127 * 255) >> 7 below 128, and from 128
    // 255 - ((127 * 155) >> 7); hard light likewise on the source. Soft light:
    // sqrt(64/255) * 255 = 127.75, the shadow branch 63.73, the darkening one
    // 173.78. Exclusion (55 * 100 + 155 * 200) >> 8. Normal at alpha 128:
    // wb = (127 * 255) >> 8 = 126, (10 * 126 + 250 * 128) / 254; multiply at
    // alpha 128 composites t = (200 * 100) >> 8 = 78 the same way.
    ExpectRed<Pixel8>({{M::Add, 200, 100, 255},       {M::Add, 100, 100, 150, 128},
                       {M::Subtract, 200, 100, 101},  {M::Subtract, 50, 100, 0},
                       {M::Multiply, 255, 255, 254},  {M::Screen, 255, 0, 254},
                       {M::Overlay, 127, 255, 253},   {M::Overlay, 128, 100, 102},
                       {M::HardLight, 100, 127, 99},  {M::HardLight, 100, 128, 102},
                       {M::SoftLight, 64, 255, 127},  {M::SoftLight, 20, 255, 63},
                       {M::SoftLight, 200, 50, 173},  {M::Darken, 100, 200, 100},
                       {M::Lighten, 100, 200, 200},   {M::Difference, 100, 200, 100},
                       {M::Exclusion, 100, 200, 142}, {M::Normal, 10, 250, 130, 128},
                       {M::Normal, 10, 250, 250},     {M::Multiply, 200, 100, 138, 128}},
                      255);
}

TEST(BlendPixel, SixteenBitWorkedValues)
{
    // Hard light 32768 - 16383; exclusion (22768 * 3000 + 29768 * 10000) >> 15;
    // soft light with the source at half scale returns the base; normal at
    // half alpha: wb = 16384, (1000 + 3001) / 2.
    ExpectRed<Pixel16>({{M::Screen, 0, 0, 0},
                        {M::Screen, 32768, 1234, 32768},
                        {M::Multiply, 32768, 32768, 32768},
                        {M::Add, 30000, 30000, 32768},
                        {M::Overlay, 16384, 16384, 16384},
                        {M::HardLight, 16384, 16385, 16385},
                        {M::Exclusion, 3000, 10000, 11168},
                        {M::SoftLight, 1000, 16384, 1000},
                        {M::SoftLight, 32767, 16384, 32767},
                        {M::Normal, 1000, 3001, 2000, 16384}},
                       32768);
}

TEST(BlendPixel, FloatWorkedValues)
{
    // Hard light is not clamped, overlay is: 1 - 2 * 0.25 * 0.25.
    ExpectRed<Pixel32>({{M::HardLight, 1.0, 0.75, 1.0},
                        {M::HardLight, 0.25, 0.25, 0.125},
                        {M::SoftLight, 0.3, 0.5, 0.3},
                        {M::Add, 0.75, 0.5, 1.0},
                        {M::Add, 0.25, 0.5, 0.5, 0.5},
                        {M::Subtract, 0.25, 0.5, 0.0},
                        {M::Multiply, 2.0, 0.75, 1.0},
                        {M::Screen, 0.5, 0.5, 0.75},
                        {M::Overlay, 0.75, 0.75, 0.875},
                        {M::Difference, 0.25, 0.75, 0.5},
                        {M::Normal, 0.25, 0.5, 0.375, 0.5}},
                       1.0);
}

TEST(BlendPixel, TransparentSourceLeavesTheBaseInEveryMode)
{
    for (A_long id = 1; id <= 12; ++id) {
        const auto mode = static_cast<BlendMode>(id);
        ExpectRed<Pixel8>({{mode, 77, 200, 77, 0}}, 255);
        ExpectRed<Pixel16>({{mode, 7000, 30000, 7000, 0}}, 32768);
        ExpectRed<Pixel32>({{mode, 0.3, 0.9, 0.3, 0}}, 1.0);
    }
}

TEST(BlendPixel, OverATransparentBaseCompositingModesGiveTheTopColour)
{
    // A base of alpha 0 carries no weight: half-transparent and opaque
    // sources give the same colour.
    for (A_long id : {1, 4, 5, 6, 7, 8, 9, 10, 11, 12}) {
        const auto mode = static_cast<BlendMode>(id);
        Pixel8 half{0, 100, 150, 200}, full = half;
        BlendPixel(half, Pixel8{0, 100, 150, 200}, Pixel8{77, 200, 100, 50}, mode);
        BlendPixel(full, Pixel8{0, 100, 150, 200}, Pixel8{255, 200, 100, 50}, mode);
        EXPECT_EQ(half.red, full.red) << id;
        EXPECT_EQ(half.blue, full.blue) << id;
        if (mode == M::Darken) {
            EXPECT_EQ(half.green, 100);  // min(150, 100): the top colour, not the base
        }
        Pixel16 half16{0, 9000, 20000, 32768}, full16 = half16;
        BlendPixel(half16, Pixel16{0, 9000, 20000, 32768}, Pixel16{5, 30000, 100, 16384}, mode);
        BlendPixel(full16, Pixel16{0, 9000, 20000, 32768}, Pixel16{32768, 30000, 100, 16384}, mode);
        EXPECT_EQ(half16.green, full16.green) << id;
    }
}

TEST(BlendPixel, ModesOutsideTheRangeLeaveTheDestination)
{
    for (int id : {0, 13}) {
        Pixel8 dst{1, 2, 3, 4};
        BlendPixel(dst, Pixel8{255, 100, 100, 100}, Pixel8{255, 0, 0, 0},
                   static_cast<BlendMode>(id));
        EXPECT_EQ(dst.red, 2) << id;
        EXPECT_EQ(dst.blue, 4) << id;
    }
}

}  // namespace
