#include <gtest/gtest.h>

#include <cmath>

#include "RenderTestSupport.h"
#include "effectors/EffectorStep.h"
#include "render/DotAttributes.h"
#include "render/RenderDots.h"

using namespace rendertest;

namespace {

constexpr double kPi = 3.14159265358979323846;

// One dot of a record whose effectors are all off, computed at (x, y).
template <typename Pixel>
struct OneDot {
    RenderRecord record;
    DotLattice lattice;
    explicit OneDot(const RenderRecord &r) : record(r)
    {
        lattice = DotLattice::FromRecord(record, 100, 100);
    }
    DotRecord<Pixel> At(double x, double y, DotRng rng)
    {
        effectors::EffectorSet<Pixel> fx(record, 100, 100);
        DotAttributes<Pixel> attributes(record, lattice);
        return attributes.Make(x, y, rng, fx);
    }
};

// The variation of amount a that a draw of n gives.
double Var(double a, std::uint32_t n)
{
    return ((a - (-a)) * n) * (1.0 / 65536.0) + (-a);
}

TEST(DotAttributes, NineDrawsPerDot)
{
    RenderRecord r = QuietRecord(50, 50);
    OneDot<Pixel8> one(r);
    DotRng rng(1234);
    DotRng expected(1234);
    for (int i = 0; i < 9; ++i) expected.Next();
    effectors::EffectorSet<Pixel8> fx(r, 100, 100);
    DotAttributes<Pixel8> attributes(r, one.lattice);
    attributes.Make(50, 50, rng, fx);
    EXPECT_EQ(rng.State(), expected.State());
}

TEST(DotAttributes, JitterIsAFractionOfThePitch)
{
    RenderRecord r = QuietRecord(50, 50);
    r.DotSpacingX = 20;
    r.DotSpacingY = 10;
    r.RandomSpacingX = 0.5;
    r.RandomSpacingY = 0.25;
    OneDot<Pixel8> one(r);
    DotRng rng = RngGiving(1, 0);
    DotRecord<Pixel8> d = one.At(50, 50, rng);
    EXPECT_EQ(d.x, 50 - 0.5 * 20);
    const std::uint32_t second = (0u * 2061u + 7u);  // the draw after 0
    EXPECT_EQ(d.y, 50 + Var(0.25, second) * 10);
}

TEST(DotAttributes, OpacityAboveOneIsReflected)
{
    RenderRecord r = QuietRecord();
    r.DotOpacity = 80;
    r.RandomOpacity = 0.5;
    // Draw 6 gives +0.39999: 0.8 + 0.39999 = 1.19999 comes back as 0.80001.
    const std::uint32_t n = 58982;
    const double o = 0.8 + Var(0.5, n);
    ASSERT_GT(o, 1.19);
    Pixel8 c8 = OneDot<Pixel8>(r).At(0, 0, RngGiving(6, n)).colour;
    EXPECT_EQ(c8.alpha, static_cast<int>((2 - o) * 255));
    EXPECT_EQ(c8.alpha, 204);
    Pixel16 c16 = OneDot<Pixel16>(r).At(0, 0, RngGiving(6, n)).colour;
    EXPECT_EQ(c16.alpha, static_cast<int>((2 - o) * 32768));
    Pixel32 c32 = OneDot<Pixel32>(r).At(0, 0, RngGiving(6, n)).colour;
    EXPECT_EQ(c32.alpha, static_cast<float>(2 - o));
}

TEST(DotAttributes, OpacityStaysWithinItsReflectedRange)
{
    RenderRecord r = QuietRecord(50, 50);
    r.DotSpacingX = 5;
    r.DotSpacingY = 5;
    r.DotOpacity = 80;
    r.RandomOpacity = 0.5;
    r.RandomSeed = 77;
    int above = 0;
    auto layout = LayOutDots<Pixel8>(r, 100, 100);
    ASSERT_GT(layout.dots.size(), 400u);
    for (const auto &d : layout.dots) {
        ASSERT_GE(d.colour.alpha, 76);  // trunc(0.3 * 255)
        if (d.colour.alpha > 204) ++above;
    }
    EXPECT_GT(above, 0);
}

TEST(DotAttributes, NegativeOpacityBecomesZero)
{
    RenderRecord r = QuietRecord();
    r.DotOpacity = 10;
    r.RandomOpacity = 0.5;
    EXPECT_EQ(OneDot<Pixel8>(r).At(0, 0, RngGiving(6, 0)).colour.alpha, 0);
    r.DotOpacity = 250;  // clamped to 1 before the variation
    r.RandomOpacity = 0;
    EXPECT_EQ(OneDot<Pixel8>(r).At(0, 0, RngGiving(6, 0)).colour.alpha, 255);
}

TEST(DotAttributes, HueVariationWrapsBelowZero)
{
    RenderRecord r = QuietRecord();
    r.DotColor = PF_Pixel{255, 255, 0, 0};
    r.RandomHue = 180 << 16;  // half a turn either way
    // Draw 7 gives -0.25: red's hue 0 wraps to 0.75, a violet.
    Pixel8 c = OneDot<Pixel8>(r).At(0, 0, RngGiving(7, 16384)).colour;
    EXPECT_EQ(c.red, 128);
    EXPECT_EQ(c.green, 0);
    EXPECT_EQ(c.blue, 255);
}

TEST(DotAttributes, SaturationAndValueReflectIntoZeroToOne)
{
    RenderRecord r = QuietRecord();
    r.DotColor = PF_Pixel{255, 255, 255, 255};
    r.RandomSaturation = 50;
    // Draw 8 gives -0.5: white's saturation 0 becomes |0 - 0.5| = 0.5.
    Pixel8 c = OneDot<Pixel8>(r).At(0, 0, RngGiving(8, 0)).colour;
    EXPECT_EQ(c.red, 255);
    EXPECT_EQ(c.green, 128);
    EXPECT_EQ(c.blue, 128);

    r = QuietRecord();
    r.DotColor = PF_Pixel{255, 255, 0, 0};
    r.RandomValue = 100;
    // Draw 9 gives +0.5: value 1.5 comes back as 0.5.
    c = OneDot<Pixel8>(r).At(0, 0, RngGiving(9, 49152)).colour;
    EXPECT_EQ(c.red, 128);
    EXPECT_EQ(c.green, 0);
}

TEST(DotAttributes, Reflect)
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
    Pixel8 c = OneDot<Pixel8>(r).At(0, 0, DotRng(0)).colour;
    EXPECT_EQ(c.alpha, 127);  // trunc(0.5 * 255), not the colour's 40
    EXPECT_EQ(c.red, 10);
    EXPECT_EQ(c.green, 20);
    EXPECT_EQ(c.blue, 30);

