#include <gtest/gtest.h>

#include "RenderTestSupport.h"
#include "effectors/EffectorStep.h"
#include "render/DotAttributes.h"
#include "render/RenderDots.h"

using namespace rendertest;

namespace {

// The dot a record (its effectors all off) makes at (x, y) on a 100 x 100
// canvas, drawing from `rng`.
template <typename Pixel>
DotRecord<Pixel> MakeDot(const RenderRecord &r, double x, double y, DotRng rng = DotRng(0))
{
    const DotLattice lattice = DotLattice::FromRecord(r, 100, 100);
    effectors::EffectorSet<Pixel> fx(r, 100, 100);
    return DotAttributes<Pixel>(r, lattice).Make(x, y, rng, fx);
}

// The variation of amount a that a draw of n gives.
double Var(double a, std::uint32_t n)
{
    return ((a - (-a)) * n) * (1.0 / 65536.0) + (-a);
}

TEST(DotAttributes, JitterIsAFractionOfThePitch)
{
    RenderRecord r = QuietRecord(50, 50);
    r.DotSpacingY = 10;
    r.RandomSpacingX = 0.5;
    r.RandomSpacingY = 0.25;
    const DotRecord<Pixel8> d = MakeDot<Pixel8>(r, 50, 50, RngGiving(1, 0));
    EXPECT_EQ(d.x, 50 - 0.5 * 20);
    EXPECT_EQ(d.y, 50 + Var(0.25, 7) * 10);  // the draw after 0 is 7
}

TEST(DotAttributes, OpacityAboveOneIsReflectedAtEachDepth)
{
    RenderRecord r = QuietRecord();
    r.DotOpacity = 80;
    r.RandomOpacity = 0.5;
    // Draw 6 gives +0.39999: 0.8 + 0.39999 = 1.19999 comes back as 0.80001.
    const std::uint32_t n = 58982;
    const double o = 2 - (0.8 + Var(0.5, n));
    EXPECT_EQ(MakeDot<Pixel8>(r, 0, 0, RngGiving(6, n)).colour.alpha, 204);
    EXPECT_EQ(MakeDot<Pixel16>(r, 0, 0, RngGiving(6, n)).colour.alpha, static_cast<int>(o * 32768));
    EXPECT_EQ(MakeDot<Pixel32>(r, 0, 0, RngGiving(6, n)).colour.alpha, static_cast<float>(o));
}

TEST(DotAttributes, OpacityIsClampedToZeroAndOne)
{
    RenderRecord r = QuietRecord();
    r.DotOpacity = 10;
    r.RandomOpacity = 0.5;  // draw 6 gives -0.5
    EXPECT_EQ(MakeDot<Pixel8>(r, 0, 0, RngGiving(6, 0)).colour.alpha, 0);
    r.DotOpacity = 250;  // clamped to 1 before the variation
    r.RandomOpacity = 0;
    EXPECT_EQ(MakeDot<Pixel8>(r, 0, 0).colour.alpha, 255);
}

TEST(DotAttributes, HueWrapsAndSaturationAndValueReflect)
{
    RenderRecord r = QuietRecord();
    r.DotColor = PF_Pixel{255, 255, 0, 0};
    r.RandomHue = 180 << 16;  // half a turn either way
    // Draw 7 gives -0.25: red's hue 0 wraps to 0.75, a violet.
    EXPECT_EQ(ArgbOf(MakeDot<Pixel8>(r, 0, 0, RngGiving(7, 16384)).colour), Argb(255, 128, 0, 255));

    r = QuietRecord();
    r.RandomSaturation = 50;
    // Draw 8 gives -0.5: white's saturation 0 becomes |0 - 0.5| = 0.5.
    EXPECT_EQ(ArgbOf(MakeDot<Pixel8>(r, 0, 0, RngGiving(8, 0)).colour), Argb(255, 255, 128, 128));

    r = QuietRecord();
    r.DotColor = PF_Pixel{255, 255, 0, 0};
    r.RandomValue = 100;
    // Draw 9 gives +0.5: value 1.5 comes back as 0.5.
    EXPECT_EQ(ArgbOf(MakeDot<Pixel8>(r, 0, 0, RngGiving(9, 49152)).colour), Argb(255, 128, 0, 0));
}

TEST(DotAttributes, ReflectFoldsIntoZeroToOne)
{
    EXPECT_NEAR(DotAttributes<Pixel8>::Reflect(0.9 + 0.3), 0.8, 1e-12);
    EXPECT_NEAR(DotAttributes<Pixel8>::Reflect(0.1 - 0.4), 0.3, 1e-12);
    EXPECT_NEAR(DotAttributes<Pixel8>::Reflect(2.3), 0.3, 1e-12);
    EXPECT_EQ(DotAttributes<Pixel8>::Reflect(1.0), 1.0);
    EXPECT_EQ(DotAttributes<Pixel8>::Reflect(2.0), 0.0);
}

TEST(DotAttributes, BaseColourPassesThroughHsvAndLosesItsAlpha)
{
    RenderRecord r = QuietRecord();
    r.DotColor = PF_Pixel{40, 10, 20, 30};
    r.DotOpacity = 50;
    // Alpha trunc(0.5 * 255), not the colour's 40; at 16 bits trunc(c / 255 * 32768).
    EXPECT_EQ(ArgbOf(MakeDot<Pixel8>(r, 0, 0).colour), Argb(127, 10, 20, 30));
    EXPECT_EQ(ArgbOf(MakeDot<Pixel16>(r, 0, 0).colour), Argb(16384, 1285, 2570, 3855));
    EXPECT_FLOAT_EQ(MakeDot<Pixel32>(r, 0, 0).colour.green, 20 / 255.0f);
}

TEST(DotAttributes, SizeAndAspect)
{
    struct Case {
        double aspect, randomAspect, randomSize;
        DotRng rng;
        double width, height;
    };
    // Draw 3 gives -2 times the size: 10 - 20 stops at 0. Draw 4 gives
    // +0.99997 to the aspect: 1.79997 counts as 1.
    const Case cases[] = {{0, 0, 2, RngGiving(3, 0), 0, 0}, {-100, 0, 0, DotRng(0), 0, 10},
                          {100, 0, 0, DotRng(0), 10, 0},    {50, 0, 0, DotRng(0), 10, 5},
                          {250, 0, 0, DotRng(0), 10, 0},    {80, 1, 0, RngGiving(4, 65535), 10, 0}};
    for (const Case &c : cases) {
        RenderRecord r = QuietRecord();
        r.DotAspect = c.aspect;
        r.RandomAspect = c.randomAspect;
        r.RandomSize = c.randomSize;
        const DotRecord<Pixel8> d = MakeDot<Pixel8>(r, 0, 0, c.rng);
        EXPECT_EQ(std::make_pair(d.width, d.height), std::make_pair(c.width, c.height))
            << "aspect " << c.aspect;
    }
}

TEST(DotAttributes, RotationTypes)
{
    RenderRecord r = QuietRecord(50, 50);
    r.DotRotation = 30 << 16;
    r.GlobalRotation = 45 << 16;
    r.GlobalRotationCenter = 2;
    r.Effectors[0].position = FixedPoint{60 << 16, 40 << 16};
    const double base = 30.0 * 0.017453292519943295;
    const double global = 45.0 * 0.017453292519943295;

    r.RotationType = 1;  // Normal: turns with the lattice
    EXPECT_EQ(MakeDot<Pixel8>(r, 10, 10).rotation, base + global);
    r.RotationType = 3;  // Fixed Dot Angle
    EXPECT_EQ(MakeDot<Pixel8>(r, 10, 10).rotation, base);
    r.RandomRotation = 0.25;  // in turns: draw 5 gives -0.25
    EXPECT_EQ(MakeDot<Pixel8>(r, 10, 10, RngGiving(5, 0)).rotation, base - 0.25 * (2 * kPi));
    r.RandomRotation = 0;
    r.RotationType = 2;  // Toward Center: the rotation centre, here effector 1
    EXPECT_EQ(MakeDot<Pixel8>(r, 70, 40).rotation, base + (0 - kPi / 2));        // right of it
    EXPECT_EQ(MakeDot<Pixel8>(r, 60, 50).rotation, base + (kPi / 2 - kPi / 2));  // below
    EXPECT_EQ(MakeDot<Pixel8>(r, 60, 40).rotation, base);                        // on it
}

TEST(DotAttributes, FrontDistanceToTheGridCentre)
{
    RenderRecord r = QuietRecord(50, 50);
    EXPECT_EQ(MakeDot<Pixel8>(r, 53, 54).front, -1);
    r.CenterDotToFront = 1;
    EXPECT_EQ(MakeDot<Pixel8>(r, 50, 50).front, 0);
    // Front ordering lasts while every dot made has a front distance.
    const DotLattice lattice = DotLattice::FromRecord(r, 100, 100);
    effectors::EffectorSet<Pixel8> fx(r, 100, 100);
    DotAttributes<Pixel8> on(r, lattice);
    DotRng rng(0);
    EXPECT_EQ(on.Make(53, 54, rng, fx).front, 25);
    EXPECT_TRUE(on.FrontOrdering());
    r.CenterDotToFront = 0;
    DotAttributes<Pixel8> off(r, lattice);
    off.Make(53, 54, rng, fx);
    EXPECT_FALSE(off.FrontOrdering());
}

TEST(DotAttributes, DrawsAndCullsFollowTheWalk)
{
    // Ring 0 is used; ring 1 starts with a culled cell, then a used one. A
    // used cell takes nine draws, a culled one the culling step.
    RenderRecord r = QuietRecord(-25, 50);
    r.RandomSpacingX = 0.5;  // margins 30
    r.RandomSpacingY = 0.5;
    r.RandomSeed = 4321;
    const auto layout = LayOutDots<Pixel8>(r, 100, 100);
    ASSERT_GE(layout.dots.size(), 2u);

    DotRng e;
    e.Seed(4321);
    const double x0 = -25 + e.Variation(0.5) * 20;
    const double y0 = 50 + e.Variation(0.5) * 20;
    for (int i = 0; i < 7; ++i) e.Next();
    e.Cull();  // (-45, 30) lies left of -30
    const double x1 = -25 + e.Variation(0.5) * 20;
    const double y1 = 30 + e.Variation(0.5) * 20;
    EXPECT_EQ(
        std::make_tuple(layout.dots[0].x, layout.dots[0].y, layout.dots[1].x, layout.dots[1].y),
        std::make_tuple(x0, y0, x1, y1));
}

}  // namespace
