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

// The three per-depth drivers: prepare the output, draw the dots into a
// temporary world of the layer's size, composite it through the host.
PF_Err RenderDriver8(CustomFilter *effect, RenderRecord *record);
PF_Err RenderDriver16(CustomFilter *effect, RenderRecord *record);
PF_Err RenderDriverFloat(CustomFilter *effect, RenderRecord *record);