    Pixel16 c16 = OneDot<Pixel16>(r).At(0, 0, DotRng(0)).colour;
    EXPECT_EQ(c16.alpha, 16384);
    EXPECT_EQ(c16.red, 1285);  // trunc(10 / 255 * 32768)
    EXPECT_EQ(c16.blue, 3855);

    Pixel32 c32 = OneDot<Pixel32>(r).At(0, 0, DotRng(0)).colour;
    EXPECT_FLOAT_EQ(c32.alpha, 0.5f);
    EXPECT_FLOAT_EQ(c32.green, 20 / 255.0f);
}

TEST(DotAttributes, SizeAndAspect)
{
    RenderRecord r = QuietRecord();
    r.DotSize = 10;
    r.RandomSize = 2;
    // Draw 3 gives -2: 10 - 20 stops at 0.
    DotRecord<Pixel8> d = OneDot<Pixel8>(r).At(0, 0, RngGiving(3, 0));
    EXPECT_EQ(d.width, 0);
    EXPECT_EQ(d.height, 0);

    r = QuietRecord();
    r.DotSize = 10;
    r.DotAspect = -100;  // no width
    d = OneDot<Pixel8>(r).At(0, 0, DotRng(0));
    EXPECT_EQ(d.width, 0);
    EXPECT_EQ(d.height, 10);
    r.DotAspect = 100;  // no height
    d = OneDot<Pixel8>(r).At(0, 0, DotRng(0));
    EXPECT_EQ(d.width, 10);
    EXPECT_EQ(d.height, 0);
    r.DotAspect = 50;  // flattened to half
    d = OneDot<Pixel8>(r).At(0, 0, DotRng(0));
    EXPECT_EQ(d.width, 10);
    EXPECT_EQ(d.height, 5);
    r.DotAspect = 250;  // clamped to 1
    d = OneDot<Pixel8>(r).At(0, 0, DotRng(0));
    EXPECT_EQ(d.height, 0);
    r.DotAspect = 80;
    r.RandomAspect = 1;
    // Draw 4 gives +0.99997: 1.79997 counts as 1.
    d = OneDot<Pixel8>(r).At(0, 0, RngGiving(4, 65535));
    EXPECT_EQ(d.height, 0);
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
    EXPECT_EQ(OneDot<Pixel8>(r).At(10, 10, DotRng(0)).rotation, base + global);

    r.RotationType = 3;  // Fixed Dot Angle
    EXPECT_EQ(OneDot<Pixel8>(r).At(10, 10, DotRng(0)).rotation, base);

    r.RotationType = 2;  // Toward Center: the rotation centre, here effector 1
    OneDot<Pixel8> toward(r);
    EXPECT_EQ(toward.At(70, 40, DotRng(0)).rotation, base + (0 - kPi / 2));        // right of it
    EXPECT_EQ(toward.At(60, 50, DotRng(0)).rotation, base + (kPi / 2 - kPi / 2));  // below
    EXPECT_EQ(toward.At(60, 40, DotRng(0)).rotation, base);                        // on it
}

