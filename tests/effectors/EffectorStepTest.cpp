#include <gtest/gtest.h>

#include <cstring>

#include "Pixels.h"
#include "RenderRecord.h"
#include "effectors/EffectorStep.h"
#include "effectors/TestLayer.h"

using namespace effectors;
using AEUtil::Pixel16;
using AEUtil::Pixel32;
using AEUtil::Pixel8;

namespace {

constexpr double kPi = 3.14159265358979323846;

PF_Fixed Fix(double v)
{
    return static_cast<PF_Fixed>(v * 65536.0);
}

class EffectorStep : public ::testing::Test {
protected:
    EffectorStep() { std::memset(&record_, 0, sizeof record_); }

    // Effector n (0-based) on, radial with a hard edge: weight 1 within
    // `radius` of (cx, cy), 0 outside. Ratios 1, so nothing else changes.
    EffectorSettings &Radial(int n, double cx, double cy, double radius)
    {
        EffectorSettings &s = record_.Effectors[n];
        s.enable = 1;
        s.mapLayer = anyLayer_.World();
        s.mapType = 3;
        s.position = {Fix(cx), Fix(cy)};
        s.size = radius;
        s.sizeByRatio = s.aspectByRatio = s.rotationByRatio = s.opacityByRatio = 1;
        s.blendMode = 1;
        s.blendColor = {255, 255, 255, 255};
        return s;
    }

    // Linear at angle 0 through (100, 100), size 50, falloff 50 %: the dot
    // from HalfWeightDot() gets weight 0.5 exactly.
    EffectorSettings &HalfWeight(int n)
    {
        EffectorSettings &s = Radial(n, 100, 100, 50);
        s.mapType = 5;
        s.falloff = 50;
        return s;
    }

    template <typename Pixel>
    DotValues<Pixel> Dot(double x, double y, Pixel colour = Pixel{})
    {
        DotValues<Pixel> d;
        d.x = x;
        d.y = y;
        d.size = 20;
        d.aspect = 0.1;
        d.rotation = 0.2;
        d.opacity = 0.8;
        d.colour = colour;
        return d;
    }

    template <typename Pixel>
    DotValues<Pixel> Run(DotValues<Pixel> dot, bool frontOrdering = true)
    {
        const EffectorSet<Pixel> set(record_, 400, 300);
        set.Apply(dot, frontOrdering);
        return dot;
    }

