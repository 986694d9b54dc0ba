// Rendering one frame: preparing the layers (depth, downsampling), then
// SMART_PRE_RENDER and SMART_RENDER with their extras, or the legacy RENDER
// with a params array and an output buffer.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "host/Core_p.h"
#include "host/Handles_p.h"
#include "host/Layers_p.h"
#include "host/Worlds_p.h"

namespace host {
namespace detail {
namespace {

// A layer at the render's depth and downsampling. The smart render lends
// the effect a layer's pixels read-only (or copies them for an effect that
// writes its input), so there a layer that needs no converting is used as
// the caller gave it; the legacy render lends the image itself as writable
// and gets a copy. `ready`, when given, is `full` already at the request's
// depth and downsampling.
LayerImage Prepare(const World &full, Depth depth, const FrameRequest &req, bool smart,
                   const std::shared_ptr<BufferPool> &pool, const World *ready = nullptr)
{
    LayerImage img;
    img.full_width = full.width();
    img.full_height = full.height();
    const bool full_size = req.downsample_x == 1 && req.downsample_y == 1;
    const World *as_is = ready ? ready : full.depth() == depth && full_size ? &full : nullptr;
    if (as_is) {
        if (smart) {
            img.callers = as_is;
        } else {
            img.own = Crop(*as_is, PF_Rect{0, 0, as_is->width(), as_is->height()}, pool);
        }
        return img;
    }
    if (full.depth() == depth) {
        img.own = Downsample(full, req.downsample_x, req.downsample_y, pool);
    } else if (full_size) {
        img.own = ConvertDepth(full, depth, pool);
    } else {
        img.own =
            Downsample(ConvertDepth(full, depth, pool), req.downsample_x, req.downsample_y, pool);
    }
    img.own.setOrigin(0, 0);
    return img;
}

short BitDepth(Depth d)
{
    return static_cast<short>(static_cast<int>(d));
}

std::vector<const void *> Claimed(const CommandContext &ctx, const void *extra = nullptr)
{
    return {ctx.out_data.sequence_data, ctx.out_data.global_data, extra};
}

// The bytes of the sequence data as a render found them.
std::vector<unsigned char> SequenceBytes(PF_Handle h)
{
    if (!IsLive(h)) return {};
    const auto *p = static_cast<const unsigned char *>(HandleData(h));
    return std::vector<unsigned char>(p, p + HandleSize(h));
}

// The render commands may not replace the sequence data, nor change it: the
// frames rendered at once share it read-only.
void CheckSequenceKept(CommandContext &ctx, const std::vector<unsigned char> &before)
{
    if (ctx.out_data.sequence_data != ctx.in_data.sequence_data) {
        ctx.fault("out_data->sequence_data changed during rendering; the host ignores it");
    }
    const PF_Handle h = ctx.in_data.sequence_data;
    if (IsLive(h) && HandleSize(h) == before.size() &&
        std::memcmp(HandleData(h), before.data(), before.size()) != 0) {
        ctx.fault("the effect wrote to its sequence data, which renders share read-only");
    }
}

// After smart render (or a failed pre-render) the pre-render data goes: by
// the effect's delete callback if it gave one, else the host disposes of the
// handle it holds.
void ReleasePreRenderData(EffectCore &core, const PF_PreRenderOutput &out)
{
    void *data = out.pre_render_data;
    if (!data) return;
    if (out.delete_pre_render_data_func) {
        out.delete_pre_render_data_func(data);
        return;
    }
    auto handle = static_cast<PF_Handle>(data);
    switch (StateOf(handle)) {
        case HandleState::kLive:
            if (HandleLocks(handle) > 0) {
                core.addFault("SMART_RENDER: the pre-render data handle is still locked");
            }
            DisposeHostHandle(handle);
            break;
        case HandleState::kDisposed:
            break;  // the effect let it go itself
        case HandleState::kUnknown:
            core.addFault(
                "SMART_PRE_RENDER: pre_render_data is not a handle of this host and "
                "no delete callback was given, so it is never released");
            break;
    }
}

void Smart(InstanceState &inst, FrameState &frame, FrameResult &out)
{
    const std::vector<unsigned char> sequence = SequenceBytes(inst.sequence_data);
    EffectCore &core = *inst.core;
    PF_RenderRequest request{};
    request.rect = PF_LRect{0, 0, frame.input.world().width(), frame.input.world().height()};
    request.field = PF_Field_FRAME;
    request.channel_mask = PF_ChannelMask_ARGB;

    PF_PreRenderInput pre_in{};
    pre_in.output_request = request;
    pre_in.bitdepth = BitDepth(frame.depth);
    PF_PreRenderOutput pre_out{};
    PF_PreRenderCallbacks pre_cb{CbCheckoutLayer, CbGuidMixIn};
    PF_PreRenderExtra pre_extra{&pre_in, &pre_out, &pre_cb};
    {
        CommandContext ctx(core, &inst, PF_Cmd_SMART_PRE_RENDER, &frame);
        const PF_Err err = ctx.invoke(nullptr, &pre_extra);
        out.pre_render = ctx.result(err);
        CheckSequenceKept(ctx, sequence);
        ctx.finish(Claimed(ctx, pre_out.pre_render_data));
    }
    out.pre_render_output = pre_out;
    out.render.cmd = PF_Cmd_SMART_RENDER;
    if (!out.pre_render.ok()) {
        ReleasePreRenderData(core, pre_out);
        return;
    }

    // The output covers what pre-render promised, within what was asked.
    const PF_LRect &r = pre_out.result_rect;
    frame.output_rect =
        PF_Rect{std::max(r.left, request.rect.left), std::max(r.top, request.rect.top),
                std::min(r.right, request.rect.right), std::min(r.bottom, request.rect.bottom)};

    PF_SmartRenderInput in{};
    in.output_request = request;
    in.bitdepth = BitDepth(frame.depth);
    in.pre_render_data = pre_out.pre_render_data;
    PF_SmartRenderCallbacks cb{CbCheckoutLayerPixels, CbCheckinLayerPixels, CbCheckoutOutput};
    PF_SmartRenderExtra extra{&in, &cb};
    {
        CommandContext ctx(core, &inst, PF_Cmd_SMART_RENDER, &frame);
        const PF_Err err = ctx.invoke(nullptr, &extra);
        out.render = ctx.result(err);
        CheckSequenceKept(ctx, sequence);
        // Layer pixels need no check-in: the host takes them back itself.
        ctx.finish(Claimed(ctx, pre_out.pre_render_data));
    }
    ReleasePreRenderData(core, pre_out);
}

void Legacy(InstanceState &inst, FrameState &frame, FrameResult &out)
{
    const std::vector<unsigned char> sequence = SequenceBytes(inst.sequence_data);
    EffectCore &core = *inst.core;
    World output = WorldMaker::make(frame.input.world().width(), frame.input.world().height(),
                                    frame.depth, UnclearedPixels(core.options), inst.buffers);
    CommandContext ctx(core, &inst, PF_Cmd_RENDER, &frame);
    ctx.lendParams();
    ctx.lent_worlds.emplace_back(&frame.input.world(), "the input layer");
    for (const auto &l : frame.layers) {
        ctx.lent_worlds.emplace_back(&l.second.world(), "layer " + std::to_string(l.first));
    }
    ctx.lent_worlds.emplace_back(&output, "the output");
    const PF_Err err = ctx.invoke(output.pf(), nullptr);
    out.render = ctx.result(err);
    CheckSequenceKept(ctx, sequence);
    ctx.finish(Claimed(ctx));
    out.output = std::move(output);
}

}  // namespace
}  // namespace detail

bool Instance::rendersConcurrently() const
{
    return detail::RendersConcurrently(*state_->core);
}

FrameResult Instance::render(const FrameRequest &req)
{
    using namespace detail;
    InstanceState &inst = *state_;
    EffectCore &core = *inst.core;
    // Frames of an effect that allows it render at once, sharing the
    // sequence; the instance's other commands wait for them.
    std::shared_lock<std::shared_mutex> shared(inst.commands, std::defer_lock);
    std::unique_lock<std::shared_mutex> exclusive(inst.commands, std::defer_lock);
    if (RendersConcurrently(core)) {
        shared.lock();
    } else {
        exclusive.lock();
    }
    inst.requireOpen();
    if (!req.input || req.input->empty()) throw HostError("a frame request without an input layer");
    if (req.downsample_x < 1 || req.downsample_y < 1) {
        throw HostError("downsampling must be 1/N with N >= 1");
    }
    if (req.time_scale == 0) throw HostError("a time scale of 0");
    const Depth depth = req.input->depth();
    if (const World *d = req.input_downsampled) {
        if (d->depth() != depth || d->originX() != 0 || d->originY() != 0 ||
            d->width() !=
                std::max<A_long>(1, DownsampledSize(req.input->width(), req.downsample_x)) ||
            d->height() !=
                std::max<A_long>(1, DownsampledSize(req.input->height(), req.downsample_y))) {
            throw HostError("the downsampled input is not the input at the request's downsampling");
        }
    }
    const bool smart =
        req.path == RenderPath::kSmart ||
        (req.path == RenderPath::kAuto && (core.out_flags2 & PF_OutFlag2_SUPPORTS_SMART_RENDER));
    if (depth == Depth::k16 && !(core.out_flags & PF_OutFlag_DEEP_COLOR_AWARE)) {
        throw HostError("16-bit frame for an effect without PF_OutFlag_DEEP_COLOR_AWARE");
    }
    if (depth == Depth::k32 && (!smart || !(core.out_flags2 & PF_OutFlag2_FLOAT_COLOR_AWARE))) {
        throw HostError(
            "float frames go only to smart renders of effects with "
            "PF_OutFlag2_FLOAT_COLOR_AWARE");
    }

    FrameState frame;
    frame.request = &req;
    frame.depth = depth;
    frame.input = Prepare(*req.input, depth, req, smart, inst.buffers, req.input_downsampled);
    {
        std::lock_guard<std::mutex> lock(inst.mutex);
        for (std::size_t i = 1; i < inst.values.size(); ++i) {
            if (inst.values[i].param_type != PF_Param_LAYER) continue;
            const LayerChoice &c = inst.layers[i];
            if (c.kind != LayerChoice::kLayer || frame.layers.count(c.layer_id)) continue;
            auto it = req.layers.find(c.layer_id);
            if (it == req.layers.end() || !it->second || it->second->empty()) {
                throw HostError("parameter " + std::to_string(i) + " names layer " +
                                std::to_string(c.layer_id) + ", which the frame request lacks");
            }
            frame.layers[c.layer_id] = Prepare(*it->second, depth, req, smart, inst.buffers);
        }
    }

    FrameResult out;
    out.smart = smart;
    if (smart) {
        Smart(inst, frame, out);
    } else {
        Legacy(inst, frame, out);
    }
    if (smart) out.output = std::move(frame.output);
    out.layer_checkouts = frame.checkouts;
    out.pixel_checkouts = frame.pixel_checkouts;
    out.pixel_checkins = frame.pixel_checkins;
    out.param_checkouts = frame.param_checkouts;
    out.progress_calls = frame.progress_calls;
    out.interrupted = frame.interrupted;
    return out;
}

}  // namespace host
