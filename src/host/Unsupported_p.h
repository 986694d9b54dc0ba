// Private to the host: services of the API this host does not offer. Each
// answers PF_Err_INVALID_CALLBACK and books a fault, so that an effect that
// relies on one is noticed rather than rendered wrongly.
#pragma once

#include "AESdk.h"

namespace host {
namespace detail {

PF_Err NotSupported(PF_ProgPtr ref, const char *service);

PF_Err CbBlend(PF_ProgPtr ref, const PF_EffectWorld *, const PF_EffectWorld *, PF_Fixed,
               PF_EffectWorld *);
PF_Err CbConvolve(PF_ProgPtr ref, PF_EffectWorld *, const PF_Rect *, PF_KernelFlags, A_long, void *,
                  void *, void *, void *, PF_EffectWorld *);
PF_Err CbTransformWorld(PF_ProgPtr ref, PF_Quality, PF_ModeFlags, PF_Field, const PF_EffectWorld *,
                        const PF_CompositeMode *, const PF_MaskWorld *, const PF_FloatMatrix *,
                        A_long, PF_Boolean, const PF_Rect *, PF_EffectWorld *);
PF_Err CbPremultiply(PF_ProgPtr ref, A_long, PF_EffectWorld *);
PF_Err CbPremultiplyColor(PF_ProgPtr ref, PF_EffectWorld *, const PF_Pixel *, A_long,
                          PF_EffectWorld *);
PF_Err CbPremultiplyColor16(PF_ProgPtr ref, PF_EffectWorld *, const PF_Pixel16 *, A_long,
                            PF_EffectWorld *);
PF_Err CbPremultiplyColorFloat(PF_ProgPtr ref, PF_EffectWorld *, const PF_PixelFloat *, A_long,
                               PF_EffectWorld *);

}  // namespace detail
}  // namespace host
