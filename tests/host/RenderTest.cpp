// Rendering a frame: smart pre-render and render with layer checkouts at a
// downsampling, pre-render data, progress, and the legacy render.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "FakeEffect.h"

using fake::Call;
using host::Depth;
using host::World;

namespace {

// Index 1: a layer parameter (none by default); index 2: a point.
class RenderTest : public ::testing::Test {
protected:
    RenderTest()
    {
        fx.defs = {fake::Layer("Matte", 15, PF_LayerDefault_NONE),
                   fake::Point("Centre", 11, 50, 50)};
        // A 4 x 2 layer with distinct reds; alpha 255, blue its column.
        for (A_long y = 0; y < 2; ++y) {
            for (A_long x = 0; x < 4; ++x) {
                input.px8(x, y) = PF_Pixel8{255, kReds[y][x], 0, static_cast<A_u_char>(x)};
            }
        }
    }

    // The plainest smart effect: the output is the input.
    void PassThrough()
    {
        fx.on(PF_Cmd_SMART_PRE_RENDER, [](Call &c) -> PF_Err {
            auto *extra = static_cast<PF_PreRenderExtra *>(c.extra);
            PF_CheckoutResult in{};
            PF_Err err = extra->cb->checkout_layer(
                c.in->effect_ref, 0, 0, &extra->input->output_request, c.in->current_time,
                c.in->time_step, c.in->time_scale, &in);
            extra->output->result_rect = in.result_rect;
            extra->output->max_result_rect = in.max_result_rect;
            return err;
        });
        fx.on(PF_Cmd_SMART_RENDER, [](Call &c) -> PF_Err {
            auto *extra = static_cast<PF_SmartRenderExtra *>(c.extra);
            PF_EffectWorld *in = nullptr, *out = nullptr;
            extra->cb->checkout_layer_pixels(c.in->effect_ref, 0, &in);
            extra->cb->checkout_output(c.in->effect_ref, &out);
            c.in->utils->copy(c.in->effect_ref, in, out, nullptr, nullptr);
            return extra->cb->checkin_layer_pixels(c.in->effect_ref, 0);
        });
    }

