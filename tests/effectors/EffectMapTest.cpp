#include <gtest/gtest.h>

#include <cmath>

#include "Pixels.h"
#include "effectors/AnalyticMaps.h"
#include "effectors/EffectMap.h"
#include "effectors/LayerEffectMap.h"
#include "effectors/TestLayer.h"

using namespace effectors;

namespace {

constexpr double kTol = 1e-12;

struct Sample {
    double x, y, want;
};

void ExpectWeights(const char *what, const BaseEffectMap &map,
                   std::initializer_list<Sample> samples)
{
    SCOPED_TRACE(what);
    for (const Sample &s : samples) {
        EXPECT_NEAR(map.Evaluate(s.x, s.y), s.want, kTol) << "at " << s.x << "," << s.y;
    }
}

TEST(RadialEffectMap, WorkedWeights)
{
    ExpectWeights("zero falloff: a hard disc", RadialEffectMap(50, 50, 10, 0.0, false),
                  {{50, 50, 1}, {60, 50, 1}, {50, 60.001, 0}});
    // A quarter radius into a full cosine fade: 0.5 + 0.5 cos(pi/4).
    ExpectWeights("full falloff: a cosine fade", RadialEffectMap(0, 0, 100, 1.0, false),
                  {{0, 0, 1}, {50, 0, 0.5}, {0, -100, 0}, {25, 0, 0.5 + 0.5 * std::sqrt(0.5)}});
    const RadialEffectMap ring(0, 0, 100, 1.0, true);
    ExpectWeights("symmetric: the peak is the half-radius ring", ring,
                  {{0, 50, 1}, {0, 0, 0}, {100, 0, 0}, {75, 0, ring.Evaluate(25, 0)}});
}

TEST(LinearEffectMap, WorkedWeights)
{
    ExpectWeights("zero falloff", LinearEffectMap(0, 0, 30, 10, 0.0, false), {{1e6, -1e6, 1}});
    ExpectWeights("zero size", LinearEffectMap(0, 0, 30, 0, 0.5, true), {{-1e6, 1e6, 1}});
    ExpectWeights("angle 0: full below, fading above", LinearEffectMap(100, 100, 0, 50, 0.5, false),
                  {{100, 150, 1}, {100, 75, 1}, {100, 62.5, 0.5}, {100, 40, 0}});
    ExpectWeights("symmetric: a band about the line", LinearEffectMap(100, 100, 0, 50, 0.5, true),
                  {{100, 137.5, 0.5}, {100, 62.5, 0.5}, {100, 151, 0}});
    ExpectWeights("90 degrees: a vertical line fading to the right",
                  LinearEffectMap(100, 100, 90, 50, 0.5, false),
                  {{0, 100, 1}, {137.5, 0, 0.5}, {151, 100, 0}});
}

TEST(LinearEffectMap, AxisAnglesGiveExactZeros)
{
    for (double angle : {0.0, 180.0, -180.0, 360.0}) {
        EXPECT_EQ(LinearEffectMap(0, 0, angle, 1, 0.5, false).SinA(), 0.0) << angle;
    }
    for (double angle : {90.0, 270.0, -90.0}) {
        EXPECT_EQ(LinearEffectMap(0, 0, angle, 1, 0.5, false).CosA(), 0.0) << angle;
    }
}

// Settings for the factory: centre (100, 100), size 50, falloff 50 %.
EffectorSettings FactorySettings(A_long mapType)
{
    EffectorSettings s{};
    s.mapType = mapType;
    s.position = {100 << 16, 100 << 16};
    s.size = 50;
    s.falloff = 50;
    return s;
}

TEST(MakeEffectMap, PopupChoosesTheMapKind)
{
    // Weights far below, at the centre and far to the right tell the four
    // analytic kinds apart; separators and unknown values cover everything.
    struct Case {
        A_long popup;
        double below, centre, right;
    };
    for (const Case &c : {Case{3, 0, 1, 0}, Case{4, 0, 0, 0}, Case{5, 1, 1, 1}, Case{6, 0, 1, 1},
                          Case{2, 1, 1, 1}, Case{0, 1, 1, 1}, Case{7, 1, 1, 1}}) {
        const EffectorSettings s = FactorySettings(c.popup);
        ExpectWeights(std::to_string(c.popup).c_str(),
                      *MakeEffectMap<AEUtil::Pixel8>(s, DeriveEffector(s, 400, 400)),
                      {{100, 300, c.below}, {100, 100, c.centre}, {300, 100, c.right}});
    }
}

TEST(MakeEffectMap, FittedLayerIsStretchedOverTheCanvas)
{
    TestLayer<AEUtil::Pixel8> layer(10, 10);
    layer.At(4, 2) = {255, 4, 2, 0};
    EffectorSettings s = FactorySettings(1);
    s.mapLayer = layer.World();
    s.fitToLayer = 1;
    s.angle = 45 << 16;  // ignored when fitted
    const EffectMapPtr map = MakeEffectMap<AEUtil::Pixel8>(s, DeriveEffector(s, 20, 20));
    // Canvas (7, 4) is layer (3.5, 2), which rounds to (4, 2).
    const auto p = dynamic_cast<const LayerEffectMap<AEUtil::Pixel8> &>(*map).SampleTiled(7, 4);
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
        {
            EffectMapPtr b = a;
            EffectMapPtr c;
            c = b;
            EXPECT_EQ(a.UseCount(), 3);
        }
        EXPECT_EQ(deaths, 0);
        EffectMapPtr moved(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(moved.UseCount(), 1);
        moved = EffectMapPtr(new CountedMap(&deaths));  // releases the first
        EXPECT_EQ(deaths, 1);
    }
    EXPECT_EQ(deaths, 2);
}

}  // namespace
