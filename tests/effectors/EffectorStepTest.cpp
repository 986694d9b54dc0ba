#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

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

using Argb = std::tuple<double, double, double, double>;

template <typename Pixel>
void ExpectArgb(const Pixel &p, double a, double r, double g, double b)
{
    EXPECT_EQ(Argb(p.alpha, p.red, p.green, p.blue), Argb(a, r, g, b));
}

class EffectorStep : public ::testing::Test {
protected:
    EffectorStep() { std::memset(&record_, 0, sizeof record_); }

    // Effector n (0-based) on, radial with a hard edge: weight 1 within
    // `radius` of (cx, cy), 0 outside. Ratios 1, so nothing else changes.
    EffectorSettings &Radial(int n, double cx, double cy, double radius)
    {
        EffectorSettings &s = record_.Effectors[n];
        s = EffectorSettings{};
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

    // Linear at angle 0 through (100, 100), size 50, falloff 50 %: a dot at
    // (100, 62.5) gets weight 0.5 exactly.
    EffectorSettings &HalfWeight(int n)
    {
        EffectorSettings &s = Radial(n, 100, 100, 50);
        s.mapType = 5;
        s.falloff = 50;
        return s;
    }

    // A custom map reading `layer`, its single pixel everywhere unless tiled
    // otherwise.
    template <typename Pixel>
    EffectorSettings &LayerMap(TestLayer<Pixel> &layer, A_long tile = 4)
    {
        EffectorSettings &s = Radial(0, 0, 0, 10);
        s.mapType = 1;
        s.mapLayer = layer.World();
        s.tile = tile;
        return s;
    }

    // A dot of size 20, aspect 0.1, rotation 0.2 and opacity 0.8.
    template <typename Pixel>
    static DotValues<Pixel> Dot(double x, double y, Pixel colour = Pixel{})
    {
        return DotValues<Pixel>{x, y, -1, 20, 0.1, 0.2, 0.8, colour};
    }

    template <typename Pixel>
    DotValues<Pixel> Run(DotValues<Pixel> dot, bool frontOrdering = true)
    {
        EffectorSet<Pixel>(record_, 400, 300).Apply(dot, frontOrdering);
        return dot;
    }

    // Effector n switched on with everything it can do to a dot.
    EffectorSettings &EverythingOn(int n, double cx, double cy)
    {
        EffectorSettings &s = Radial(n, cx, cy, 10);
        s.centerDotToFront = s.absolute = s.colorize = 1;
        s.independentSize = 99;
        s.sizeByRatio = 3;
        s.opacityOffset = 50;
        s.hueOffset = Fix(90);
        return s;
    }

    // The dot comes out exactly as it went in.
    template <typename Pixel>
    void ExpectUntouched(const DotValues<Pixel> &dot, bool frontOrdering)
    {
        const DotValues<Pixel> out = Run(dot, frontOrdering);
        EXPECT_EQ(std::tie(out.front, out.size, out.aspect, out.rotation, out.opacity),
                  std::tie(dot.front, dot.size, dot.aspect, dot.rotation, dot.opacity));
        EXPECT_EQ(std::memcmp(&out.colour, &dot.colour, sizeof dot.colour), 0);
    }

    RenderRecord record_;
    TestLayer<Pixel8> anyLayer_{1, 1};
};

TEST_F(EffectorStep, ZeroWeightLeavesTheDot)
{
    EverythingOn(0, 0, 0);
    ExpectUntouched(Dot<Pixel8>(100, 100, {200, 10, 20, 30}), false);
}

TEST_F(EffectorStep, EffectorWithoutLayerPixelsOrDisabledDoesNothingAtAll)
{
    EverythingOn(0, 100, 100).mapLayer = nullptr;
    EverythingOn(1, 100, 100).enable = 0;
    ExpectUntouched(Dot<Pixel16>(100, 100, {100, 10, 20, 30}), true);
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
    EXPECT_EQ(out.size, 17.0);  // 7 * 2 + 3
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
    // 100 + 101 * 16384 / 32768 = 150; 101 - 50.5 truncates toward zero to 51.
    ExpectArgb(Run(Dot<Pixel8>(100, 62.5, {255, 100, 101, 100})).colour, 255, 150, 51, 100);
    s.blendColor = {255, 255, 255, 255};  // 32768 and 1.0 at the other depths
    EXPECT_EQ(Run(Dot<Pixel16>(100, 62.5, {32768, 1000, 0, 0})).colour.red, 16884);
    EXPECT_NEAR(Run(Dot<Pixel32>(100, 62.5, {1.0f, 0.2f, 0, 0})).colour.red, 0.6f, 1e-6);
}

TEST_F(EffectorStep, HueOffsetTurnsTheColourAndMakesItOpaque)
{
    Radial(0, 0, 0, 10).hueOffset = Fix(180);
    ExpectArgb(Run(Dot<Pixel8>(0, 0, {100, 255, 0, 0})).colour, 255, 0, 255, 255);  // cyan
    // At half weight a quarter turn: hue 0.25 is (0.5, 1, 0).
    HalfWeight(0).hueOffset = Fix(180);
    ExpectArgb(Run(Dot<Pixel8>(100, 62.5, {100, 255, 0, 0})).colour, 255, 128, 255, 0);
}

TEST_F(EffectorStep, SecondColourBlendsOntoTheFirstOnesResult)
{
    Radial(0, 0, 0, 10).colorize = 1;  // Normal, opaque white
    EffectorSettings &second = Radial(1, 0, 0, 10);
    second.colorize = 1;
    second.blendMode = 5;  // Multiply
    second.blendColor = {255, 128, 0, 255};
    // White times (128, 0, 255) with >> 8; the dot's alpha stays.
    ExpectArgb(Run(Dot<Pixel8>(0, 0, {200, 0, 0, 0})).colour, 200, 127, 0, 254);
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
    EffectorSettings &s = LayerMap(layer, 1);  // None
    s.position = {Fix(10), Fix(10)};
    s.pickSourceColor = 1;
    ExpectArgb(Run(Dot<Pixel8>(9, 9, {255, 9, 9, 9})).colour, 0, 50, 60, 70);
    EXPECT_EQ(Run(Dot<Pixel8>(20, 20, {255, 9, 9, 9})).colour.red, 9);   // off the layer
    s.tile = 2;                                                          // Repeat
    EXPECT_EQ(Run(Dot<Pixel8>(20, 20, {255, 9, 9, 9})).colour.blue, 3);  // reads (1, 1)
}

TEST_F(EffectorStep, FloatColoursAreLimitedToWhiteByEveryActiveEffector)
{
    TestLayer<Pixel32> layer(1, 1, Pixel32{2.0f, 3.0f, 0.5f, 0});
    LayerMap(layer).pickSourceColor = 1;
    ExpectArgb(Run(Dot<Pixel32>(0, 0)).colour, 1.0f, 1.0f, 0.5f, 0);
    Radial(0, 0, 0, 10);
    EXPECT_EQ(Run(Dot<Pixel32>(500, 0, {1.5f, 1.25f, 0, 0})).colour.red, 1.0f);  // weight 0
}

TEST_F(EffectorStep, LayerWeightsAreClampedToZeroAndOne)
{
    TestLayer<Pixel32> layer(1, 1);
    EffectorSettings &s = LayerMap(layer);
    s.absolute = 1;
    s.independentSize = 8;
    layer.At(0, 0) = {1.0f, 2.0f, 2.0f, 2.0f};  // weight about 2: pulled all the way
    EXPECT_EQ(Run(Dot<Pixel32>(0, 0)).size, 8.0);
    layer.At(0, 0) = {1.0f, -1.0f, 0, 0};  // negative weight: no effect
    EXPECT_EQ(Run(Dot<Pixel32>(0, 0)).size, 20.0);
}

}  // namespace