    static constexpr A_u_char kReds[2][4] = {{10, 20, 30, 42}, {50, 60, 70, 80}};
    fake::FakeEffect fx;
    host::Effect effect{fx.plugin()};
    World input{4, 2, Depth::k8};
};

constexpr A_u_char RenderTest::kReds[2][4];

TEST_F(RenderTest, LayersAreDeliveredAsRoundedBoxAveragesOfTheirBlocks)
{
    PassThrough();
    host::Instance inst = effect.newInstance(4, 2);
    host::FrameRequest req;
    req.input = &input;
    req.downsample_x = 2;
    req.downsample_y = 2;
    const host::FrameResult r = inst.render(req);
    ASSERT_TRUE(r.ok()) << r.pre_render.err << " " << r.render.err;
    ASSERT_EQ(r.output.width(), 2);
    ASSERT_EQ(r.output.height(), 1);
    // (10 + 20 + 50 + 60) / 4 = 35; (30 + 42 + 70 + 80) / 4 = 55.5, rounded up.
    EXPECT_EQ(r.output.px8(0, 0).red, 35);
    EXPECT_EQ(r.output.px8(1, 0).red, 56);
    // Blue 0, 1, 0, 1 -> 0.5 -> 1; blue 2, 3, 2, 3 -> 2.5 -> 3.
    EXPECT_EQ(r.output.px8(0, 0).blue, 1);
    EXPECT_EQ(r.output.px8(1, 0).blue, 3);
    ASSERT_EQ(r.layer_checkouts.size(), 1u);
    EXPECT_EQ(r.layer_checkouts[0].result.ref_width, 4);
    EXPECT_EQ(r.layer_checkouts[0].result.ref_height, 2);
    EXPECT_EQ(r.layer_checkouts[0].result.result_rect.right, 2);
    EXPECT_EQ(r.pixel_checkouts, std::vector<A_long>{0});
    EXPECT_EQ(r.pixel_checkins, std::vector<A_long>{0});
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
}

TEST_F(RenderTest, ProbeAndRealCheckoutsAreRecordedAndClippedToTheDownsampledLayer)
{
    World other(3, 2, Depth::k8);
    other.px8(2, 1) = PF_Pixel8{255, 9, 9, 9};
    A_long seen_width = 0;
    PF_RationalScale seen_ds{};
    fx.on(PF_Cmd_SMART_PRE_RENDER, [&](Call &c) -> PF_Err {
        auto *extra = static_cast<PF_PreRenderExtra *>(c.extra);
        seen_width = c.in->width;
        seen_ds = c.in->downsample_x;
        PF_RenderRequest req{};
        req.channel_mask = PF_ChannelMask_ARGB;
        PF_CheckoutResult probe{}, real{};
        extra->cb->checkout_layer(c.in->effect_ref, 1, 1000001, &req, 0, 1, 30, &probe);
        req.rect = PF_LRect{0, 0, probe.ref_width, probe.ref_height};
        return extra->cb->checkout_layer(c.in->effect_ref, 1, 1, &req, 0, 1, 30, &real);
    });
    fx.on(PF_Cmd_SMART_RENDER, [](Call &c) -> PF_Err {
        auto *extra = static_cast<PF_SmartRenderExtra *>(c.extra);
        PF_EffectWorld *matte = nullptr;
        extra->cb->checkout_layer_pixels(c.in->effect_ref, 1, &matte);
        EXPECT_NE(matte, nullptr);
        if (!matte) return PF_Err_NONE;
        EXPECT_EQ(matte->width, 2);
        EXPECT_EQ(matte->height, 1);
        EXPECT_EQ(matte->origin_x, 0);
        // Column 1 of the half-size layer is an edge block: column 2 of
        // rows 0 and 1 only, (0 + 255) / 2 and (0 + 9) / 2, rounded up.
        const auto *px = reinterpret_cast<const PF_Pixel8 *>(matte->data);
        EXPECT_EQ(px[1].alpha, 128);
        EXPECT_EQ(px[1].red, 5);
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(4, 2);
    inst.setLayer(1, host::LayerChoice::Layer(7));
    host::FrameRequest req;
    req.input = &input;
    req.layers[7] = &other;
    req.downsample_x = 2;
    req.downsample_y = 2;
    const host::FrameResult r = inst.render(req);
    EXPECT_EQ(seen_width, 4);
    EXPECT_EQ(seen_ds.den, 2u);
    ASSERT_EQ(r.layer_checkouts.size(), 2u);
    EXPECT_EQ(r.layer_checkouts[0].checkout_id, 1000001);
    EXPECT_EQ(r.layer_checkouts[0].index, 1);
    EXPECT_EQ(r.layer_checkouts[0].result.ref_width, 3);
    EXPECT_EQ(r.layer_checkouts[0].result.ref_height, 2);
    EXPECT_EQ(r.layer_checkouts[0].result.result_rect.right, 0);  // asked for nothing
    EXPECT_EQ(r.layer_checkouts[1].checkout_id, 1);
    EXPECT_EQ(r.layer_checkouts[1].request.rect.right, 3);
    const PF_LRect got = r.layer_checkouts[1].result.result_rect;
    EXPECT_EQ(got.right, 2);   // 3 * 0.5 + 0.5 truncated
    EXPECT_EQ(got.bottom, 1);  // 2 * 0.5 + 0.5 truncated
    EXPECT_TRUE(r.output.empty());
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
}

TEST_F(RenderTest, LayerSetToNoneDeliversNoPixels)
{
    PF_EffectWorld *matte = reinterpret_cast<PF_EffectWorld *>(&matte);
    PF_CheckoutResult res{};
    fx.on(PF_Cmd_SMART_PRE_RENDER, [&res](Call &c) -> PF_Err {
        auto *extra = static_cast<PF_PreRenderExtra *>(c.extra);
        PF_RenderRequest req{};
        req.rect = PF_LRect{0, 0, 100, 100};
        return extra->cb->checkout_layer(c.in->effect_ref, 1, 3, &req, 0, 1, 30, &res);
    });
    fx.on(PF_Cmd_SMART_RENDER, [&matte](Call &c) -> PF_Err {
        auto *extra = static_cast<PF_SmartRenderExtra *>(c.extra);
        return extra->cb->checkout_layer_pixels(c.in->effect_ref, 3, &matte);
    });
    host::Instance inst = effect.newInstance(4, 2);
    host::FrameRequest req;
    req.input = &input;
    EXPECT_TRUE(inst.render(req).ok());
    EXPECT_EQ(matte, nullptr);
    EXPECT_EQ(res.ref_width, 0);
    EXPECT_EQ(res.max_result_rect.right, 0);
}

TEST_F(RenderTest, PointsArriveScaledWhileRenderingAndFullSizeOtherwise)
{
    PF_Fixed render_x = 0, render_y = 0, ui_x = 0;
    fx.on(PF_Cmd_SMART_PRE_RENDER, [&](Call &c) -> PF_Err {
        PF_ParamDef d{};
        c.in->inter.checkout_param(c.in->effect_ref, 2, 0, 1, 30, &d);
        render_x = d.u.td.x_value;
        render_y = d.u.td.y_value;
        return c.in->inter.checkin_param(c.in->effect_ref, &d);
    });
    fx.on(PF_Cmd_UPDATE_PARAMS_UI, [&](Call &c) -> PF_Err {
        ui_x = c.params[2]->u.td.x_value;
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(4, 2);
    inst.setPoint(2, 40 << 16, 20 << 16);
    host::FrameRequest req;
    req.input = &input;
    req.downsample_x = 2;
    req.downsample_y = 4;
    const host::FrameResult r = inst.render(req);
    inst.updateParamsUI();
    EXPECT_EQ(render_x, 20 << 16);
    EXPECT_EQ(render_y, 5 << 16);
    EXPECT_EQ(ui_x, 40 << 16);
    ASSERT_EQ(r.param_checkouts.size(), 1u);
    EXPECT_EQ(r.param_checkouts[0].index, 2);
}

TEST_F(RenderTest, HostDisposesOfThePreRenderHandleAfterRender)
{
    PF_Handle kept = nullptr;
    fx.on(PF_Cmd_SMART_PRE_RENDER, [&kept](Call &c) -> PF_Err {
        auto *extra = static_cast<PF_PreRenderExtra *>(c.extra);
        kept = c.in->utils->host_new_handle(64);
        extra->output->pre_render_data = kept;
        return PF_Err_NONE;
    });
    fx.on(PF_Cmd_SMART_RENDER, [](Call &c) -> PF_Err {
        auto *extra = static_cast<PF_SmartRenderExtra *>(c.extra);
        auto h = static_cast<PF_Handle>(extra->input->pre_render_data);
        EXPECT_NE(c.in->utils->host_lock_handle(h), nullptr);
        c.in->utils->host_unlock_handle(h);
        return PF_Err_NONE;
    });
    fx.on(PF_Cmd_UPDATE_PARAMS_UI, [&kept](Call &c) -> PF_Err {
        c.in->utils->host_get_handle_size(kept);
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(4, 2);
    host::FrameRequest req;
    req.input = &input;
    inst.render(req);
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
    inst.updateParamsUI();  // the handle is gone by now
    EXPECT_TRUE(fake::HasFault(effect.faults(), "host_get_handle_size of a disposed handle"));
}

TEST_F(RenderTest, PreRenderDataThatNoOneReleasesIsAFault)
{
    static int block;
    fx.on(PF_Cmd_SMART_PRE_RENDER, [](Call &c) -> PF_Err {
        static_cast<PF_PreRenderExtra *>(c.extra)->output->pre_render_data = &block;
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(4, 2);
    host::FrameRequest req;
    req.input = &input;
    inst.render(req);
    EXPECT_TRUE(fake::HasFault(effect.faults(), "pre_render_data is not a handle of this host"));
}

TEST_F(RenderTest, ProgressCanInterruptAfterAGivenNumberOfCalls)
{
    fx.on(PF_Cmd_SMART_RENDER, [](Call &c) -> PF_Err {
        for (A_long i = 1; i <= 10; ++i) {
            if (PF_Err err = c.in->inter.progress(c.in->effect_ref, i, 10)) return err;
        }
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(4, 2);
    host::FrameRequest req;
    req.input = &input;
    int calls = 0;
    req.progress = [&calls](A_long, A_long) { return ++calls == 3; };
    const host::FrameResult r = inst.render(req);
    EXPECT_EQ(r.render.err, PF_Interrupt_CANCEL);
    EXPECT_EQ(r.progress_calls, 3);
    EXPECT_TRUE(r.interrupted);
}

TEST_F(RenderTest, AbortAnswersCancelWhenTheCallerSaysSo)
{
    std::vector<PF_Err> answers;
    fx.on(PF_Cmd_SMART_RENDER, [&answers](Call &c) -> PF_Err {
        answers.push_back(c.in->inter.abort(c.in->effect_ref));
        answers.push_back(c.in->inter.abort(c.in->effect_ref));
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(4, 2);
    host::FrameRequest req;
    req.input = &input;
    int asked = 0;
    req.abort = [&asked] { return ++asked > 1; };
    EXPECT_TRUE(inst.render(req).interrupted);
    EXPECT_EQ(answers, (std::vector<PF_Err>{PF_Err_NONE, PF_Interrupt_CANCEL}));
}

TEST_F(RenderTest, PixelsOfAnIdPreRenderNeverCheckedOutAreRefused)
{
    PF_Err err = PF_Err_NONE;
    fx.on(PF_Cmd_SMART_RENDER, [&err](Call &c) -> PF_Err {
        PF_EffectWorld *w = nullptr;
        err = static_cast<PF_SmartRenderExtra *>(c.extra)->cb->checkout_layer_pixels(
            c.in->effect_ref, 4, &w);
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(4, 2);
    host::FrameRequest req;
    req.input = &input;
    inst.render(req);
    EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_TRUE(fake::HasFault(effect.faults(), "of id 4, which pre-render did not check out"));
}

TEST_F(RenderTest, WritingPastTheOutputRowsIsAFault)
{
    PassThrough();
    fx.on(PF_Cmd_SMART_RENDER, [](Call &c) -> PF_Err {
        auto *extra = static_cast<PF_SmartRenderExtra *>(c.extra);
        PF_EffectWorld *out = nullptr;
        extra->cb->checkout_output(c.in->effect_ref, &out);
        // Rows taken as tightly packed: the second row lands in the padding.
        std::memset(out->data, 0, sizeof(PF_Pixel8) * out->width * out->height);
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(4, 2);
    host::FrameRequest req;
    req.input = &input;
    inst.render(req);
    EXPECT_TRUE(fake::HasFault(effect.faults(), "wrote outside the rows of the output"))
        << fake::Joined(effect.faults());
}

TEST_F(RenderTest, LegacyRenderLendsTheInputAndLayerPixelsThroughCheckout)
{
    fx.out_flags2 = 0;  // no smart render
    World other(2, 2, Depth::k8);
    other.px8(1, 1) = PF_Pixel8{255, 0, 200, 0};
    A_u_char green = 0;
    fx.on(PF_Cmd_RENDER, [&green](Call &c) -> PF_Err {
        PF_ParamDef matte{};
        c.in->inter.checkout_param(c.in->effect_ref, 1, 0, 1, 30, &matte);
        green = reinterpret_cast<PF_Pixel8 *>(reinterpret_cast<char *>(matte.u.ld.data) +
                                              matte.u.ld.rowbytes)[1]
                    .green;
        c.in->inter.checkin_param(c.in->effect_ref, &matte);
        return c.in->utils->copy(c.in->effect_ref, &c.params[0]->u.ld, c.output, nullptr, nullptr);
    });
    host::Instance inst = effect.newInstance(4, 2);
    inst.setLayer(1, host::LayerChoice::Layer(3));
    host::FrameRequest req;
    req.input = &input;
    req.layers[3] = &other;
    const host::FrameResult r = inst.render(req);
    EXPECT_FALSE(r.smart);
    EXPECT_TRUE(r.output.samePixels(input));
    EXPECT_EQ(green, 200);
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
}

TEST_F(RenderTest, FramesReuseBuffersButNeverTheirPixelsOrBrokenPadding)
{
    // Each frame checks what it is handed, then scribbles over all of it and
    // past the rows of its output and of a cleared world of its own.
    int frame = 0;
    std::vector<std::string> seen;
    fx.on(PF_Cmd_SMART_PRE_RENDER, [](Call &c) -> PF_Err {
        auto *extra = static_cast<PF_PreRenderExtra *>(c.extra);
        PF_CheckoutResult in{};
        PF_Err err = extra->cb->checkout_layer(c.in->effect_ref, 0, 0,
                                               &extra->input->output_request, 0, 1, 30, &in);
        extra->output->result_rect = in.result_rect;
        extra->output->max_result_rect = in.max_result_rect;
        return err;
    });
    fx.on(PF_Cmd_SMART_RENDER, [&](Call &c) -> PF_Err {
        auto *extra = static_cast<PF_SmartRenderExtra *>(c.extra);
        PF_EffectWorld *in = nullptr, *out = nullptr;
        extra->cb->checkout_layer_pixels(c.in->effect_ref, 0, &in);
        extra->cb->checkout_output(c.in->effect_ref, &out);
        PF_EffectWorld temp{};
        c.in->utils->new_world(c.in->effect_ref, 4, 2, PF_NewWorldFlag_CLEAR_PIXELS, &temp);
        for (A_long y = 0; y < 2; ++y) {
            const auto *ip = reinterpret_cast<const PF_Pixel8 *>(
                reinterpret_cast<const char *>(in->data) + y * in->rowbytes);
            const auto *op = reinterpret_cast<const PF_Pixel8 *>(
                reinterpret_cast<const char *>(out->data) + y * out->rowbytes);
            const auto *tp = reinterpret_cast<const PF_Pixel8 *>(
                reinterpret_cast<const char *>(temp.data) + y * temp.rowbytes);
            for (A_long x = 0; x < 4; ++x) {
                if (ip[x].red != kReds[y][x]) seen.push_back("input");
                if (op[x].alpha != 255 || op[x].red != 255 || op[x].green != 0) {
                    seen.push_back("output");
                }
                if (tp[x].alpha != 0 || tp[x].red != 0) seen.push_back("temp");
            }
        }
        const std::size_t packed = sizeof(PF_Pixel8) * 4 * 2;
        std::memset(in->data, frame + 1, sizeof(PF_Pixel8) * 4);  // the first row only
        std::memset(out->data, frame + 1, packed + 8);
        std::memset(temp.data, frame + 1, packed + 8);
        c.in->utils->dispose_world(c.in->effect_ref, &temp);
        return extra->cb->checkin_layer_pixels(c.in->effect_ref, 0);
    });
    host::Instance inst = effect.newInstance(4, 2);
    host::FrameRequest req;
    req.input = &input;
    const World before = input;
    for (frame = 0; frame < 3; ++frame) {
        effect.clearFaults();
        const host::FrameResult r = inst.render(req);
        EXPECT_TRUE(r.ok());
        EXPECT_TRUE(fake::HasFault(effect.faults(), "wrote outside the rows of the output"))
            << fake::Joined(effect.faults());
        EXPECT_TRUE(fake::HasFault(effect.faults(), "wrote outside the rows of its 4 x 2 world"))
            << fake::Joined(effect.faults());
        EXPECT_EQ(effect.faults().size(), 2u) << fake::Joined(effect.faults());
    }
    EXPECT_TRUE(seen.empty()) << seen.front();
    EXPECT_TRUE(input.samePixels(before));  // the effect only ever wrote into a copy
}

TEST_F(RenderTest, CheckoutsOfTheSameLayerAndRectangleShareOneCopy)
{
    fx.defs = {fake::Layer("Matte", 15, PF_LayerDefault_MYSELF)};
    fx.on(PF_Cmd_SMART_PRE_RENDER, [](Call &c) -> PF_Err {
        auto *extra = static_cast<PF_PreRenderExtra *>(c.extra);
        PF_CheckoutResult r{};
        const PF_RenderRequest &all = extra->input->output_request;
        PF_RenderRequest part = all;
        part.rect.right = 2;
        extra->cb->checkout_layer(c.in->effect_ref, 0, 0, &all, 0, 1, 30, &r);
        extra->cb->checkout_layer(c.in->effect_ref, 1, 1, &all, 0, 1, 30, &r);
        extra->cb->checkout_layer(c.in->effect_ref, 1, 2, &part, 0, 1, 30, &r);
        return PF_Err_NONE;
    });
    PF_EffectWorld *got[3] = {};
    A_long width2 = 0;
    const void *data0 = nullptr;
    fx.on(PF_Cmd_SMART_RENDER, [&](Call &c) -> PF_Err {
        auto *extra = static_cast<PF_SmartRenderExtra *>(c.extra);
        for (A_long id = 0; id < 3; ++id) {
            extra->cb->checkout_layer_pixels(c.in->effect_ref, id, &got[id]);
            if (!got[id]) return PF_Err_NONE;
        }
        width2 = got[2]->width;
        data0 = got[0]->data;
        // Past the end of the first row of the copy ids 0 and 1 share.
        auto *row = reinterpret_cast<PF_Pixel8 *>(got[1]->data);
        row[got[1]->width].alpha = 0;
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(4, 2);
    host::FrameRequest req;
    req.input = &input;
    const World before = input;
    inst.render(req);
    ASSERT_NE(got[0], nullptr);
    ASSERT_NE(got[2], nullptr);
    EXPECT_EQ(got[0], got[1]);
    EXPECT_NE(got[0], got[2]);  // another rectangle, another copy
    EXPECT_EQ(width2, 2);
    EXPECT_NE(data0, input.pf()->data);
    EXPECT_TRUE(input.samePixels(before));
    EXPECT_TRUE(fake::HasFault(effect.faults(),
                               "wrote outside the rows of the pixels of checkout ids 0, 1"))
        << fake::Joined(effect.faults());
    EXPECT_EQ(effect.faults().size(), 1u) << fake::Joined(effect.faults());
}

TEST_F(RenderTest, LegacyRenderLendsACopyOfTheInput)
{
    fx.out_flags2 = 0;  // no smart render
    const void *lent = nullptr;
    fx.on(PF_Cmd_RENDER, [&lent](Call &c) -> PF_Err {
        lent = c.params[0]->u.ld.data;
        std::memset(c.params[0]->u.ld.data, 7, sizeof(PF_Pixel8) * 4);
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(4, 2);
    host::FrameRequest req;
    req.input = &input;
    const World before = input;
    EXPECT_TRUE(inst.render(req).ok());
    EXPECT_NE(lent, nullptr);
    EXPECT_NE(lent, input.pf()->data);
    EXPECT_TRUE(input.samePixels(before));
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
}

TEST_F(RenderTest, LayersOfAnotherDepthArriveConvertedAtTheInputsDepth)
{
    World deep(3, 1, Depth::k16);
    deep.px16(0, 0) = PF_Pixel16{32768, 16448, 0, 6554};
    deep.px16(1, 0) = PF_Pixel16{40000, 128, 129, 32767};
    deep.px16(2, 0) = PF_Pixel16{1, 65535, 64, 65};
    fx.on(PF_Cmd_SMART_PRE_RENDER, [](Call &c) -> PF_Err {
        auto *extra = static_cast<PF_PreRenderExtra *>(c.extra);
        PF_RenderRequest req{};
        req.rect = PF_LRect{0, 0, 3, 1};
        PF_CheckoutResult r{};
        return extra->cb->checkout_layer(c.in->effect_ref, 1, 1, &req, 0, 1, 30, &r);
    });
    PF_Pixel8 got[3] = {};
    fx.on(PF_Cmd_SMART_RENDER, [&got](Call &c) -> PF_Err {
        PF_EffectWorld *matte = nullptr;
        static_cast<PF_SmartRenderExtra *>(c.extra)->cb->checkout_layer_pixels(c.in->effect_ref, 1,
                                                                               &matte);
        if (matte) std::memcpy(got, matte->data, sizeof got);
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(4, 2);
    inst.setLayer(1, host::LayerChoice::Layer(5));
    host::FrameRequest req;
    req.input = &input;
    req.layers[5] = &deep;
    inst.render(req);
    // Each channel v / 32768, clamped to 0..1, times 255, rounded.
    auto to8 = [](int v) {
        return static_cast<A_u_char>(std::lround(std::min(v / 32768.0, 1.0) * 255.0));
    };
    for (int x = 0; x < 3; ++x) {
        const PF_Pixel16 &p = deep.px16(x, 0);
        EXPECT_EQ(got[x].alpha, to8(p.alpha)) << x;
        EXPECT_EQ(got[x].red, to8(p.red)) << x;
        EXPECT_EQ(got[x].green, to8(p.green)) << x;
        EXPECT_EQ(got[x].blue, to8(p.blue)) << x;
    }
    EXPECT_EQ(got[0].red, 128);
    EXPECT_EQ(got[1].alpha, 255);
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
}

TEST_F(RenderTest, OutputOutlivesItsInstance)
{
    PassThrough();
    host::FrameResult r;
    {
        host::Instance inst = effect.newInstance(4, 2);
        host::FrameRequest req;
        req.input = &input;
        r = inst.render(req);
    }
    EXPECT_TRUE(r.output.samePixels(input));
    EXPECT_TRUE(r.output.paddingIntact());
}

TEST_F(RenderTest, RequestsTheEffectCannotTakeAreRefusedBeforeAnyCommand)
{
    fx.out_flags = 0;  // not deep-colour aware
    host::Instance inst = effect.newInstance(4, 2);
    World deep(4, 2, Depth::k16);
    host::FrameRequest req;
    req.input = &deep;
    EXPECT_THROW(inst.render(req), host::HostError);
    req.input = &input;
    inst.setLayer(1, host::LayerChoice::Layer(9));
    EXPECT_THROW(inst.render(req), host::HostError);  // layer 9 is not in the request
    fx.calls.clear();
    req.downsample_x = 0;
    EXPECT_THROW(inst.render(req), host::HostError);
    EXPECT_TRUE(fx.calls.empty());
}

}  // namespace
