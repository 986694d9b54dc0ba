// Effectors through our host and the real plug-in, acting on one square dot
// whose size and colour are easy to read back: a map reached through the
// effect's parameters and a map layer reached through the host. Each map's
// weights, the steps and the colour blends: tests/effectors; each effector
// parameter landing in its field: tests/params.
#include <gtest/gtest.h>

#include <utility>

#include "OneDot.h"

namespace {

using effecttest::OneDot;
namespace id = params::id;
constexpr A_long kW = 60;
constexpr A_long kH = 40;
constexpr A_long kMapLayer = 7;

// A layer of one opaque colour.
host::World Flat(PF_Pixel8 colour)
{
    host::World w(kW, kH, host::Depth::k8);
    for (A_long y = 0; y < kH; ++y) {
        for (A_long x = 0; x < kW; ++x) {
            w.px8(x, y) = colour;
        }
    }
    return w;
}

class EffectorsEndToEnd : public ::testing::Test {
protected:
    int Index(A_long paramId) { return inst_.indexOfId(paramId); }

    host::World Render(const host::World *mapLayer = nullptr, A_long downsample = 1)
    {
        const host::World input(kW, kH, host::Depth::k8);  // transparent
        host::FrameRequest req;
        req.input = &input;
        req.downsample_x = req.downsample_y = downsample;
        if (mapLayer) {
            req.layers[kMapLayer] = mapLayer;
        }
        host::FrameResult frame = inst_.render(req);
        EXPECT_TRUE(frame.ok()) << frame.render.message;
        return frame.output;
    }

    // The covered columns of row y: [first, last].
    static std::pair<A_long, A_long> Span(const host::World &w, A_long y)
    {
        std::pair<A_long, A_long> span{-1, -1};
        for (A_long x = 0; x < w.width(); ++x) {
            if (w.px8(x, y).alpha != 0) {
                span = {span.first < 0 ? x : span.first, x};
            }
        }
        return span;
    }

    // One red square of side 10 centred on (30, 20): x 25..35, y 15..25.
    OneDot one_{kW, kH, 10, 30, 20};
    host::Instance &inst_ = one_.inst;
};

TEST_F(EffectorsEndToEnd, RadialMapInReachPullsTheSizeAllTheWay)
{
    // Effector 1, a radial map, with Absolute pulling the size to 20.
    inst_.setCheckbox(Index(id::EnableEffector1), true);
    inst_.setPopup(Index(id::EffectMap1), 3);
    inst_.setCheckbox(Index(id::Absolute1), true);
    inst_.setFloatSlider(Index(id::IndependentSize1), 20);
    inst_.setPoint(Index(id::EffectorPosition1), 30 << 16, 20 << 16);
    inst_.setFloatSlider(Index(id::EffectorFalloff1), 0);  // a hard disc: weight 1
    EXPECT_EQ(Span(Render(), 20), std::make_pair(A_long(20), A_long(39)));
    // At half size the pulled size halves as well: 10 about (15, 10).
    EXPECT_EQ(Span(Render(nullptr, 2), 10), std::make_pair(A_long(10), A_long(19)));
}

TEST_F(EffectorsEndToEnd, PickedSourceColourComesFromTheMapLayer)
{
    inst_.setCheckbox(Index(id::EnableEffector1), true);
    inst_.setPopup(Index(id::EffectMap1), 1);
    inst_.setCheckbox(Index(id::PickSourceColor1), true);
    inst_.setLayer(Index(id::CustomMapLayer1), host::LayerChoice::Layer(kMapLayer));
    // A mid-grey-green layer: weight below 1, but the picked colour is whole.
    const host::World green = Flat(PF_Pixel8{255, 0, 200, 0});
    const PF_Pixel8 p = Render(&green).px8(30, 20);
    EXPECT_EQ(p.alpha, 255);
    EXPECT_EQ(p.red, 0);
    EXPECT_EQ(p.green, 200);
    EXPECT_EQ(p.blue, 0);
}

}  // namespace
