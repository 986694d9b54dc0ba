// Multi-frame rendering with the real plug-in: several threads render frames
// of one instance at once, as the host's multi-frame mode lets them, and each
// frame comes out as it does when rendered alone. Run under ThreadSanitizer
// by scripts/test.sh.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "host/Host.h"
#include "params/ParamIds.h"

namespace {

using host::Depth;
namespace id = params::id;

constexpr A_long kW = 64;
constexpr A_long kH = 48;
constexpr A_long kMapLayer = 1;
constexpr int kFrames = 12;
constexpr int kThreads = 4;

// Colour rising across, alpha falling down (the mask follows the input's).
host::World Ramp(Depth depth, int seed)
{
    host::World w(kW, kH, depth);
    for (A_long y = 0; y < kH; ++y) {
        for (A_long x = 0; x < kW; ++x) {
            const double a = 1.0 - y / double(kH), c = ((x + seed) % kW) / double(kW);
            if (depth == Depth::k8) {
                w.px8(x, y) = PF_Pixel8{A_u_char(a * 255), A_u_char(c * 255), 40, 200};
            } else if (depth == Depth::k16) {
                w.px16(x, y) = PF_Pixel16{A_u_short(a * 32768), A_u_short(c * 32768), 4000, 20000};
            } else {
                w.pxF(x, y) = PF_PixelFloat{float(a), float(c), 0.2f, 0.7f};
            }
        }
    }
    return w;
}

class MultiFrame : public ::testing::TestWithParam<Depth> {};

TEST_P(MultiFrame, FramesRenderedAtOnceThroughOneInstanceAreThoseRenderedAlone)
{
    host::Effect effect(host::Plugin::load(STIPPLEX_PLUGIN_PATH));
    host::Instance inst = effect.newInstance(kW, kH);
    ASSERT_TRUE(inst.rendersConcurrently());
    auto index = [&](A_long paramId) { return inst.indexOfId(paramId); };
    // A new random arrangement every frame, and effector 1 reading a layer.
    inst.setFloatSlider(index(id::DotSize), 7);
    inst.setSlider(index(id::RandomInterval), 1);
    inst.setFloatSlider(index(id::RandomSize), 50);
    inst.setFloatSlider(index(id::RandomRotation), 50);
    inst.setCheckbox(index(id::EnableEffector1), true);
    inst.setPopup(index(id::EffectMap1), 1);
    inst.setLayer(index(id::CustomMapLayer1), host::LayerChoice::Layer(kMapLayer));
    inst.setCheckbox(index(id::PickSourceColor1), true);

    const host::World input = Ramp(GetParam(), 0), map = Ramp(GetParam(), kW / 2);
    auto request = [&](int frame) {
        host::FrameRequest req;
        req.input = &input;
        req.layers[kMapLayer] = &map;
        req.current_time = frame;
        req.downsample_x = req.downsample_y = 1 + frame % 3;
        return req;
    };
    std::vector<host::World> alone(kFrames), together(kFrames);
    for (int f = 0; f < kFrames; ++f) alone[f] = inst.render(request(f)).output;

    std::atomic<int> next{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int f = next++; f < kFrames; f = next++) {
                const host::FrameRequest req = request(f);
                host::FrameResult r = inst.render(req);
                EXPECT_TRUE(r.ok()) << "frame " << f << ": " << r.render.message;
                together[f] = std::move(r.output);
            }
        });
    }
    for (std::thread &t : threads) t.join();

    for (int f = 0; f < kFrames; ++f) {
        EXPECT_TRUE(!alone[f].empty() && alone[f].samePixels(together[f])) << "frame " << f;
    }
    EXPECT_FALSE(alone[0].samePixels(alone[3])) << "the frames do not differ";
    effect.shutdown();
    EXPECT_TRUE(effect.faults().empty()) << effect.faults().front();
}

INSTANTIATE_TEST_SUITE_P(AllDepths, MultiFrame,
                         ::testing::Values(Depth::k8, Depth::k16, Depth::k32));

}  // namespace
