// Whole frames through our host and the real plug-in, at every depth: the
// driver's background, masks, downsampling and interruption, checked against
// values worked out by hand for a single upright square dot.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "OneDot.h"

namespace {

using effecttest::OneDot;
namespace id = params::id;
using host::Depth;

constexpr A_long kW = 40;
constexpr A_long kH = 30;

// Alpha, red, green, blue at any depth.
using Px = std::array<double, 4>;

Px Get(const host::World &w, A_long x, A_long y)
{
    if (w.depth() == Depth::k8) {
        const PF_Pixel8 &p = w.px8(x, y);
        return {double(p.alpha), double(p.red), double(p.green), double(p.blue)};
    }
    if (w.depth() == Depth::k16) {
        const PF_Pixel16 &p = w.px16(x, y);
        return {double(p.alpha), double(p.red), double(p.green), double(p.blue)};
    }
    const PF_PixelFloat &p = w.pxF(x, y);
    return {p.alpha, p.red, p.green, p.blue};
}

class EndToEnd : public ::testing::TestWithParam<Depth> {
protected:
    void SetUp() override
    {
        full_ = depth_ == Depth::k8 ? 255.0 : depth_ == Depth::k16 ? 32768.0 : 1.0;
        // The input: opaque blue on the left half, transparent on the right half.
        for (A_long y = 0; y < kH; ++y) {
            for (A_long x = 0; x < kW / 2; ++x) {
                if (depth_ == Depth::k8) {
                    input_.px8(x, y) = PF_Pixel8{255, 0, 0, 255};
                } else if (depth_ == Depth::k16) {
                    input_.px16(x, y) = PF_Pixel16{32768, 0, 0, 32768};
                } else {
                    input_.pxF(x, y) = PF_PixelFloat{1, 0, 0, 1};
                }
            }
        }
    }
    int Index(A_long paramId) { return inst_.indexOfId(paramId); }
    void Use(A_long maskMode, bool clearBackground)
    {
        inst_.setPopup(Index(id::MaskMode), maskMode);
        inst_.setCheckbox(Index(id::ClearBackground), clearBackground);
    }
    host::World Render()
    {
        host::FrameRequest req;
        req.input = &input_;
        host::FrameResult frame = inst_.render(req);
        EXPECT_TRUE(frame.ok()) << frame.render.message;
        return frame.output;
    }

