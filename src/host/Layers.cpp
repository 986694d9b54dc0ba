// Layers in the smart render: checkout_layer during pre-render (what a layer
// will deliver at which rectangle), and the pixel and output checkouts that
// smart render redeems against those promises.
//
// Every layer is prepared once per frame at the render's depth and
// downsampling, with its top-left pixel at (0, 0) (a layer that needs
// neither stays the caller's world). A checkout result covers the request's
// rectangle within the layer; the world handed out for it holds exactly that
// rectangle, with origin_x and origin_y at its top-left corner.
// ref_width and ref_height are the layer's size before downsampling.
#include <algorithm>
#include <memory>
#include <string>

#include "host/Core_p.h"
#include "host/Layers_p.h"
#include "host/Worlds_p.h"

namespace host {
namespace detail {

const LayerImage *FrameState::imageFor(const InstanceState &inst, int index) const
{
    if (index == 0) return &input;
    const LayerChoice &choice = inst.layers[static_cast<std::size_t>(index)];
    switch (choice.kind) {
        case LayerChoice::kNone:
            return nullptr;
        case LayerChoice::kThisLayer:
            return &input;
        case LayerChoice::kLayer: {
            auto it = layers.find(choice.layer_id);
            return it == layers.end() ? nullptr : &it->second;
        }
    }
    return nullptr;
}

namespace {

bool EmptyRect(const PF_LRect &r)
{
    return r.left >= r.right || r.top >= r.bottom;
}

CommandContext *During(PF_ProgPtr ref, const char *service, PF_Cmd cmd)
{
    CommandContext *ctx = ContextFor(ref, service);
    if (!ctx) return nullptr;
    if (ctx->cmd != cmd || !ctx->frame || !ctx->instance) {
        ctx->fault(std::string(service) + " during " + ctx->name() + "; it belongs to " +
                   CommandName(cmd));
        return nullptr;
    }
    return ctx;
}

bool SameRect(const PF_LRect &a, const PF_LRect &b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Adds a checkout id to the name under which a lent world is checked.
void NameAlso(CommandContext &ctx, std::size_t entry, A_long checkout_id)
{
    std::string &name = ctx.lent_worlds[entry].second;
    const std::string one = "checkout id ";
    const std::size_t at = name.find(one);
    if (at != std::string::npos) name.replace(at, one.size(), "checkout ids ");
    name += ", " + std::to_string(checkout_id);
}

// The pixels of `r` of a prepared image that a checkout hands out.
// Checkouts of the same image and rectangle (the layer itself as input and
// as the default of other layer parameters, say) get the same record, as
// they get the same frame of a layer in the real host. The record shows the
// image's own pixels (read-only, as the API has it: nothing is copied), or,
// for an effect that may write into its input, a copy of them, so that the
// caller's world is never written. The padding of the world behind it is
// checked when the command returns, under the names of every checkout that
// shows it.
PF_EffectWorld *PixelsFor(CommandContext &ctx, FrameState &frame, const LayerImage &img,
                          const PF_LRect &r, A_long checkout_id)
{
    const bool copied = (ctx.core.out_flags & PF_OutFlag_I_WRITE_INPUT_BUFFER) != 0;
    const FrameState::LayerPixels *same_world = nullptr;
    for (FrameState::LayerPixels &p : frame.layer_pixels) {
        if (p.image != &img) continue;
        if (SameRect(p.rect, r)) {
            NameAlso(ctx, p.lent_entry, checkout_id);
            return &p.record;
        }
        if (!copied) same_world = &p;
    }
    FrameState::LayerPixels p{&img, r, nullptr, PF_EffectWorld{}, ctx.lent_worlds.size()};
    const World *behind = &img.world();
    if (copied) {
        p.copy = std::make_unique<World>(Crop(img.world(), r, ctx.instance->buffers));
        p.record = *p.copy->pf();
        behind = p.copy.get();
    } else {
        const World &w = img.world();
        p.record = *w.pf();
        p.record.data = reinterpret_cast<PF_PixelPtr>(const_cast<unsigned char *>(w.row(r.top)) +
                                                      static_cast<std::size_t>(r.left) *
                                                          BytesPerPixel(w.depth()));
        p.record.width = r.right - r.left;
        p.record.height = r.bottom - r.top;
        p.record.extent_hint = PF_LRect{0, 0, p.record.width, p.record.height};
        p.record.origin_x = r.left;
        p.record.origin_y = r.top;
        p.record.world_flags = static_cast<PF_WorldFlags>(
            p.record.world_flags & ~static_cast<PF_WorldFlags>(PF_WorldFlag_WRITEABLE));
    }
    if (same_world) {
        p.lent_entry = same_world->lent_entry;
        NameAlso(ctx, p.lent_entry, checkout_id);
    } else {
        ctx.lent_worlds.emplace_back(behind,
                                     "the pixels of checkout id " + std::to_string(checkout_id));
    }
    frame.layer_pixels.push_back(std::move(p));
    return &frame.layer_pixels.back().record;
}

}  // namespace

PF_Err CbCheckoutLayer(PF_ProgPtr ref, PF_ParamIndex index, A_long checkout_id,
                       const PF_RenderRequest *req, A_long what_time, A_long time_step,
                       A_u_long time_scale, PF_CheckoutResult *result)
{
    CommandContext *ctx = During(ref, "checkout_layer", PF_Cmd_SMART_PRE_RENDER);
    if (!ctx) return PF_Err_BAD_CALLBACK_PARAM;
    if (!req || !result) {
        ctx->fault("checkout_layer without a request or a result");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *result = PF_CheckoutResult{};
    const InstanceState &inst = *ctx->instance;
    FrameState &frame = *ctx->frame;
    const std::string what = "checkout_layer of index " + std::to_string(index) + " as id " +
                             std::to_string(checkout_id);
    std::lock_guard<std::mutex> lock(ctx->mutex);
    if (index < 0 || index >= static_cast<A_long>(inst.values.size())) {
        ctx->fault(what + ": there is no such parameter");
        return PF_Err_INVALID_INDEX;
    }
    if (inst.values[static_cast<std::size_t>(index)].param_type != PF_Param_LAYER) {
        ctx->fault(what + ": that parameter is not a layer");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (checkout_id < 0) {
        ctx->fault(what + ": checkout ids must not be negative");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    for (const LayerCheckout &c : frame.checkouts) {
        if (c.checkout_id == checkout_id) {
            ctx->fault(what + ": the id is already used by the checkout of index " +
                       std::to_string(c.index));
            return PF_Err_BAD_CALLBACK_PARAM;
        }
    }
    if (const LayerImage *img = frame.imageFor(inst, index)) {
        const PF_LRect bounds{0, 0, img->world().width(), img->world().height()};
        PF_LRect r{std::max(req->rect.left, bounds.left), std::max(req->rect.top, bounds.top),
                   std::min(req->rect.right, bounds.right),
                   std::min(req->rect.bottom, bounds.bottom)};
        if (EmptyRect(r)) r = PF_LRect{0, 0, 0, 0};
        result->result_rect = r;
        result->max_result_rect = bounds;
        result->ref_width = img->full_width;
        result->ref_height = img->full_height;
    }
    result->par = PF_RationalScale{1, 1};
    frame.checkouts.push_back(
        {checkout_id, static_cast<int>(index), *req, what_time, time_step, time_scale, *result});
    return PF_Err_NONE;
}

PF_Err CbGuidMixIn(PF_ProgPtr ref, A_u_long, const void *)
{
    return During(ref, "GuidMixInPtr", PF_Cmd_SMART_PRE_RENDER) ? PF_Err_NONE
                                                                : PF_Err_BAD_CALLBACK_PARAM;
}

PF_Err CbCheckoutLayerPixels(PF_ProgPtr ref, A_long checkout_id, PF_EffectWorld **pixels)
{
    CommandContext *ctx = During(ref, "checkout_layer_pixels", PF_Cmd_SMART_RENDER);
    if (!ctx) return PF_Err_BAD_CALLBACK_PARAM;
    if (!pixels) {
        ctx->fault("checkout_layer_pixels without a place for the world");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *pixels = nullptr;
    FrameState &frame = *ctx->frame;
    std::lock_guard<std::mutex> lock(ctx->mutex);
    auto c = std::find_if(
        frame.checkouts.begin(), frame.checkouts.end(),
        [checkout_id](const LayerCheckout &k) { return k.checkout_id == checkout_id; });
    if (c == frame.checkouts.end()) {
        ctx->fault("checkout_layer_pixels of id " + std::to_string(checkout_id) +
                   ", which pre-render did not check out");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    frame.pixel_checkouts.push_back(checkout_id);
    ++frame.pixel_outstanding[checkout_id];
    const LayerImage *img = frame.imageFor(*ctx->instance, c->index);
    if (!img || EmptyRect(c->result.result_rect)) return PF_Err_NONE;  // nothing to deliver
    PF_EffectWorld *&world = frame.pixel_worlds[checkout_id];
    if (!world) world = PixelsFor(*ctx, frame, *img, c->result.result_rect, checkout_id);
    *pixels = world;
    return PF_Err_NONE;
}

PF_Err CbCheckinLayerPixels(PF_ProgPtr ref, A_long checkout_id)
{
    CommandContext *ctx = During(ref, "checkin_layer_pixels", PF_Cmd_SMART_RENDER);
    if (!ctx) return PF_Err_BAD_CALLBACK_PARAM;
    FrameState &frame = *ctx->frame;
    std::lock_guard<std::mutex> lock(ctx->mutex);
    int &count = frame.pixel_outstanding[checkout_id];
    if (count <= 0) {
        ctx->fault("checkin_layer_pixels of id " + std::to_string(checkout_id) +
                   ", which is not checked out");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    --count;
    frame.pixel_checkins.push_back(checkout_id);
    return PF_Err_NONE;
}

PF_Err CbCheckoutOutput(PF_ProgPtr ref, PF_EffectWorld **output)
{
    CommandContext *ctx = During(ref, "checkout_output", PF_Cmd_SMART_RENDER);
    if (!ctx) return PF_Err_BAD_CALLBACK_PARAM;
    if (!output) {
        ctx->fault("checkout_output without a place for the world");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    FrameState &frame = *ctx->frame;
    std::lock_guard<std::mutex> lock(ctx->mutex);
    *output = nullptr;
    const PF_Rect &r = frame.output_rect;
    if (EmptyRect(r)) return PF_Err_NONE;  // pre-render promised no pixels
    if (!frame.output_checked_out) {
        // The real host hands out whatever the buffer held: here magenta,
        // or without the poison what the buffer held here too.
        frame.output = WorldMaker::make(r.right - r.left, r.bottom - r.top, frame.depth,
                                        UnclearedPixels(ctx->core.options), ctx->instance->buffers);
        frame.output.setOrigin(r.left, r.top);
        frame.output_checked_out = true;
        ctx->lent_worlds.emplace_back(&frame.output, "the output");
    }
    *output = frame.output.pf();
    return PF_Err_NONE;
}

}  // namespace detail
}  // namespace host
