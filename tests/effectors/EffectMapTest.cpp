#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "Pixels.h"
#include "effectors/AnalyticMaps.h"
#include "effectors/EffectMap.h"
#include "effectors/LayerEffectMap.h"
#include "effectors/TestLayer.h"

using namespace effectors;

namespace {

constexpr double kTol = 1e-12;

TEST(RadialEffectMap, ZeroFalloffIsAHardDisc)
{
    const RadialEffectMap map(50, 50, 10, 0.0, false);
    EXPECT_EQ(map.Evaluate(50, 50), 1.0);
    EXPECT_EQ(map.Evaluate(60, 50), 1.0);  // on the circle
    EXPECT_EQ(map.Evaluate(50, 60.001), 0.0);
}

TEST(RadialEffectMap, FullFalloffFadesFromCentreToRim)
{
    const RadialEffectMap map(0, 0, 100, 1.0, false);
    EXPECT_NEAR(map.Evaluate(0, 0), 1.0, kTol);
    EXPECT_NEAR(map.Evaluate(50, 0), 0.5, kTol);
    EXPECT_NEAR(map.Evaluate(0, -100), 0.0, kTol);
    // cos fade: at a quarter of the radius, 0.5 + 0.5 cos(pi/4).
    EXPECT_NEAR(map.Evaluate(25, 0), 0.5 + 0.5 * std::sqrt(0.5), kTol);
}

TEST(RadialEffectMap, SymmetricPeaksOnTheHalfRadiusRing)
{
    const RadialEffectMap map(0, 0, 100, 1.0, true);
    EXPECT_NEAR(map.Evaluate(0, 50), 1.0, kTol);
    EXPECT_NEAR(map.Evaluate(0, 0), 0.0, kTol);
    EXPECT_NEAR(map.Evaluate(100, 0), 0.0, kTol);
    EXPECT_NEAR(map.Evaluate(25, 0), map.Evaluate(75, 0), kTol);
}

TEST(LinearEffectMap, ZeroFalloffOrZeroSizeCoversEverything)
{
    EXPECT_EQ(LinearEffectMap(0, 0, 30, 10, 0.0, false).Evaluate(1e6, -1e6), 1.0);
    EXPECT_EQ(LinearEffectMap(0, 0, 30, 0, 0.5, true).Evaluate(-1e6, 1e6), 1.0);
}

TEST(LinearEffectMap, AngleZeroIsFullBelowAndFadesAbove)
{
    const LinearEffectMap map(100, 100, 0, 50, 0.5, false);
    EXPECT_EQ(map.Evaluate(100, 150), 1.0);
    EXPECT_EQ(map.Evaluate(100, 75), 1.0);
    EXPECT_EQ(map.Evaluate(100, 62.5), 0.5);
    EXPECT_EQ(map.Evaluate(100, 40), 0.0);
}

TEST(LinearEffectMap, SymmetricIsABandAroundTheLine)
{
    const LinearEffectMap map(100, 100, 0, 50, 0.5, true);
    EXPECT_EQ(map.Evaluate(100, 137.5), 0.5);
    EXPECT_EQ(map.Evaluate(100, 62.5), 0.5);
    EXPECT_EQ(map.Evaluate(100, 151), 0.0);
}

TEST(LinearEffectMap, AtNinetyDegreesTheLineIsVerticalAndFadesToTheRight)
{
    const LinearEffectMap map(100, 100, 90, 50, 0.5, false);
    EXPECT_EQ(map.Evaluate(0, 100), 1.0);
    EXPECT_EQ(map.Evaluate(137.5, 0), 0.5);
    EXPECT_EQ(map.Evaluate(151, 100), 0.0);
}

TEST(LinearEffectMap, AxisAnglesGiveExactZeros)
{
    for (double angle : {0.0, 180.0, -180.0, 360.0}) {
        EXPECT_EQ(LinearEffectMap(0, 0, angle, 1, 0.5, false).SinA(), 0.0) << angle;
    }
    for (double angle : {90.0, 270.0, -90.0}) {
        EXPECT_EQ(LinearEffectMap(0, 0, angle, 1, 0.5, false).CosA(), 0.0) << angle;
    }
    EXPECT_EQ(LinearEffectMap(0, 0, 90, 1, 0.5, false).SinA(), 1.0);
}

// Settings for the factory: centre (100, 100), size 50, falloff 50 %.
EffectorSettings FactorySettings(A_long mapType)
{
    EffectorSettings s;
    std::memset(&s, 0, sizeof s);
    s.mapType = mapType;
    s.position = {100 << 16, 100 << 16};
    s.size = 50;
    s.falloff = 50;
    return s;
}

TEST(MakeEffectMap, PopupChoosesTheMapKind)
{
    // Weights at a point far below, the centre, and far to the right tell the
    // four analytic kinds apart.
    struct Case {
        A_long popup;
        double below, centre, right;
    };
    const Case cases[] = {
        {3, 0, 1, 0}, {4, 0, 0, 0}, {5, 1, 1, 1}, {6, 0, 1, 1},
        {2, 1, 1, 1}, {0, 1, 1, 1}, {7, 1, 1, 1}, {-1, 1, 1, 1},
    };
    for (const Case &c : cases) {
        const EffectorSettings s = FactorySettings(c.popup);
        const EffectMapPtr map = MakeEffectMap<AEUtil::Pixel8>(s, DeriveEffector(s, 400, 400));
        EXPECT_NEAR(map->Evaluate(100, 300), c.below, kTol) << c.popup;
        EXPECT_NEAR(map->Evaluate(100, 100), c.centre, kTol) << c.popup;
        EXPECT_NEAR(map->Evaluate(300, 100), c.right, kTol) << c.popup;
    }
}

TEST(MakeEffectMap, CustomMapBuildsALayerMapOfTheDepthEvenWithoutALayer)
{
    const EffectorSettings s = FactorySettings(1);
    const EffectMapPtr m16 = MakeEffectMap<AEUtil::Pixel16>(s, DeriveEffector(s, 10, 10));
    EXPECT_NE(dynamic_cast<const LayerEffectMap<AEUtil::Pixel16> *>(m16.get()), nullptr);
    const EffectMapPtr m32 = MakeEffectMap<AEUtil::Pixel32>(s, DeriveEffector(s, 10, 10));
    EXPECT_NE(dynamic_cast<const LayerEffectMap<AEUtil::Pixel32> *>(m32.get()), nullptr);
}

TEST(MakeEffectMap, FittedLayerIsStretchedOverTheCanvas)
{
    TestLayer<AEUtil::Pixel8> layer(10, 10);
    for (int j = 0; j < 10; ++j) {
        for (int i = 0; i < 10; ++i) {
            layer.At(i, j) = {255, static_cast<A_u_char>(i), static_cast<A_u_char>(j), 0};
        }
    }
    EffectorSettings s = FactorySettings(1);
    s.mapLayer = layer.World();
    s.fitToLayer = 1;
    s.angle = 45 << 16;  // ignored when fitted
    const EffectMapPtr map = MakeEffectMap<AEUtil::Pixel8>(s, DeriveEffector(s, 20, 20));
    const auto &lm = dynamic_cast<const LayerEffectMap<AEUtil::Pixel8> &>(*map);
    const AEUtil::Pixel8 p = lm.SampleTiled(7, 4);  // layer (3.5, 2) -> (4, 2)
    EXPECT_EQ(p.red, 4);
    EXPECT_EQ(p.green, 2);
}

// Counts its own destructions.
class CountedMap : public BaseEffectMap {
public:
    explicit CountedMap(int *deaths) : deaths_(deaths) {}
    ~CountedMap() override { ++*deaths_; }
    double Evaluate(double, double) const override { return 0.25; }

private:
    int *deaths_;
};

TEST(EffectMapPtr, SharedCopiesDestroyTheMapOnceAtTheLastRelease)
{
    int deaths = 0;
    {
        EffectMapPtr a(new CountedMap(&deaths));
        EXPECT_EQ(a.UseCount(), 1);
        {
            EffectMapPtr b = a;
            EffectMapPtr c;
            c = b;
            EXPECT_EQ(a.UseCount(), 3);
            EXPECT_EQ(c->Evaluate(0, 0), 0.25);
        }
        EXPECT_EQ(deaths, 0);
        EXPECT_EQ(a.UseCount(), 1);
        EffectMapPtr moved(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(moved.UseCount(), 1);
        moved = EffectMapPtr(new CountedMap(&deaths));  // releases the first
        EXPECT_EQ(deaths, 1);
    }
    EXPECT_EQ(deaths, 2);
}

}  // namespace