    const Depth depth_ = GetParam();
    double full_ = 0;  // a channel's full scale
    host::World input_{kW, kH, depth_};
    // One red square of side 10 centred on (20, 15), x 15..25 and y 10..20.
    OneDot one_{kW, kH, 10, 20, 15};
    host::Instance &inst_ = one_.inst;
};

TEST_P(EndToEnd, ClearedBackgroundWithoutMaskIsExactlyTheDotLayer)
{
    Use(2, true);
    const host::World out = Render();
    ASSERT_EQ(out.width(), kW);
    ASSERT_EQ(out.height(), kH);
    EXPECT_TRUE(out.paddingIntact());
    // The square's pixels are fully covered, everything else is transparent black.
    for (A_long y = 0; y < kH; ++y) {
        for (A_long x = 0; x < kW; ++x) {
            const bool inside = x >= 15 && x < 25 && y >= 10 && y < 20;
            ASSERT_EQ(Get(out, x, y), (inside ? Px{full_, full_, 0, 0} : Px{})) << x << "," << y;
        }
    }
}

TEST_P(EndToEnd, KeptBackgroundShowsTheInputAroundTheDot)
{
    Use(2, false);
    const host::World out = Render();
    EXPECT_EQ(Get(out, 3, 3), (Px{full_, 0, 0, full_}));
    EXPECT_EQ(Get(out, 35, 3), Px{});
    EXPECT_EQ(Get(out, 22, 12), (Px{full_, full_, 0, 0}));  // over the transparent half
    EXPECT_EQ(Get(out, 17, 12), (Px{full_, full_, 0, 0}));  // over the blue half
}

TEST_P(EndToEnd, NormalMaskKeepsDotsWhereTheInputIsOpaque)
{
    Use(1, true);
    host::World out = Render();
    EXPECT_EQ(Get(out, 17, 12)[1], full_);  // input opaque here
    EXPECT_EQ(Get(out, 22, 12)[0], 0);      // input transparent here

    inst_.setCheckbox(Index(id::InvertMask), true);
    out = Render();
    EXPECT_EQ(Get(out, 17, 12)[0], 0);
    EXPECT_EQ(Get(out, 22, 12)[1], full_);
}

TEST_P(EndToEnd, InterruptedRenderKeepsTheBackground)
{
    Use(2, false);
    inst_.setFloatSlider(Index(id::DotSpacingX), 0);
    inst_.setFloatSlider(Index(id::DotSpacingY), 0);
    host::FrameRequest req;
    req.input = &input_;
    req.progress = [](A_long, A_long) { return true; };
    const host::FrameResult frame = inst_.render(req);
    EXPECT_TRUE(frame.interrupted);
    EXPECT_EQ(frame.render.err, PF_Interrupt_CANCEL);
    EXPECT_TRUE(frame.output.samePixels(input_));
}

INSTANTIATE_TEST_SUITE_P(AllDepths, EndToEnd, ::testing::Values(Depth::k8, Depth::k16, Depth::k32),
                         [](const ::testing::TestParamInfo<Depth> &p) {
                             return "Depth" + std::to_string(static_cast<int>(p.param));
                         });

TEST(LayerMask, IsCentredOnTheOutputRoundingHalvesUp)
{
    // A dot covering the whole 101 x 21 output, masked by a 50 x 10 layer
    // that is opaque only at its top-left pixel: (101 - 50) / 2 and
    // (21 - 10) / 2 round up to (26, 6).
    OneDot one(101, 21, 1000, 50, 10);
    one.inst.setPopup(one.Index(id::MaskMode), 3);
    one.inst.setLayer(one.Index(id::MaskLayer), host::LayerChoice::Layer(5));
    host::World mask(50, 10, Depth::k8);
    mask.px8(0, 0) = PF_Pixel8{255, 255, 255, 255};
    const host::World input(101, 21, Depth::k8);
    host::FrameRequest req;
    req.input = &input;
    req.layers[5] = &mask;
    const host::FrameResult frame = one.inst.render(req);
    ASSERT_TRUE(frame.ok()) << frame.render.message;
    EXPECT_EQ(OneDot::Covered(frame.output), std::vector<std::string>{"26,6"});
}

TEST(Downsampling, SizesFollowTheSmallerFactorAndSpacingsTheirOwn)
{
    // Dots of side 16 every 40 pixels around (40, 40) of an 80 x 80 layer, at
    // 1/2 across and 1/4 down: side 4 (16 x 1/4), every 20 pixels across and
    // every 10 down, centred on (20, 10) of the 40 x 20 output.
    OneDot one(80, 80, 16, 40, 40);
    one.inst.setPopup(one.Index(id::SpacingType), 2);  // centre to centre
    one.inst.setFloatSlider(one.Index(id::DotSpacingX), 40);
    one.inst.setFloatSlider(one.Index(id::DotSpacingY), 40);
    const host::World input(80, 80, Depth::k8);
    host::FrameRequest req;
    req.input = &input;
    req.downsample_x = 2;
    req.downsample_y = 4;
    const host::FrameResult frame = one.inst.render(req);
    ASSERT_TRUE(frame.ok()) << frame.render.message;
    ASSERT_EQ(frame.output.width(), 40);
    ASSERT_EQ(frame.output.height(), 20);
    // Pixels whose centre lies within 2 of a dot centre on both axes.
    auto near = [](A_long at, A_long pitch) {
        const double d = std::fmod(at + 0.5, pitch);
        return d < 2 || pitch - d < 2;
    };
    std::vector<std::string> expected;
    for (A_long y = 0; y < 20; ++y) {
        for (A_long x = 0; x < 40; ++x) {
            if (near(x, 20) && near(y, 10)) {
                expected.push_back(std::to_string(x) + "," + std::to_string(y));
            }
        }
    }
    EXPECT_EQ(OneDot::Covered(frame.output), expected);
}

TEST(RenderPaths, LegacyRenderDrawsWhatSmartRenderDraws)
{
    // A jittered lattice of stars over a two-colour input, with each mask
    // mode; the legacy path gets the layers through its parameters.
    const struct {
        const char *name;
        A_long maskMode;
        bool invert, clear;
        Depth depth;
    } cases[] = {
        {"normal mask over the input", 1, false, false, Depth::k8},
        {"inverted normal mask, 16 bits", 1, true, false, Depth::k16},
        {"no mask, cleared", 2, false, true, Depth::k8},
        {"layer mask", 3, false, false, Depth::k16},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        host::World input(64, 48, c.depth), mask(40, 30, c.depth);
        for (A_long y = 0; y < 48; ++y) {
            for (A_long x = 0; x < 64; ++x) {
                const A_u_char a = x < 40 ? 255 : 0;
                if (c.depth == Depth::k8) {
                    input.px8(x, y) = PF_Pixel8{a, 20, A_u_char(4 * x), A_u_char(5 * y)};
                    if (x < 40 && y < 30 && (x + y) % 3) mask.px8(x, y) = PF_Pixel8{200, 0, 0, 0};
                } else {
                    const A_u_short b = A_u_short(a * 128);
                    input.px16(x, y) = PF_Pixel16{b, 2000, A_u_short(500 * x), A_u_short(600 * y)};
                    if (x < 40 && y < 30 && (x + y) % 3)
                        mask.px16(x, y) = PF_Pixel16{25000, 0, 0, 0};
                }
            }
        }
        std::vector<host::World> outputs;
        for (const host::RenderPath path : {host::RenderPath::kSmart, host::RenderPath::kLegacy}) {
            OneDot one(64, 48, 7, 30, 20);
            one.inst.setPopup(one.Index(id::DotShape), 5);
            one.inst.setFloatSlider(one.Index(id::DotSpacingX), 9);
            one.inst.setFloatSlider(one.Index(id::DotSpacingY), 11);
            one.inst.setFloatSlider(one.Index(id::RandomSpacingX), 30);
            one.inst.setPopup(one.Index(id::MaskMode), c.maskMode);
            one.inst.setCheckbox(one.Index(id::InvertMask), c.invert);
            one.inst.setCheckbox(one.Index(id::ClearBackground), c.clear);
            one.inst.setLayer(one.Index(id::MaskLayer), host::LayerChoice::Layer(5));
            host::FrameRequest req;
            req.input = &input;
            req.layers[5] = &mask;
            req.path = path;
            host::FrameResult frame = one.inst.render(req);
            ASSERT_TRUE(frame.ok()) << frame.render.message;
            ASSERT_EQ(frame.smart, path == host::RenderPath::kSmart);
            outputs.push_back(std::move(frame.output));
        }
        EXPECT_TRUE(!outputs[0].empty() && outputs[0].samePixels(outputs[1]));  // sizes too
    }
}

// What smart pre-render tells the host, seen from the host's side: an 8-bit
// frame of a fresh instance, after `set`, at this downsampling.
host::FrameResult PreRender(A_long width, A_long height, A_long downsample,
                            const std::function<void(host::Instance &)> &set)
{
    host::Effect effect(host::Plugin::load(STIPPLEX_PLUGIN_PATH));
    host::Instance inst = effect.newInstance(width, height);
    set(inst);
    const host::World input(width, height, host::Depth::k8);
    host::FrameRequest req;
    req.input = &input;
    req.downsample_x = req.downsample_y = downsample;
    req.path = host::RenderPath::kSmart;
    host::FrameResult frame = inst.render(req);
    effect.shutdown();
    EXPECT_TRUE(effect.faults().empty()) << effect.faults().front();
    return frame;
}

TEST(PreRender, OutputRectanglesFollowTheMaskAndTheDownsampling)
{
    const struct {
        const char *name;
        A_long width, height, downsample, maskMode;
        bool invert;
        A_long right, bottom;  // of both rectangles, which start at (0, 0)
        PF_RenderOutputFlags flags;
    } cases[] = {
        {"normal mask: the input's", 200, 100, 1, 1, false, 200, 100, 0},
        {"layer mask: the downsampled layer", 1920, 1080, 2, 3, false, 960, 540,
         PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS},
        {"inverted mask: odd sizes round up", 1001, 31, 2, 1, true, 501, 16,
         PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const host::FrameResult f = PreRender(c.width, c.height, c.downsample, [&c](auto &i) {
            i.setPopup(i.indexOfId(id::MaskMode), c.maskMode);
            i.setCheckbox(i.indexOfId(id::InvertMask), c.invert);
        });
        ASSERT_TRUE(f.ok());
        for (const PF_LRect &r :
             {f.pre_render_output.result_rect, f.pre_render_output.max_result_rect}) {
            EXPECT_EQ(r.left, 0);
            EXPECT_EQ(r.top, 0);
            EXPECT_EQ(r.right, c.right);
            EXPECT_EQ(r.bottom, c.bottom);
        }
        EXPECT_EQ(f.pre_render_output.flags, c.flags);
    }
}

TEST(PreRender, LayersAreProbedThenCheckedOutWholeUnderTheirOwnIds)
{
    const host::FrameResult f = PreRender(64, 48, 1, [](host::Instance &) {});
    ASSERT_TRUE(f.ok());
    std::vector<A_long> ids;
    for (const host::LayerCheckout &c : f.layer_checkouts) {
        ids.push_back(c.checkout_id);
    }
    // Each layer: a probe, then the real checkout of the whole layer; the
    // input comes last, for the output rectangle.
    const std::vector<A_long> expected = {1000001, 1, 1000002, 2, 1000003, 3, 1000004, 4, 0};
    EXPECT_EQ(ids, expected);
    for (const host::LayerCheckout &c : f.layer_checkouts) {
        if (c.checkout_id >= 1 && c.checkout_id <= 4) {
            EXPECT_EQ(c.request.rect.right, c.result.ref_width) << c.checkout_id;
            EXPECT_EQ(c.request.rect.bottom, c.result.ref_height) << c.checkout_id;
        }
    }
    EXPECT_EQ(f.pixel_checkouts, (std::vector<A_long>{0, 1, 2, 3, 4}));
    EXPECT_EQ(f.pixel_checkins, (std::vector<A_long>{0}));
}

}  // namespace
