// Smart pre-render, smart render and the legacy render: read the parameters
// into one RenderRecord, check the layers out, tell the host the output's
// size, and hand the record to RenderWorlds.
#include <cstring>

#include "AEWorldSuite.h"
#include "BaseFilter.h"
#include "params/ParamIds.h"
#include "params/Params.h"

namespace filter {
namespace {

constexpr A_long kProbeIdBase = 1000000;

void InitRecord(RenderRecord &record, A_u_char smart)
{
    std::memset(&record, 0, sizeof record);
    record.pixelFormat = PF_PixelFormat_INVALID;
    record.smart = smart;
}

PF_LayerDef **LayerField(RenderRecord &record, int checkoutId)
{
    if (checkoutId == 1) {
        return &record.MaskLayer;
    }
    return &record.Effectors[checkoutId - 2].mapLayer;
}

A_u_long LayerParamId(int checkoutId)
{
    switch (checkoutId) {
        case 1:
            return params::id::MaskLayer;
        case 2:
            return params::id::CustomMapLayer1;
        case 3:
            return params::id::CustomMapLayer2;
        default:
            return params::id::CustomMapLayer3;
    }
}

constexpr int kFirstLayerCheckout = 1;
constexpr int kLastLayerCheckout = 4;

// Locks a host handle for a scope.
class HandleLock {
public:
    HandleLock(PF_UtilCallbacks *utils, PF_Handle handle) : utils_(utils), handle_(handle)
    {
        if (handle_) {
            data_ = utils_->host_lock_handle(handle_);
        }
    }
    ~HandleLock()
    {
        if (data_) {
            utils_->host_unlock_handle(handle_);
        }
    }
    HandleLock(const HandleLock &) = delete;
    HandleLock &operator=(const HandleLock &) = delete;
    void *data() const { return data_; }

private:
    PF_UtilCallbacks *utils_;
    PF_Handle handle_;
    void *data_ = nullptr;
};

}  // namespace

void UnionRect(PF_LRect &target, const PF_LRect &source)
{
    const bool targetEmpty = target.left >= target.right || target.top >= target.bottom;
    const bool sourceEmpty = source.left >= source.right || source.top >= source.bottom;
    if (targetEmpty) {
        target = source;
    } else if (!sourceEmpty) {
        if (source.left < target.left) target.left = source.left;
        if (source.top < target.top) target.top = source.top;
        if (source.right > target.right) target.right = source.right;
        if (source.bottom > target.bottom) target.bottom = source.bottom;
    }
}

PF_Err BaseFilter::ComputeOutputRect(PF_InData *in_data, PF_OutData *, PF_PreRenderExtra *extra,
                                     RenderRecord *)
{
    PF_RenderRequest request = extra->input->output_request;
    PF_CheckoutResult input{};
    const PF_Err err =
        extra->cb->checkout_layer(in_data->effect_ref, 0, 0, &request, in_data->current_time,
                                  in_data->time_step, in_data->time_scale, &input);
    UnionRect(extra->output->result_rect, input.result_rect);
    UnionRect(extra->output->max_result_rect, input.max_result_rect);
    return err;
}

PF_Err BaseFilter::SmartPreRender(PF_InData *in_data, PF_OutData *out_data,
                                  PF_PreRenderExtra *extra)
{
    PF_UtilCallbacks *utils = in_data->utils;
    PF_Handle handle = utils->host_new_handle(sizeof(RenderRecord));
    if (!handle) {
        return PF_Err_OUT_OF_MEMORY;
    }
    HandleLock lock(utils, handle);
    auto *record = static_cast<RenderRecord *>(lock.data());
    if (!record) {
        utils->host_dispose_handle(handle);
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    InitRecord(*record, 1);
    // The host keeps the record until smart render; no delete callback.
    extra->output->pre_render_data = handle;

    // Every value is copied into the record and every parameter checked in
    // again at once; layer parameters are left to the layer checkouts.
    PF_Err err = PF_Err_NONE;
    {
        params::GetParamByCheckout reader(in_data, nullptr, true);
        err = params::ReadAllValues(record, reader);
        const PF_Err checkin = params::CheckinAllValues(reader);
        if (err == PF_Err_NONE) {
            err = checkin;
        }
    }

    for (int id = kFirstLayerCheckout; err == PF_Err_NONE && id <= kLastLayerCheckout; ++id) {
        const A_long index = params::FindParamIndex(LayerParamId(id));
        PF_RenderRequest request{};
        request.field = PF_Field_FRAME;
        request.channel_mask = PF_ChannelMask_ARGB;
        PF_CheckoutResult result{};
        const PF_Err probe = extra->cb->checkout_layer(
            in_data->effect_ref, index, kProbeIdBase + id, &request, in_data->current_time,
            in_data->time_step, in_data->time_scale, &result);
        // The whole layer, at its size before downsampling.
        request.rect.right = result.ref_width;
        request.rect.bottom = result.ref_height;
        if (probe == PF_Err_NONE) {
            err = extra->cb->checkout_layer(in_data->effect_ref, index, id, &request,
                                            in_data->current_time, in_data->time_step,
                                            in_data->time_scale, &result);
        }
    }
    if (err == PF_Err_NONE) {
        err = ComputeOutputRect(in_data, out_data, extra, record);
    }
    return err;
}

PF_Err BaseFilter::SmartRender(PF_InData *in_data, PF_OutData *out_data, PF_SmartRenderExtra *extra)
{
    HandleLock lock(in_data->utils, static_cast<PF_Handle>(extra->input->pre_render_data));
    auto *record = static_cast<RenderRecord *>(lock.data());
    if (!record) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    record->in_data = in_data;
    record->out_data = out_data;

    PF_Err err = extra->cb->checkout_layer_pixels(in_data->effect_ref, 0, &record->input);
    if (err == PF_Err_NONE) {
        err = extra->cb->checkout_output(in_data->effect_ref, &record->output);
    }
    if (record->input && record->output) {
        if (err != PF_Err_NONE) {
            return err;
        }
        err = AEUtil::GetPixelFormat(in_data->pica_basicP, record->input, &record->pixelFormat);
        if (err == PF_Err_NONE) {
            err = PrepareSmartRender(in_data, out_data, extra, record);
        }
        for (int id = kFirstLayerCheckout; err == PF_Err_NONE && id <= kLastLayerCheckout; ++id) {
            err =
                extra->cb->checkout_layer_pixels(in_data->effect_ref, id, LayerField(*record, id));
        }
        if (err == PF_Err_NONE) {
            err = RenderWorlds(record);
        }
        if (err != PF_Err_NONE) {
            return err;
        }
    }
    if (err == PF_Err_NONE) {
        return extra->cb->checkin_layer_pixels(in_data->effect_ref, 0);
    }
    return err;
}

PF_Err BaseFilter::Render(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[],
                          PF_LayerDef *output)
{
    RenderRecord record;
    InitRecord(record, 0);
    record.in_data = in_data;
    record.out_data = out_data;
    record.input = &params[0]->u.ld;
    record.output = output;

    PF_Err err = AEUtil::GetPixelFormat(in_data->pica_basicP, record.input, &record.pixelFormat);
    // The layer pointers in the record point into this reader's definitions:
    // they stay checked out until the render has used them.
    params::GetParamByCheckout reader(in_data, params, false);
    if (err == PF_Err_NONE) {
        err = params::ReadAllValues(&record, reader);
    }
    if (err == PF_Err_NONE) {
        err = RenderWorlds(&record);
    }
    const PF_Err checkin = params::CheckinAllValues(reader);
    return err != PF_Err_NONE ? err : checkin;
}

}  // namespace filter