    RenderRecord record_;
    TestLayer<Pixel8> anyLayer_{1, 1};
};

template <typename Pixel>
void ExpectSameDot(const DotValues<Pixel> &a, const DotValues<Pixel> &b)
{
    EXPECT_EQ(a.front, b.front);
    EXPECT_EQ(a.size, b.size);
    EXPECT_EQ(a.aspect, b.aspect);
    EXPECT_EQ(a.rotation, b.rotation);
    EXPECT_EQ(a.opacity, b.opacity);
    EXPECT_EQ(std::memcmp(&a.colour, &b.colour, sizeof a.colour), 0);
}

// Everything an effector can do, switched on.
void EverythingOn(EffectorSettings &s)
{
    s.centerDotToFront = 1;
    s.absolute = 1;
    s.independentSize = 99;
    s.sizeByRatio = 3;
    s.opacityOffset = 50;
    s.colorize = 1;
    s.hueOffset = Fix(90);
}

TEST_F(EffectorStep, ZeroWeightLeavesTheDot)
{
    EverythingOn(Radial(0, 0, 0, 10));
    const auto dot = Dot<Pixel8>(100, 100, {200, 10, 20, 30});
    const auto out = Run(dot, false);
    ExpectSameDot(out, dot);
}

TEST_F(EffectorStep, EffectorWithoutLayerPixelsDoesNothingAtAll)
{
    EffectorSettings &s = Radial(0, 100, 100, 10);
    EverythingOn(s);
    s.mapLayer = nullptr;
    EverythingOn(Radial(1, 100, 100, 10));
    record_.Effectors[1].enable = 0;
    const auto dot = Dot<Pixel16>(100, 100, {100, 10, 20, 30});
    ExpectSameDot(Run(dot), dot);
}

TEST_F(EffectorStep, FullWeightAbsolutePullsToOwnValuesThenRatioAndOffset)
{
    EffectorSettings &s = Radial(0, 50, 50, 10);
    s.absolute = 1;
    s.independentSize = 7;
    s.independentAspect = 150;  // clamped to 1
    s.independentRotation = Fix(90);
    s.independentOpacity = 40;
    s.sizeByRatio = 2;
    s.sizeOffset = 3;
    const auto out = Run(Dot<Pixel8>(50, 50));
    EXPECT_EQ(out.size, 17.0);
    EXPECT_EQ(out.aspect, 1.0);
    EXPECT_NEAR(out.rotation, kPi / 2, 1e-15);
    EXPECT_DOUBLE_EQ(out.opacity, 0.4);
}

TEST_F(EffectorStep, HalfWeightInterpolatesRatioAndOffset)
{
    EffectorSettings &s = HalfWeight(0);
    s.sizeByRatio = 2;
    s.sizeOffset = 10;
    s.aspectOffset = -300;  // clamped to -1
    s.rotationOffset = Fix(90);
    s.opacityByRatio = 0;
    const auto out = Run(Dot<Pixel32>(100, 62.5));
    EXPECT_EQ(out.size, 35.0);  // (1 * 0.5 + 1) * 20 + 5
    EXPECT_DOUBLE_EQ(out.aspect, 0.1 - 0.5);
    EXPECT_NEAR(out.rotation, 0.2 + kPi / 4, 1e-15);
    EXPECT_DOUBLE_EQ(out.opacity, 0.4);
}

TEST_F(EffectorStep, ColourMixesTowardTheBlendByTheWeight)
{
    EffectorSettings &s = HalfWeight(0);
    s.colorize = 1;
    s.blendColor = {255, 201, 0, 100};
    const auto out8 = Run(Dot<Pixel8>(100, 62.5, {255, 100, 101, 100}));
    EXPECT_EQ(out8.colour.red, 150);   // 100 + 101 * 16384 / 32768
    EXPECT_EQ(out8.colour.green, 51);  // -50.5 truncates toward zero
    EXPECT_EQ(out8.colour.blue, 100);
    EXPECT_EQ(out8.colour.alpha, 255);

    s.blendColor = {255, 255, 255, 255};  // 32768 and 1.0 at the other depths
    EXPECT_EQ(Run(Dot<Pixel16>(100, 62.5, {32768, 1000, 0, 0})).colour.red, 16884);
    EXPECT_NEAR(Run(Dot<Pixel32>(100, 62.5, {1.0f, 0.2f, 0, 0})).colour.red, 0.6f, 1e-6);
}

TEST_F(EffectorStep, HueOffsetTurnsTheColourAndMakesItOpaque)
{
    Radial(0, 0, 0, 10).hueOffset = Fix(180);
    const auto cyan = Run(Dot<Pixel8>(0, 0, {100, 255, 0, 0})).colour;
    EXPECT_EQ(cyan.alpha, 255);
    EXPECT_EQ(cyan.red, 0);
    EXPECT_EQ(cyan.green, 255);
    EXPECT_EQ(cyan.blue, 255);

    // At half weight a quarter turn: hue 0.25 is (0.5, 1, 0).
    record_.Effectors[0] = EffectorSettings{};
    HalfWeight(0).hueOffset = Fix(180);
    const auto quarter = Run(Dot<Pixel8>(100, 62.5, {100, 255, 0, 0})).colour;
    EXPECT_EQ(quarter.red, 128);
    EXPECT_EQ(quarter.green, 255);
    EXPECT_EQ(quarter.blue, 0);
}

TEST_F(EffectorStep, SecondColourBlendsOntoTheFirstOnesResult)
{
    Radial(0, 0, 0, 10).colorize = 1;  // Normal, opaque white
    EffectorSettings &second = Radial(1, 0, 0, 10);
    second.colorize = 1;
    second.blendMode = 5;  // Multiply
    second.blendColor = {255, 128, 0, 255};
    const auto c = Run(Dot<Pixel8>(0, 0, {200, 0, 0, 0})).colour;
    EXPECT_EQ(c.alpha, 200);
    EXPECT_EQ(c.red, 127);  // (255 * 128) >> 8
    EXPECT_EQ(c.green, 0);
    EXPECT_EQ(c.blue, 254);  // (255 * 255) >> 8
}

TEST_F(EffectorStep, EffectorsActInOrderOneTwoThree)
{
    EffectorSettings &one = Radial(0, 0, 0, 10);
    one.absolute = 1;
    one.independentSize = 10;
    Radial(1, 0, 0, 10).sizeByRatio = 3;
    Radial(2, 0, 0, 10).sizeOffset = 5;
    EXPECT_EQ(Run(Dot<Pixel8>(0, 0)).size, 35.0);  // 10, then 30, then 35
}

TEST_F(EffectorStep, NearestEffectorCentreSetsTheFrontDistance)
{
    // Both maps miss the dot; the front distance is taken regardless.
    Radial(0, 3, 4, 1).centerDotToFront = 1;
    Radial(1, 6, 8, 1).centerDotToFront = 1;
    EXPECT_EQ(Run(Dot<Pixel8>(0, 0)).front, 25.0);
    auto nearer = Dot<Pixel8>(0, 0);
    nearer.front = 10;
    EXPECT_EQ(Run(nearer).front, 10.0);
    EXPECT_EQ(Run(Dot<Pixel8>(0, 0), false).front, -1.0);
}

TEST_F(EffectorStep, PickedColourComesFromTheLayerWhateverTheWeight)
{
    TestLayer<Pixel8> layer(2, 2);
    layer.At(0, 0) = {0, 50, 60, 70};  // transparent: weight 0
    layer.At(1, 1) = {255, 1, 2, 3};
    EffectorSettings &s = Radial(0, 10, 10, 0);
    s.mapType = 1;
    s.mapLayer = layer.World();
    s.pickSourceColor = 1;
    s.tile = 1;  // None
    const auto picked = Run(Dot<Pixel8>(9, 9, {255, 9, 9, 9})).colour;
    EXPECT_EQ(picked.alpha, 0);
    EXPECT_EQ(picked.red, 50);
    EXPECT_EQ(picked.blue, 70);
    EXPECT_EQ(Run(Dot<Pixel8>(20, 20, {255, 9, 9, 9})).colour.red, 9);   // off the layer
    s.tile = 2;                                                          // Repeat
    EXPECT_EQ(Run(Dot<Pixel8>(20, 20, {255, 9, 9, 9})).colour.blue, 3);  // reads (1, 1)
}

TEST_F(EffectorStep, FloatColoursAreLimitedToWhiteByEveryActiveEffector)
{
    TestLayer<Pixel32> layer(1, 1);
    layer.At(0, 0) = {2.0f, 3.0f, 0.5f, 0};
    EffectorSettings &s = Radial(0, 0, 0, 10);
    s.mapType = 1;
    s.mapLayer = layer.World();
    s.pickSourceColor = 1;
    s.tile = 4;  // Extend Edges: every dot reads the one pixel
    const auto picked = Run(Dot<Pixel32>(0, 0)).colour;
    EXPECT_EQ(picked.alpha, 1.0f);
    EXPECT_EQ(picked.red, 1.0f);
    EXPECT_EQ(picked.green, 0.5f);

    record_.Effectors[0] = EffectorSettings{};
    Radial(0, 0, 0, 10);
    EXPECT_EQ(Run(Dot<Pixel32>(500, 0, {1.5f, 1.25f, 0, 0})).colour.red, 1.0f);  // weight 0
}

TEST_F(EffectorStep, LayerWeightsAreClampedToZeroAndOne)
{
    TestLayer<Pixel32> layer(1, 1);
    EffectorSettings &s = Radial(0, 0, 0, 10);
    s.mapType = 1;
    s.mapLayer = layer.World();
    s.tile = 4;
    s.absolute = 1;
    s.independentSize = 8;
    layer.At(0, 0) = {1.0f, 2.0f, 2.0f, 2.0f};  // weight about 2: pulled all the way
    EXPECT_EQ(Run(Dot<Pixel32>(0, 0)).size, 8.0);
    layer.At(0, 0) = {1.0f, -1.0f, 0, 0};  // negative weight: no effect
    EXPECT_EQ(Run(Dot<Pixel32>(0, 0)).size, 20.0);
}

}  // namespace
