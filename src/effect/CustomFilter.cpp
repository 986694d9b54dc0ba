#include "CustomFilter.h"

#include <new>

#include "params/ParamIds.h"
#include "params/Params.h"

namespace {

// The one effect object lives in static storage; the frame constructs it on
// the first command and ends it after GLOBAL_SETDOWN.
alignas(CustomFilter) unsigned char g_storage[sizeof(CustomFilter)];

constexpr A_long kMaskNone = 2;
constexpr A_long kMaskLayer = 3;

}  // namespace

filter::BaseFilter *filter::ConstructEffectObject()
{
    return new (g_storage) CustomFilter();
}

CustomFilter::CustomFilter()
{
    params::ClearParamRegistry();
    params::BuildParamTable();
}

PF_Err CustomFilter::QueryDynamicFlags(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *[],
                                       PF_LayerDef *)
{
    const A_long index = params::FindParamIndex(params::id::RandomInterval);
    PF_ParamDef def{};
    const PF_Err err =
        in_data->inter.checkout_param(in_data->effect_ref, index, in_data->current_time,
                                      in_data->time_step, in_data->time_scale, &def);
    if (err == PF_Err_NONE) {
        in_data->inter.checkin_param(in_data->effect_ref, &def);
    }
    // A render depends on neighbouring times only while the arrangement
    // changes over time. (A failed checkout leaves the value 0.)
    if (def.u.sd.value == 0) {
        out_data->out_flags &= ~PF_OutFlag_WIDE_TIME_INPUT;
    } else {
        out_data->out_flags |= PF_OutFlag_WIDE_TIME_INPUT;
    }
    return PF_Err_NONE;
}

PF_Err CustomFilter::ComputeOutputRect(PF_InData *in_data, PF_OutData *, PF_PreRenderExtra *extra,
                                       RenderRecord *record)
{
    PF_RenderRequest request = extra->input->output_request;
    PF_CheckoutResult input{};
    const PF_Err err =
        extra->cb->checkout_layer(in_data->effect_ref, 0, 0, &request, in_data->current_time,
                                  in_data->time_step, in_data->time_scale, &input);
    if (!record->InvertMask && record->MaskMode != kMaskNone && record->MaskMode != kMaskLayer) {
        filter::UnionRect(extra->output->result_rect, input.result_rect);
        filter::UnionRect(extra->output->max_result_rect, input.max_result_rect);
    } else {
        // Dots may land where the input is empty: the output is the whole
        // layer at the current downsampling.
        const A_long w = DownsampledSize(in_data->width, in_data->downsample_x);
        const A_long h = DownsampledSize(in_data->height, in_data->downsample_y);
        extra->output->result_rect = PF_LRect{0, 0, w, h};
        extra->output->max_result_rect = extra->output->result_rect;
        extra->output->flags = PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS;
    }
    return err;
}

PF_Err CustomFilter::RenderWorlds(RenderRecord *record)
{
    switch (record->pixelFormat) {
        case PF_PixelFormat_ARGB128:
            return RenderDriverFloat(this, record);
        case PF_PixelFormat_ARGB64:
            return RenderDriver16(this, record);
        case PF_PixelFormat_ARGB32:
            return RenderDriver8(this, record);
        default:
            return PF_Err_UNRECOGNIZED_PARAM_TYPE;
    }
}
