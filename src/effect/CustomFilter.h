// The Stipplex effect: the BaseFilter operations it overrides.
#pragma once

#include "filter/BaseFilter.h"

class CustomFilter : public filter::BaseFilter {
public:
    // Builds every parameter builder into the registry.
    CustomFilter();

    PF_Err QueryDynamicFlags(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[],
                             PF_LayerDef *output) override;
    PF_Err ComputeOutputRect(PF_InData *in_data, PF_OutData *out_data, PF_PreRenderExtra *extra,
                             RenderRecord *record) override;
    PF_Err RenderWorlds(RenderRecord *record) override;
};

// A layer's size at a downsampling factor, to the nearest pixel (one half
// rounds up); a layer that would shrink to nothing keeps one pixel, as the
// host keeps it.
inline A_long DownsampledSize(A_long size, const PF_RationalScale &factor)
{
    const double scale = static_cast<double>(factor.num) / static_cast<double>(factor.den);
    const A_long pixels = static_cast<A_long>(size * scale + 0.5);
    return pixels < 1 ? 1 : pixels;
}

// The three per-depth drivers: prepare the output, draw the dots into a
// temporary world of the layer's size, composite it through the host.
PF_Err RenderDriver8(CustomFilter *effect, RenderRecord *record);
PF_Err RenderDriver16(CustomFilter *effect, RenderRecord *record);
PF_Err RenderDriverFloat(CustomFilter *effect, RenderRecord *record);
