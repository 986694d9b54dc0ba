// Rendering a frame: smart pre-render and render with layer checkouts at a
// downsampling, pre-render data, progress, and the legacy render.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "FakeEffect.h"

using fake::Call;
using host::Depth;
using host::World;

namespace {

constexpr A_u_char kReds[2][4] = {{10, 20, 30, 42}, {50, 60, 70, 80}};

// Index 1: a layer parameter; index 2: a point; index 3: a layer left at none.
class RenderTest : public fake::WithEffect<> {
protected:
    RenderTest()
    {
        fx.defs = {fake::Layer("Matte", 15, PF_LayerDefault_NONE),
                   fake::Point("Centre", 11, 50, 50),
                   fake::Layer("Nothing", 16, PF_LayerDefault_NONE)};
        // A 4 x 2 layer with distinct reds; alpha 255, blue its column.
        for (A_long y = 0; y < 2; ++y) {
            for (A_long x = 0; x < 4; ++x) {
                input.px8(x, y) = PF_Pixel8{255, kReds[y][x], 0, static_cast<A_u_char>(x)};
            }
        }
        req.input = &input;
        fx.on(PF_Cmd_SMART_PRE_RENDER, fake::CheckoutInput);
    }

    // The plainest smart effect: the output is the input.
    void PassThrough()
    {
        fx.on(PF_Cmd_SMART_RENDER, [](Call &c) {
            c.in->utils->copy(c.ref(), c.pixels(0), c.smartOutput(), nullptr, nullptr);
            return c.smartRender()->cb->checkin_layer_pixels(c.ref(), 0);
        });
    }

