#include <gtest/gtest.h>

#include <cmath>

#include "Pixels.h"
#include "effectors/LayerEffectMap.h"
#include "effectors/TestLayer.h"

using namespace effectors;
using AEUtil::Pixel16;
using AEUtil::Pixel32;
using AEUtil::Pixel8;

namespace {

// Tile popup values.
constexpr A_long kNone = 1, kRepeat = 2, kSymmetric = 3, kExtend = 4;

// An 8-bit layer whose pixel (i, j) is (255, i, j, 7); padding is white.
TestLayer<Pixel8> IndexedLayer(int w, int h)
{
    TestLayer<Pixel8> layer(w, h, Pixel8{255, 255, 255, 255});
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            layer.At(i, j) = {255, static_cast<A_u_char>(i), static_cast<A_u_char>(j), 7};
        }
    }
    return layer;
}

// A layer map with the layer's pixel (i, j) centred on canvas point (i, j):
// centred at (W/2, H/2), angle 0, scale 1.
template <typename Pixel>
LayerEffectMap<Pixel> Identity(TestLayer<Pixel> &layer, A_long tile)
{
    const PF_EffectWorld *w = layer.World();
    return LayerEffectMap<Pixel>(w->width / 2.0, w->height / 2.0, 0, 1, 1, tile, w);
}

TEST(LayerCoordinate, HalvesRoundUp)
{
    EXPECT_EQ(RoundLayerCoordinate(-0.5), 0);
    EXPECT_EQ(RoundLayerCoordinate(-1.5), -1);
    EXPECT_EQ(RoundLayerCoordinate(2.5), 3);
    EXPECT_EQ(RoundLayerCoordinate(2.49), 2);
    EXPECT_LT(RoundLayerCoordinate(std::nan("")), -1000000);
}

TEST(LayerTiling, FoldsOfAWidthOfTen)
{
    EXPECT_EQ(FoldIndex(-1, 10, TileMode::Repeat), 9);
    EXPECT_EQ(FoldIndex(-10, 10, TileMode::Repeat), 0);
    EXPECT_EQ(FoldIndex(-11, 10, TileMode::Repeat), 9);
    EXPECT_EQ(FoldIndex(23, 10, TileMode::Repeat), 3);
    EXPECT_EQ(FoldIndex(-1, 10, TileMode::Symmetric), 1);
    EXPECT_EQ(FoldIndex(10, 10, TileMode::Symmetric), 9);
    EXPECT_EQ(FoldIndex(19, 10, TileMode::Symmetric), 0);
    EXPECT_EQ(FoldIndex(20, 10, TileMode::Symmetric), 0);
    EXPECT_EQ(FoldIndex(-7, 10, TileMode::ExtendEdges), 0);
    EXPECT_EQ(FoldIndex(10, 10, TileMode::ExtendEdges), 9);
    EXPECT_EQ(FoldIndex(10, 10, TileMode::None), -1);
    EXPECT_EQ(FoldIndex(-5, 10, TileMode::Unrecognised), -5);
    EXPECT_EQ(FoldIndex(4, 10, TileMode::None), 4);
}

TEST(LayerTiling, PopupValuesMapToModes)
{
    EXPECT_EQ(TileModeFromPopup(kNone), TileMode::None);
    EXPECT_EQ(TileModeFromPopup(kRepeat), TileMode::Repeat);
    EXPECT_EQ(TileModeFromPopup(kSymmetric), TileMode::Symmetric);
    EXPECT_EQ(TileModeFromPopup(kExtend), TileMode::ExtendEdges);
    EXPECT_EQ(TileModeFromPopup(0), TileMode::Unrecognised);
}

TEST(LayerEffectMap, EffectorCentreReadsTheLayerCentrePixel)
{
    TestLayer<Pixel8> layer = IndexedLayer(5, 4);
    const LayerEffectMap<Pixel8> map(30, 40, 0, 1, 1, kNone, layer.World());
    const Pixel8 p = map.SampleTiled(30, 40);  // layer (2.5, 2) -> (3, 2)
    EXPECT_EQ(p.red, 3);
    EXPECT_EQ(p.green, 2);
}

TEST(LayerEffectMap, AtNinetyDegreesRightOfCentreReadsTheRowAbove)
{
    TestLayer<Pixel8> layer = IndexedLayer(6, 6);
    const LayerEffectMap<Pixel8> map(30, 40, 90, 1, 1, kNone, layer.World());
    const Pixel8 p = map.SampleTiled(31, 40);
    EXPECT_EQ(p.red, 3);
    EXPECT_EQ(p.green, 2);
}

TEST(LayerEffectMap, TileNoneGivesNoWeightAndPlainSamplingFallsBack)
{
    TestLayer<Pixel8> layer(4, 4);
    layer.Fill({255, 255, 255, 255});
    const LayerEffectMap<Pixel8> map = Identity(layer, kNone);
    EXPECT_DOUBLE_EQ(map.Evaluate(3, 3), 1.0);
    const Pixel8 fallback{9, 8, 7, 6};
    for (double x : {-1.0, 4.0}) {
        EXPECT_EQ(map.Evaluate(x, 1), 0.0) << x;
        const Pixel8 p = map.SamplePlain(x, 1, fallback);
        EXPECT_EQ(p.alpha, 9);
        EXPECT_EQ(p.blue, 6);
        const Pixel8 black = map.SampleTiled(x, 1);
        EXPECT_EQ(black.alpha, 255);
        EXPECT_EQ(black.red + black.green + black.blue, 0);
    }
}

