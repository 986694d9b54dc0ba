// Private to the host: the pixel services an effect can ask for (fill, copy,
// transfer_rect, composite_rect), shared by the utility table, the Fill Matte
// Suite and the World Transform Suite.
#pragma once

#include "AESdk.h"

namespace host {
namespace detail {

PF_Err CbFill(PF_ProgPtr ref, const PF_Pixel *color, const PF_Rect *dst_rect,
              PF_EffectWorld *world);
PF_Err CbFill16(PF_ProgPtr ref, const PF_Pixel16 *color, const PF_Rect *dst_rect,
                PF_EffectWorld *world);
PF_Err CbFillFloat(PF_ProgPtr ref, const PF_PixelFloat *color, const PF_Rect *dst_rect,
                   PF_EffectWorld *world);
PF_Err CbCopy(PF_ProgPtr ref, PF_EffectWorld *src, PF_EffectWorld *dst, PF_Rect *src_r,
              PF_Rect *dst_r);
PF_Err CbCopyHq(PF_ProgPtr ref, PF_EffectWorld *src, PF_EffectWorld *dst, PF_Rect *src_r,
                PF_Rect *dst_r);
PF_Err CbTransferRect(PF_ProgPtr ref, PF_Quality quality, PF_ModeFlags m_flags, PF_Field field,
                      const PF_Rect *src_rec, const PF_EffectWorld *src_world,
                      const PF_CompositeMode *comp_mode, const PF_MaskWorld *mask_world0,
                      A_long dest_x, A_long dest_y, PF_EffectWorld *dst_world);
PF_Err CbCompositeRect(PF_ProgPtr ref, PF_Rect *src_rect, A_long src_opacity,
                       PF_EffectWorld *source_wld, A_long dest_x, A_long dest_y, PF_Field field_rdr,
                       PF_XferMode xfer_mode, PF_EffectWorld *dest_wld);

}  // namespace detail
}  // namespace host