    World input{4, 2, Depth::k8};
    host::FrameRequest req;
};

TEST_F(RenderTest, LayersAreDeliveredAsRoundedBoxAveragesOfTheirBlocks)
{
    PassThrough();
    req.downsample_x = 2;
    req.downsample_y = 2;
    // The output outlives the instance.
    const host::FrameResult r = effect.newInstance(4, 2).render(req);
    ASSERT_TRUE(r.ok()) << r.pre_render.err << " " << r.render.err;
    ASSERT_EQ(r.output.width(), 2);
    ASSERT_EQ(r.output.height(), 1);
    EXPECT_TRUE(r.output.paddingIntact());
    // (10 + 20 + 50 + 60) / 4 = 35; (30 + 42 + 70 + 80) / 4 = 55.5, rounded up.
    EXPECT_EQ(r.output.px8(0, 0).red, 35);
    EXPECT_EQ(r.output.px8(1, 0).red, 56);
    // Blue 0, 1, 0, 1 -> 0.5 -> 1; blue 2, 3, 2, 3 -> 2.5 -> 3.
    EXPECT_EQ(r.output.px8(0, 0).blue, 1);
    EXPECT_EQ(r.output.px8(1, 0).blue, 3);
    ASSERT_EQ(r.layer_checkouts.size(), 1u);
    EXPECT_EQ(r.layer_checkouts[0].result.result_rect.right, 2);
    EXPECT_EQ(r.pixel_checkouts, std::vector<A_long>{0});
    EXPECT_EQ(r.pixel_checkins, std::vector<A_long>{0});
    // A caller's own downsampled input gives the same frame.
    const World ready = host::DownsampleLayer(input, 2, 2);
    req.input_downsampled = &ready;
    EXPECT_TRUE(effect.newInstance(4, 2).render(req).output.samePixels(r.output));
    req.input_downsampled = nullptr;
    // The same blues at 16 bits: 2, 3, 2, 3 -> 2.5 -> 3.
    World deep(4, 2, Depth::k16);
    for (A_long i = 0; i < 8; ++i) deep.px16(i % 4, i / 4).blue = static_cast<A_u_short>(i % 4);
    req.input = &deep;
    EXPECT_EQ(effect.newInstance(4, 2).render(req).output.px16(1, 0).blue, 3);
    EXPECT_TRUE(fake::FaultsAre(effect, {}));
}

TEST_F(RenderTest, AtADownsamplingCheckoutsAreClippedAndPointsScaled)
{
    World other(3, 2, Depth::k8);
    other.px8(2, 1) = PF_Pixel8{255, 9, 9, 9};
    PF_InData seen{};
    PF_ParamDef point{};
    fx.on(PF_Cmd_SMART_PRE_RENDER, [&](Call &c) {
        seen = *c.in;
        c.in->inter.checkout_param(c.ref(), 2, 0, 1, 30, &point);
        c.in->inter.checkin_param(c.ref(), &point);
        PF_RenderRequest ask{};  // no rectangle: a probe
        PF_CheckoutResult probe{};
        c.checkout(1, 1000001, &ask, &probe);
        ask.rect = PF_LRect{0, 0, probe.ref_width, probe.ref_height};
        c.checkout(1, 1, &ask);
        return c.checkout(3, 3);
    });
    fx.does(PF_Cmd_SMART_RENDER, [](Call &c) {
        EXPECT_EQ(c.pixels(3), nullptr);  // a layer set to none has no pixels
        const PF_EffectWorld *matte = c.pixels(1);
        ASSERT_NE(matte, nullptr);
        EXPECT_EQ(matte->width, 2);
        EXPECT_EQ(matte->height, 1);
        EXPECT_EQ(matte->origin_x, 0);
        // Column 1 of the half-size layer is an edge block: column 2 of
        // rows 0 and 1 only, (0 + 255) / 2 and (0 + 9) / 2, rounded up.
        EXPECT_EQ(fake::Px8(matte, 1, 0).alpha, 128);
        EXPECT_EQ(fake::Px8(matte, 1, 0).red, 5);
    });
    PF_Fixed ui_x = 0;
    fx.does(PF_Cmd_UPDATE_PARAMS_UI, [&](Call &c) { ui_x = c.params[2]->u.td.x_value; });
    host::Instance inst = effect.newInstance(4, 2);
    inst.setLayer(1, host::LayerChoice::Layer(7));
    inst.setPoint(2, 40 << 16, 20 << 16);
    req.layers[7] = &other;
    req.downsample_x = 2;
    req.downsample_y = 4;
    const host::FrameResult r = inst.render(req);
    inst.updateParamsUI();
    EXPECT_EQ(seen.width, 4);
    EXPECT_EQ(seen.downsample_y.den, 4u);
    EXPECT_EQ(point.u.td.x_value, 20 << 16);  // scaled while rendering
    EXPECT_EQ(point.u.td.y_value, 5 << 16);
    EXPECT_EQ(ui_x, 40 << 16);  // and full size otherwise
    ASSERT_EQ(r.param_checkouts.size(), 1u);
    EXPECT_EQ(r.param_checkouts[0].index, 2);
    ASSERT_EQ(r.layer_checkouts.size(), 3u);
    EXPECT_EQ(r.layer_checkouts[0].checkout_id, 1000001);
    EXPECT_EQ(r.layer_checkouts[0].index, 1);
    EXPECT_EQ(r.layer_checkouts[0].result.ref_width, 3);
    EXPECT_EQ(r.layer_checkouts[0].result.ref_height, 2);
    EXPECT_EQ(r.layer_checkouts[0].result.result_rect.right, 0);  // asked for nothing
    EXPECT_EQ(r.layer_checkouts[1].request.rect.right, 3);
    const PF_LRect got = r.layer_checkouts[1].result.result_rect;
    EXPECT_EQ(got.right, 2);   // 3 / 2 + 0.5 truncated
    EXPECT_EQ(got.bottom, 1);  // 2 / 4 + 0.5 truncated
    EXPECT_EQ(r.layer_checkouts[2].result.ref_width, 0);
    EXPECT_EQ(r.layer_checkouts[2].result.max_result_rect.right, 0);
    EXPECT_TRUE(r.output.empty());
    EXPECT_TRUE(fake::FaultsAre(effect, {}));
}

TEST_F(RenderTest, HostDisposesOfThePreRenderHandleAfterRender)
{
    PF_Handle kept = nullptr;
    fx.does(PF_Cmd_SMART_PRE_RENDER, [&kept](Call &c) {
        c.preRender()->output->pre_render_data = kept = c.in->utils->host_new_handle(64);
    });
    fx.does(PF_Cmd_SMART_RENDER, [](Call &c) {
        auto h = static_cast<PF_Handle>(c.smartRender()->input->pre_render_data);
        EXPECT_NE(c.in->utils->host_lock_handle(h), nullptr);
        c.in->utils->host_unlock_handle(h);
    });
    fx.does(PF_Cmd_UPDATE_PARAMS_UI, [&kept](Call &c) { c.in->utils->host_get_handle_size(kept); });
    host::Instance inst = effect.newInstance(4, 2);
    inst.render(req);
    EXPECT_TRUE(fake::FaultsAre(effect, {}));
    inst.updateParamsUI();  // the handle is gone by now
    EXPECT_TRUE(fake::FaultsAre(effect, {"host_get_handle_size of a disposed handle"}));
}

TEST_F(RenderTest, ProgressAndAbortInterruptWhenTheCallerSaysSo)
{
    std::vector<PF_Err> answers;
    fx.on(PF_Cmd_SMART_RENDER, [&answers](Call &c) {
        answers.push_back(c.in->inter.abort(c.ref()));
        answers.push_back(c.in->inter.abort(c.ref()));
        for (A_long i = 1; i <= 10; ++i) {
            if (PF_Err err = c.in->inter.progress(c.ref(), i, 10)) return err;
        }
        return PF_Err{PF_Err_NONE};
    });
    host::Instance inst = effect.newInstance(4, 2);
    int asked = 0;
    req.abort = [&asked] { return ++asked > 1; };
    EXPECT_TRUE(inst.render(req).interrupted);
    EXPECT_EQ(answers, (std::vector<PF_Err>{PF_Err_NONE, PF_Interrupt_CANCEL}));
    req.abort = nullptr;
    int calls = 0;
    req.progress = [&calls](A_long, A_long) { return ++calls == 3; };
    const host::FrameResult r = inst.render(req);
    EXPECT_EQ(r.render.err, PF_Interrupt_CANCEL);
    EXPECT_EQ(r.progress_calls, 3);
    EXPECT_TRUE(r.interrupted);
}

TEST_F(RenderTest, LegacyRenderLendsACopyOfTheInputAndLayerPixelsThroughCheckout)
{
    fx.out_flags2 = 0;  // no smart render
    World other(2, 2, Depth::k8);
    other.px8(1, 1) = PF_Pixel8{255, 0, 200, 0};
    A_u_char green = 0;
    const void *lent = nullptr;
    fx.does(PF_Cmd_RENDER, [&](Call &c) {
        PF_ParamDef matte{};
        c.in->inter.checkout_param(c.ref(), 1, 0, 1, 30, &matte);
        green = fake::Px8(&matte.u.ld, 1, 1).green;
        c.in->inter.checkin_param(c.ref(), &matte);
        c.in->utils->copy(c.ref(), &c.params[0]->u.ld, c.output, nullptr, nullptr);
        lent = c.params[0]->u.ld.data;
        std::memset(c.params[0]->u.ld.data, 7, sizeof(PF_Pixel8) * 4);
    });
    host::Instance inst = effect.newInstance(4, 2);
    inst.setLayer(1, host::LayerChoice::Layer(3));
    req.layers[3] = &other;
    const World before = input;
    const host::FrameResult r = inst.render(req);
    EXPECT_FALSE(r.smart);
    EXPECT_TRUE(r.output.samePixels(before));
    EXPECT_TRUE(input.samePixels(before));
    EXPECT_NE(lent, input.pf()->data);
    EXPECT_EQ(green, 200);
    EXPECT_TRUE(fake::FaultsAre(effect, {}));
}

TEST_F(RenderTest, FramesReuseBuffersButNeverTheirPixelsOrBrokenPadding)
{
    // Each frame checks what it is handed, then scribbles over all of it and
    // past the rows of its output and of a cleared world of its own. It says
    // it writes into its input, so it gets a copy of it.
    fx.out_flags |= PF_OutFlag_I_WRITE_INPUT_BUFFER;
    int frame = 0;
    std::vector<std::string> seen;
    fx.on(PF_Cmd_SMART_RENDER, [&](Call &c) {
        PF_EffectWorld *in = c.pixels(0), *out = c.smartOutput(), temp{};
        c.in->utils->new_world(c.ref(), 4, 2, PF_NewWorldFlag_CLEAR_PIXELS, &temp);
        for (A_long y = 0; y < 2; ++y) {
            for (A_long x = 0; x < 4; ++x) {
                if (fake::Px8(in, x, y).red != kReds[y][x]) seen.push_back("input");
                const PF_Pixel8 o = fake::Px8(out, x, y);
                if (o.alpha != 255 || o.red != 255 || o.green != 0) seen.push_back("output");
                if (fake::Px8(&temp, x, y).alpha || fake::Px8(&temp, x, y).red) {
                    seen.push_back("temp");
                }
            }
        }
        const std::size_t packed = sizeof(PF_Pixel8) * 4 * 2;
        std::memset(in->data, frame + 1, sizeof(PF_Pixel8) * 4);  // the first row only
        std::memset(out->data, frame + 1, packed + 8);
        std::memset(temp.data, frame + 1, packed + 8);
        c.in->utils->dispose_world(c.ref(), &temp);
        if (temp.data) seen.push_back("disposed");  // the record is cleared
        return c.smartRender()->cb->checkin_layer_pixels(c.ref(), 0);
    });
    host::Instance inst = effect.newInstance(4, 2);
    const World before = input;
    for (frame = 0; frame < 3; ++frame) {
        SCOPED_TRACE(frame);
        effect.clearFaults();
        EXPECT_TRUE(inst.render(req).ok());
        EXPECT_TRUE(fake::FaultsAre(effect, {"wrote outside the rows of the output",
                                             "wrote outside the rows of its 4 x 2 world"}));
    }
    EXPECT_TRUE(seen.empty()) << seen.front();
    EXPECT_TRUE(input.samePixels(before));  // the effect only ever wrote into a copy
}

TEST_F(RenderTest, CheckoutsLendTheLayersOwnPixelsOneRecordPerRectangle)
{
    fx.defs = {fake::Layer("Matte", 15, PF_LayerDefault_MYSELF)};
    fx.on(PF_Cmd_SMART_PRE_RENDER, [](Call &c) {
        const PF_RenderRequest &all = c.preRender()->input->output_request;
        PF_RenderRequest part = all;
        part.rect.left = 1;
        part.rect.right = 3;
        c.checkout(0, 0, &all);
        c.checkout(1, 1, &all);
        return c.checkout(1, 2, &part);
    });
    PF_EffectWorld *got[3] = {};
    const void *data[3] = {};
    A_long width2 = 0;
    fx.does(PF_Cmd_SMART_RENDER, [&](Call &c) {
        for (A_long id = 0; id < 3; ++id) {
            ASSERT_NE(got[id] = c.pixels(id), nullptr) << id;
            data[id] = got[id]->data;
        }
        width2 = got[2]->width;
        // Past the end of the first row of the pixels ids 0 and 1 share (and
        // id 2 shows part of).
        fake::Px8(got[1], got[1]->width, 0).alpha = 0;
    });
    effect.newInstance(4, 2).render(req);
    EXPECT_EQ(got[0], got[1]);
    EXPECT_NE(got[0], got[2]);  // another rectangle, another record
    EXPECT_EQ(data[0], input.pf()->data);
    EXPECT_EQ(data[2], &input.px8(1, 0));
    EXPECT_EQ(width2, 2);
    EXPECT_TRUE(
        fake::FaultsAre(effect, {"wrote outside the rows of the pixels of checkout ids 0, 1, 2"}));
}

TEST_F(RenderTest, LayersOfAnotherDepthArriveConvertedAtTheInputsDepth)
{
    // Converted as copy converts (TransferFormulaTest): v / 32768, clamped
    // to 0..1, times 255, rounded.
    World deep(2, 1, Depth::k16);
    deep.px16(0, 0) = PF_Pixel16{32768, 16448, 0, 6554};
    deep.px16(1, 0) = PF_Pixel16{40000, 128, 129, 32767};
    fx.on(PF_Cmd_SMART_PRE_RENDER, [](Call &c) { return c.checkout(1, 1); });
    std::vector<int> got;
    fx.does(PF_Cmd_SMART_RENDER, [&got](Call &c) {
        const PF_EffectWorld *matte = c.pixels(1);
        for (A_long x = 0; matte && x < 2; ++x) {
            const PF_Pixel8 &p = fake::Px8(matte, x, 0);
            got.insert(got.end(), {p.alpha, p.red, p.green, p.blue});
        }
    });
    host::Instance inst = effect.newInstance(4, 2);
    inst.setLayer(1, host::LayerChoice::Layer(5));
    req.layers[5] = &deep;
    inst.render(req);
    EXPECT_EQ(got, (std::vector<int>{255, 128, 0, 51, 255, 1, 1, 255}));
    EXPECT_TRUE(fake::FaultsAre(effect, {}));
}

TEST_F(RenderTest, RequestsTheEffectCannotTakeAreRefusedBeforeAnyCommand)
{
    fx.out_flags = 0;  // not deep-colour aware
    host::Instance inst = effect.newInstance(4, 2);
    World deep(4, 2, Depth::k16);
    req.input = &deep;
    EXPECT_THROW(inst.render(req), host::HostError);
    req.input = &input;
    inst.setLayer(1, host::LayerChoice::Layer(9));
    EXPECT_THROW(inst.render(req), host::HostError);  // layer 9 is not in the request
    fx.calls.clear();
    const World notDownsampled = host::DownsampleLayer(input, 1, 1);
    req.input_downsampled = &notDownsampled;
    req.downsample_x = 2;
    EXPECT_THROW(inst.render(req), host::HostError);
    req.downsample_x = 0;
    EXPECT_THROW(inst.render(req), host::HostError);
    EXPECT_THROW(effect.newInstance(0, 2), host::HostError);  // nor an empty layer
    EXPECT_TRUE(fx.calls.empty());
}

}  // namespace
