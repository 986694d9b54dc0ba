// Whole frames through our host and the real plug-in, at every depth: the
// driver's background, masks, downsampling and interruption, checked against
// values worked out by hand for a single upright square dot.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/Host.h"
#include "params/ParamIds.h"

namespace {

using host::Depth;
namespace id = params::id;

constexpr A_long kW = 40;
constexpr A_long kH = 30;

// Full scale of a channel at each depth.
double Full(Depth d)
{
    return d == Depth::k8 ? 255.0 : d == Depth::k16 ? 32768.0 : 1.0;
}

struct Px {
    double a, r, g, b;
};

Px Get(const host::World &w, A_long x, A_long y)
{
    switch (w.depth()) {
        case Depth::k8: {
            const PF_Pixel8 &p = w.px8(x, y);
            return {double(p.alpha), double(p.red), double(p.green), double(p.blue)};
        }
        case Depth::k16: {
            const PF_Pixel16 &p = w.px16(x, y);
            return {double(p.alpha), double(p.red), double(p.green), double(p.blue)};
        }
        default: {
            const PF_PixelFloat &p = w.pxF(x, y);
            return {p.alpha, p.red, p.green, p.blue};
        }
    }
}

void Set(host::World &w, A_long x, A_long y, Px v)
{
    switch (w.depth()) {
        case Depth::k8:
            w.px8(x, y) = PF_Pixel8{static_cast<A_u_char>(v.a), static_cast<A_u_char>(v.r),
                                    static_cast<A_u_char>(v.g), static_cast<A_u_char>(v.b)};
            break;
        case Depth::k16:
            w.px16(x, y) = PF_Pixel16{static_cast<A_u_short>(v.a), static_cast<A_u_short>(v.r),
                                      static_cast<A_u_short>(v.g), static_cast<A_u_short>(v.b)};
            break;
        default:
            w.pxF(x, y) = PF_PixelFloat{static_cast<float>(v.a), static_cast<float>(v.r),
                                        static_cast<float>(v.g), static_cast<float>(v.b)};
            break;
    }
}

// A layer: opaque blue on the left half, transparent on the right half.
host::World HalfBlueLayer(Depth d)
{
    host::World w(kW, kH, d);
    const double f = Full(d);
    for (A_long y = 0; y < kH; ++y) {
        for (A_long x = 0; x < kW / 2; ++x) {
            Set(w, x, y, Px{f, 0, 0, f});
        }
    }
    return w;
}

class EndToEnd : public ::testing::TestWithParam<Depth> {
protected:
    void SetUp() override
    {
        effect_ = std::make_unique<host::Effect>(host::Plugin::load(STIPPLEX_PLUGIN_PATH));
        inst_ = std::make_unique<host::Instance>(effect_->newInstance(kW, kH));
        // One red square of side 10 centred on (cx, cy); the lattice pitch is
        // far larger than the layer, so it is the only dot.
        inst_->setPopup(Index(id::DotShape), 2);
        inst_->setColor(Index(id::DotColor), PF_Pixel{255, 255, 0, 0});
        inst_->setFloatSlider(Index(id::DotSize), 10);
        inst_->setFloatSlider(Index(id::DotSpacingX), 10000);
        inst_->setFloatSlider(Index(id::DotSpacingY), 10000);
    }
    void TearDown() override
    {
        inst_.reset();
        effect_->shutdown();
        EXPECT_TRUE(effect_->faults().empty()) << effect_->faults().front();
    }
    int Index(A_long paramId) { return inst_->indexOfId(paramId); }
    void Centre(double x, double y)
    {
        inst_->setPoint(Index(id::CenterPosition), static_cast<PF_Fixed>(x * 65536),
                        static_cast<PF_Fixed>(y * 65536));
    }
    host::FrameResult Render(const host::World &input, A_long downsample = 1)
    {
        host::FrameRequest req;
        req.input = &input;
        req.downsample_x = req.downsample_y = downsample;
        return inst_->render(req);
    }

