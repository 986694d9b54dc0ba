// Private to the host: the layer callbacks of smart pre-render and smart
// render.
#pragma once

#include "AESdk.h"

namespace host {
namespace detail {

PF_Err CbCheckoutLayer(PF_ProgPtr ref, PF_ParamIndex index, A_long checkout_id,
                       const PF_RenderRequest *req, A_long what_time, A_long time_step,
                       A_u_long time_scale, PF_CheckoutResult *result);
PF_Err CbGuidMixIn(PF_ProgPtr ref, A_u_long size, const void *buf);
PF_Err CbCheckoutLayerPixels(PF_ProgPtr ref, A_long checkout_id, PF_EffectWorld **pixels);
PF_Err CbCheckinLayerPixels(PF_ProgPtr ref, A_long checkout_id);
PF_Err CbCheckoutOutput(PF_ProgPtr ref, PF_EffectWorld **output);

}  // namespace detail
}  // namespace host