TEST(DotAttributes, RandomRotationIsInTurns)
{
    RenderRecord r = QuietRecord();
    r.RotationType = 3;
    r.RandomRotation = 0.25;
    DotRecord<Pixel8> d = OneDot<Pixel8>(r).At(0, 0, RngGiving(5, 0));
    EXPECT_EQ(d.rotation, -0.25 * (2 * kPi));
}

TEST(DotAttributes, FrontDistanceToTheGridCentre)
{
    RenderRecord r = QuietRecord(50, 50);
    r.CenterDotToFront = 1;
    effectors::EffectorSet<Pixel8> fx(r, 100, 100);
    DotLattice l = DotLattice::FromRecord(r, 100, 100);
    DotAttributes<Pixel8> on(r, l);
    DotRng rng(0);
    EXPECT_EQ(on.Make(53, 54, rng, fx).front, 25);
    EXPECT_EQ(on.Make(50, 50, rng, fx).front, 0);
    EXPECT_TRUE(on.FrontOrdering());

    r.CenterDotToFront = 0;
    DotAttributes<Pixel8> off(r, l);
    EXPECT_EQ(off.Make(53, 54, rng, fx).front, -1);
    EXPECT_FALSE(off.FrontOrdering());
}

TEST(DotAttributes, DrawsAndCullsFollowTheWalk)
{
    // Ring 0 is used; ring 1 starts with a culled cell, then a used one.
    RenderRecord r = QuietRecord(-25, 50);
    r.RandomSpacingX = 0.5;  // margins 30
    r.RandomSpacingY = 0.5;
    r.RandomSeed = 4321;
    auto layout = LayOutDots<Pixel8>(r, 100, 100);
    ASSERT_GE(layout.dots.size(), 2u);

    DotRng e;
    e.Seed(4321);
    const double x0 = -25 + e.Variation(0.5) * 20;
    const double y0 = 50 + e.Variation(0.5) * 20;
    for (int i = 0; i < 7; ++i) e.Next();
    e.Cull();  // (-45, 30) lies left of -30
    const double x1 = -25 + e.Variation(0.5) * 20;
    const double y1 = 30 + e.Variation(0.5) * 20;
    EXPECT_EQ(layout.dots[0].x, x0);
    EXPECT_EQ(layout.dots[0].y, y0);
    EXPECT_EQ(layout.dots[1].x, x1);
    EXPECT_EQ(layout.dots[1].y, y1);
}

}  // namespace