    std::unique_ptr<host::Effect> effect_;
    std::unique_ptr<host::Instance> inst_;
};

TEST_P(EndToEnd, ClearedBackgroundWithoutMaskIsExactlyTheDotLayer)
{
    const Depth d = GetParam();
    const double f = Full(d);
    inst_->setCheckbox(Index(id::ClearBackground), true);
    inst_->setPopup(Index(id::MaskMode), 2);
    Centre(20, 15);
    const host::World input = HalfBlueLayer(d);
    const host::FrameResult frame = Render(input);
    ASSERT_TRUE(frame.ok()) << frame.render.message;
    const host::World &out = frame.output;
    ASSERT_EQ(out.width(), kW);
    ASSERT_EQ(out.height(), kH);
    EXPECT_TRUE(out.paddingIntact());
    // The square spans x 15..25 and y 10..20 exactly: those pixels are fully
    // covered, everything else is transparent black.
    for (A_long y = 0; y < kH; ++y) {
        for (A_long x = 0; x < kW; ++x) {
            const Px p = Get(out, x, y);
            const bool inside = x >= 15 && x < 25 && y >= 10 && y < 20;
            const Px want = inside ? Px{f, f, 0, 0} : Px{0, 0, 0, 0};
            ASSERT_EQ(p.a, want.a) << x << "," << y;
            ASSERT_EQ(p.r, want.r) << x << "," << y;
            ASSERT_EQ(p.g, want.g) << x << "," << y;
            ASSERT_EQ(p.b, want.b) << x << "," << y;
        }
    }
}

TEST_P(EndToEnd, HalfPixelShiftGivesHalfCoveredBorderColumns)
{
    const Depth d = GetParam();
    inst_->setCheckbox(Index(id::ClearBackground), true);
    inst_->setPopup(Index(id::MaskMode), 2);
    Centre(20.5, 15);
    const host::World input = HalfBlueLayer(d);
    const host::FrameResult frame = Render(input);
    ASSERT_TRUE(frame.ok());
    // Columns 15 and 25 are half covered: 32 of 64 sub-samples.
    const double half = d == Depth::k8 ? 127 : d == Depth::k16 ? 16384 : 0.5;
    EXPECT_EQ(Get(frame.output, 15, 12).a, half);
    EXPECT_EQ(Get(frame.output, 25, 12).a, half);
    EXPECT_EQ(Get(frame.output, 16, 12).a, Full(d));
    EXPECT_EQ(Get(frame.output, 14, 12).a, 0);
}

TEST_P(EndToEnd, KeptBackgroundShowsTheInputAroundTheDot)
{
    const Depth d = GetParam();
    const double f = Full(d);
    inst_->setPopup(Index(id::MaskMode), 2);
    Centre(20, 15);
    const host::World input = HalfBlueLayer(d);
    const host::FrameResult frame = Render(input);
    ASSERT_TRUE(frame.ok());
    const Px blue = Get(frame.output, 3, 3);
    EXPECT_EQ(blue.a, f);
    EXPECT_EQ(blue.b, f);
    EXPECT_EQ(Get(frame.output, 35, 3).a, 0);
    const Px dot = Get(frame.output, 22, 12);  // over the transparent half
    EXPECT_EQ(dot.a, f);
    EXPECT_EQ(dot.r, f);
    EXPECT_EQ(Get(frame.output, 17, 12).r, f);  // over the blue half
}

TEST_P(EndToEnd, NormalMaskKeepsDotsWhereTheInputIsOpaque)
{
    const Depth d = GetParam();
    const double f = Full(d);
    inst_->setCheckbox(Index(id::ClearBackground), true);
    inst_->setPopup(Index(id::MaskMode), 1);
    Centre(20, 15);
    const host::World input = HalfBlueLayer(d);
    host::FrameResult frame = Render(input);
    ASSERT_TRUE(frame.ok());
    EXPECT_EQ(Get(frame.output, 17, 12).r, f);  // input opaque here
    EXPECT_EQ(Get(frame.output, 22, 12).a, 0);  // input transparent here

    inst_->setCheckbox(Index(id::InvertMask), true);
    frame = Render(input);
    ASSERT_TRUE(frame.ok());
    EXPECT_EQ(Get(frame.output, 17, 12).a, 0);
    EXPECT_EQ(Get(frame.output, 22, 12).r, f);
}

TEST_P(EndToEnd, HalfResolutionHalvesTheDot)
{
    const Depth d = GetParam();
    const double f = Full(d);
    inst_->setCheckbox(Index(id::ClearBackground), true);
    inst_->setPopup(Index(id::MaskMode), 2);
    Centre(20, 16);
    const host::World input = HalfBlueLayer(d);
    const host::FrameResult frame = Render(input, 2);
    ASSERT_TRUE(frame.ok());
    ASSERT_EQ(frame.output.width(), kW / 2);
    // Centre (10, 8), size 5: x from 7.5 to 12.5, y from 5.5 to 10.5.
    EXPECT_EQ(Get(frame.output, 9, 8).a, f);
    EXPECT_EQ(Get(frame.output, 12, 8).a, d == Depth::k8 ? 127 : d == Depth::k16 ? 16384 : 0.5);
    EXPECT_EQ(Get(frame.output, 13, 8).a, 0);
}

TEST_P(EndToEnd, InterruptedRenderKeepsTheBackground)
{
    const Depth d = GetParam();
    inst_->setPopup(Index(id::MaskMode), 2);
    inst_->setFloatSlider(Index(id::DotSpacingX), 0);
    inst_->setFloatSlider(Index(id::DotSpacingY), 0);
    const host::World input = HalfBlueLayer(d);
    host::FrameRequest req;
    req.input = &input;
    req.progress = [](A_long, A_long) { return true; };
    const host::FrameResult frame = inst_->render(req);
    EXPECT_TRUE(frame.interrupted);
    EXPECT_EQ(frame.render.err, PF_Interrupt_CANCEL);
    EXPECT_TRUE(frame.output.samePixels(input));
}

TEST_P(EndToEnd, SameParametersGiveTheSameBytes)
{
    const Depth d = GetParam();
    inst_->setPopup(Index(id::DotShape), 5);
    inst_->setFloatSlider(Index(id::DotSpacingX), 2);
    inst_->setFloatSlider(Index(id::DotSpacingY), 2);
    inst_->setFloatSlider(Index(id::RandomSize), 0.5);
    inst_->setAngle(Index(id::RandomHue), 90 << 16);
    inst_->setSlider(Index(id::RandomSeed), 7);
    const host::World input = HalfBlueLayer(d);
    const host::FrameResult a = Render(input);
    const host::FrameResult b = Render(input);
    ASSERT_TRUE(a.ok() && b.ok());
    EXPECT_TRUE(a.output.samePixels(b.output));
    EXPECT_FALSE(a.output.samePixels(input));
}

INSTANTIATE_TEST_SUITE_P(AllDepths, EndToEnd, ::testing::Values(Depth::k8, Depth::k16, Depth::k32),
                         [](const ::testing::TestParamInfo<Depth> &p) {
                             return "Depth" + std::to_string(static_cast<int>(p.param));
                         });

}  // namespace

