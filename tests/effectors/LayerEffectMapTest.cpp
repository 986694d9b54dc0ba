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

// A layer map with the layer's pixel (i, j) centred on canvas point (i, j).
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
    struct Case {
        std::int64_t i;
        TileMode mode;
        std::int64_t want;
    };
    for (const Case &c : {Case{-1, TileMode::Repeat, 9}, Case{-10, TileMode::Repeat, 0},
                          Case{-11, TileMode::Repeat, 9}, Case{23, TileMode::Repeat, 3},
                          Case{-1, TileMode::Symmetric, 1}, Case{10, TileMode::Symmetric, 9},
                          Case{19, TileMode::Symmetric, 0}, Case{20, TileMode::Symmetric, 0},
                          Case{-7, TileMode::ExtendEdges, 0}, Case{10, TileMode::ExtendEdges, 9},
                          Case{10, TileMode::None, -1}, Case{4, TileMode::None, 4},
                          Case{-5, TileMode::Unrecognised, -5}}) {
        EXPECT_EQ(FoldIndex(c.i, 10, c.mode), c.want)
            << c.i << " in mode " << static_cast<int>(c.mode);
    }
}

TEST(LayerEffectMap, CentreAndAngleChooseTheLayerPixel)
{
    TestLayer<Pixel8> small = IndexedLayer(5, 4), square = IndexedLayer(6, 6);
    // The effector centre reads the layer's centre: (2.5, 2) rounds to (3, 2).
    const Pixel8 centre =
        LayerEffectMap<Pixel8>(30, 40, 0, 1, 1, kNone, small.World()).SampleTiled(30, 40);
    // At 90 degrees, one pixel right of the centre reads the row above.
    const Pixel8 turned =
        LayerEffectMap<Pixel8>(30, 40, 90, 1, 1, kNone, square.World()).SampleTiled(31, 40);
    for (const Pixel8 &p : {centre, turned}) {
        EXPECT_EQ(p.red, 3);
        EXPECT_EQ(p.green, 2);
    }
}

TEST(LayerEffectMap, OffAnUntiledLayerNoWeightAndTheFallbackOrBlack)
{
    TestLayer<Pixel8> layer(4, 4, Pixel8{255, 255, 255, 255});
    const LayerEffectMap<Pixel8> map = Identity(layer, kNone);
    EXPECT_DOUBLE_EQ(map.Evaluate(3, 3), 1.0);
    for (double x : {-1.0, 4.0}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(map.Evaluate(x, 1), 0.0);
        EXPECT_EQ(map.SamplePlain(x, 1, Pixel8{9, 8, 7, 6}).alpha, 9);
        const Pixel8 black = map.SampleTiled(x, 1);
        EXPECT_EQ(black.alpha, 255);
        EXPECT_EQ(black.red + black.green + black.blue, 0);
    }
}

TEST(LayerEffectMap, TiledSamplingRepeatsMirrorsAndExtendsButPlainSamplingDoesNot)
{
    TestLayer<Pixel8> layer = IndexedLayer(10, 3);
    struct Case {
        A_long tile;
        double x, y;
        int column, row;
    };
    for (const Case &c :
         {Case{kRepeat, 23, -1, 3, 2}, Case{kSymmetric, -1, 3, 1, 2},
          Case{kSymmetric, 10, -1, 9, 1}, Case{kExtend, 12, -50, 9, 0}, Case{kNone, 9, 2, 9, 2}}) {
        const Pixel8 p = Identity(layer, c.tile).SampleTiled(c.x, c.y);
        EXPECT_EQ(p.red, c.column) << c.tile << " at " << c.x << "," << c.y;
        EXPECT_EQ(p.green, c.row) << c.tile << " at " << c.x << "," << c.y;
    }
    EXPECT_EQ(Identity(layer, kRepeat).SamplePlain(-1, 0, Pixel8{1, 2, 3, 4}).green, 3);
}

// Pixel (1, 1) of a 2 x 2 layer whose padding holds `marker`: reading it
// without the row stride lands in the padding.
template <typename Pixel>
Pixel ReadBack(const Pixel &marker, const Pixel &value)
{
    TestLayer<Pixel> layer(2, 2, marker);
    layer.At(1, 1) = value;
    return Identity(layer, kNone).SampleTiled(1, 1);
}

TEST(LayerEffectMap, PaddedRowsAreReadThroughTheStrideAtEveryDepth)
{
    EXPECT_EQ(ReadBack<Pixel8>({1, 99, 99, 99}, {255, 7, 0, 0}).red, 7);
    EXPECT_EQ(ReadBack<Pixel16>({1, 999, 999, 999}, {32768, 7000, 0, 0}).red, 7000);
    EXPECT_EQ(ReadBack<Pixel32>({1, 9, 9, 9}, {1.0f, 0.25f, 0, 0}).red, 0.25f);
}

template <typename Pixel>
double WeightOf(const Pixel &p)
{
    TestLayer<Pixel> layer(1, 1, p);
    return Identity(layer, kNone).Evaluate(0, 0);
}

TEST(LayerEffectMap, WeightIsLuminanceTimesAlpha)
{
    EXPECT_DOUBLE_EQ(WeightOf(Pixel8{128, 255, 255, 255}), 128.0 / 255.0);
    EXPECT_NEAR(WeightOf(Pixel8{255, 0, 255, 0}), 0.586611, 1e-12);
    EXPECT_NEAR(WeightOf(Pixel16{16384, 32768, 0, 0}), 0.298912 * 0.5, 1e-12);
    EXPECT_NEAR(WeightOf(Pixel32{0.5f, 0, 0, 1.0f}), 0.114478 * 0.5, 1e-12);
    // 8- and 16-bit luminance is clamped to 1; float is not.
    EXPECT_DOUBLE_EQ(WeightOf(Pixel16{32768, 32768, 32768, 32768}), 1.0);
    EXPECT_NEAR(WeightOf(Pixel32{1.0f, 2.0f, 2.0f, 2.0f}), 2.0, 1e-5);
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