TEST(LayerEffectMap, TiledSamplingRepeatsMirrorsAndExtends)
{
    TestLayer<Pixel8> layer = IndexedLayer(10, 3);
    struct Case {
        A_long tile;
        double x, y;
        int column, row;
    };
    const Case cases[] = {
        {kRepeat, -1, 0, 9, 0},    {kRepeat, 23, -1, 3, 2},    {kSymmetric, -1, 3, 1, 2},
        {kSymmetric, 19, 0, 0, 0}, {kSymmetric, 10, -1, 9, 1}, {kExtend, -50, 1, 0, 1},
        {kExtend, 12, 9, 9, 2},    {kNone, 9, 2, 9, 2},
    };
    for (const Case &c : cases) {
        const Pixel8 p = Identity(layer, c.tile).SampleTiled(c.x, c.y);
        EXPECT_EQ(p.red, c.column) << c.tile << " at " << c.x << "," << c.y;
        EXPECT_EQ(p.green, c.row) << c.tile << " at " << c.x << "," << c.y;
        EXPECT_EQ(p.blue, 7);
    }
}

TEST(LayerEffectMap, PlainSamplingIgnoresTheTileMode)
{
    TestLayer<Pixel8> layer = IndexedLayer(10, 3);
    const Pixel8 fallback{1, 2, 3, 4};
    EXPECT_EQ(Identity(layer, kRepeat).SamplePlain(-1, 0, fallback).green, 3);
    EXPECT_EQ(Identity(layer, kExtend).SamplePlain(5, 2, fallback).red, 5);
}

// Every pixel of a padded layer is read back at its own canvas point.
template <typename Pixel>
void ExpectEveryPixelReadsBack(const Pixel &marker, Pixel (*make)(int, int))
{
    TestLayer<Pixel> layer(3, 4, marker);
    for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 3; ++i) {
            layer.At(i, j) = make(i, j);
        }
    }
    const LayerEffectMap<Pixel> map = Identity(layer, kNone);
    for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 3; ++i) {
            const Pixel p = map.SampleTiled(i, j);
            const Pixel want = make(i, j);
            EXPECT_EQ(p.red, want.red) << i << "," << j;
            EXPECT_EQ(p.green, want.green) << i << "," << j;
        }
    }
}

TEST(LayerEffectMap, PaddedRowsAreReadThroughTheStrideAtEveryDepth)
{
    ExpectEveryPixelReadsBack<Pixel8>({1, 99, 99, 99}, [](int i, int j) {
        return Pixel8{255, static_cast<A_u_char>(i), static_cast<A_u_char>(j), 0};
    });
    ExpectEveryPixelReadsBack<Pixel16>({1, 999, 999, 999}, [](int i, int j) {
        return Pixel16{32768, static_cast<A_u_short>(i * 1000), static_cast<A_u_short>(j), 0};
    });
    ExpectEveryPixelReadsBack<Pixel32>({1, 9, 9, 9}, [](int i, int j) {
        return Pixel32{1.0f, i * 0.25f, static_cast<float>(j), 0};
    });
}

TEST(LayerEffectMap, WeightIsLuminanceTimesAlpha)
{
    TestLayer<Pixel8> l8(1, 1);
    l8.At(0, 0) = {128, 255, 255, 255};
    EXPECT_DOUBLE_EQ(Identity(l8, kNone).Evaluate(0, 0), 128.0 / 255.0);
    l8.At(0, 0) = {255, 0, 255, 0};
    EXPECT_NEAR(Identity(l8, kNone).Evaluate(0, 0), 0.586611, 1e-12);

    TestLayer<Pixel16> l16(1, 1);
    l16.At(0, 0) = {32768, 32768, 32768, 32768};
    EXPECT_DOUBLE_EQ(Identity(l16, kNone).Evaluate(0, 0), 1.0);
    l16.At(0, 0) = {16384, 32768, 0, 0};
    EXPECT_NEAR(Identity(l16, kNone).Evaluate(0, 0), 0.298912 * 0.5, 1e-12);

    // Float luminance is not clamped: brighter than white weighs above 1.
    TestLayer<Pixel32> l32(1, 1);
    l32.At(0, 0) = {1.0f, 2.0f, 2.0f, 2.0f};
    EXPECT_NEAR(Identity(l32, kNone).Evaluate(0, 0), 2.0, 1e-5);
    l32.At(0, 0) = {0.5f, 0, 0, 1.0f};
    EXPECT_NEAR(Identity(l32, kNone).Evaluate(0, 0), 0.114478 * 0.5, 1e-12);
}

TEST(LayerEffectMap, EmptyLayerReadsOpaqueBlackEverywhere)
{
    TestLayer<Pixel16> layer(0, 3);
    const LayerEffectMap<Pixel16> map = Identity(layer, kRepeat);
    EXPECT_EQ(map.Evaluate(0, 0), 0.0);
    const Pixel16 p = map.SamplePlain(0, 0, Pixel16{5, 5, 5, 5});
    EXPECT_EQ(p.alpha, 32768);
    EXPECT_EQ(p.red, 0);
}

}  // namespace