namespace {

// What smart pre-render tells the host, seen from the host's side.
class PreRender : public ::testing::Test {
protected:
    host::FrameResult Render(A_long width, A_long height, A_long downsample,
                             const std::function<void(host::Instance &)> &set)
    {
        host::Effect effect(host::Plugin::load(STIPPLEX_PLUGIN_PATH));
        host::FrameResult frame;
        {
            host::Instance inst = effect.newInstance(width, height);
            set(inst);
            const host::World input(width, height, host::Depth::k8);
            host::FrameRequest req;
            req.input = &input;
            req.downsample_x = req.downsample_y = downsample;
            req.path = host::RenderPath::kSmart;
            frame = inst.render(req);
        }
        effect.shutdown();
        EXPECT_TRUE(effect.faults().empty()) << effect.faults().front();
        return frame;
    }
};

bool SameRect(const PF_LRect &r, A_long l, A_long t, A_long rr, A_long b)
{
    return r.left == l && r.top == t && r.right == rr && r.bottom == b;
}

TEST_F(PreRender, NormalMaskKeepsTheInputsRectangles)
{
    const host::FrameResult f = Render(200, 100, 1, [](host::Instance &) {});
    ASSERT_TRUE(f.ok());
    EXPECT_TRUE(SameRect(f.pre_render_output.result_rect, 0, 0, 200, 100));
    EXPECT_EQ(f.pre_render_output.flags, 0);
}

TEST_F(PreRender, LayerMaskCoversTheWholeDownsampledLayer)
{
    const host::FrameResult f = Render(
        1920, 1080, 2, [](host::Instance &i) { i.setPopup(i.indexOfId(params::id::MaskMode), 3); });
    ASSERT_TRUE(f.ok());
    EXPECT_TRUE(SameRect(f.pre_render_output.result_rect, 0, 0, 960, 540));
    EXPECT_TRUE(SameRect(f.pre_render_output.max_result_rect, 0, 0, 960, 540));
    EXPECT_EQ(f.pre_render_output.flags, PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS);
}

TEST_F(PreRender, InvertedMaskRoundsOddSizesUp)
{
    const host::FrameResult f = Render(1001, 31, 2, [](host::Instance &i) {
        i.setCheckbox(i.indexOfId(params::id::InvertMask), true);
    });
    ASSERT_TRUE(f.ok());
    EXPECT_TRUE(SameRect(f.pre_render_output.result_rect, 0, 0, 501, 16));
}

TEST_F(PreRender, LayersAreProbedThenCheckedOutWholeUnderTheirOwnIds)
{
    const host::FrameResult f = Render(64, 48, 1, [](host::Instance &) {});
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
