// The per-depth render drivers. All three do the same steps; they differ
// only in the pixel type of the canvas and the renderer they call.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "AEWorldSuite.h"
#include "CustomFilter.h"
#include "SuiteSet.h"
#include "render/PolygonRasterizer.h"
#include "render/RenderDots.h"

namespace {

constexpr A_long kMaskNormal = 1;
constexpr A_long kMaskLayer = 3;

// The host's world geometry is taken as 16-bit signed values here.
inline A_long S16(A_long v)
{
    return static_cast<std::int16_t>(v);
}

void ScaleLengths(RenderRecord &record, double sx, double sy)
{
    const double s = std::min(sx, sy);
    record.DotSize *= s;
    for (EffectorSettings &fx : record.Effectors) {
        fx.size *= s;
        fx.independentSize *= s;
        fx.sizeOffset *= s;
    }
    record.DotSpacingX *= sx;
    record.DotSpacingY *= sy;
}

template <typename Pixel>
PF_Err RenderDriver(RenderRecord *record)
{
    PF_InData *in_data = record->in_data;
    AEUtil::SuiteSet suites(in_data->pica_basicP);
    PF_EffectWorld *input = record->input;
    PF_EffectWorld *output = record->output;

    // Start from transparent black (the same 8-bit fill at every depth),
    // then lay the input in unless the background is to be cleared.
    const PF_Pixel clear{0, 0, 0, 0};
    PF_Rect all{0, 0, S16(output->width), S16(output->height)};
    PF_Err err = suites.FillMatte()->fill(in_data->effect_ref, &clear, &all, output);
    if (!record->ClearBackground && err == PF_Err_NONE) {
        PF_Rect src{0, 0, S16(input->width), S16(input->height)};
        const A_long inX = S16(input->origin_x), inY = S16(input->origin_y);
        const A_long outX = S16(output->origin_x), outY = S16(output->origin_y);
        const A_long outW = S16(output->width), outH = S16(output->height);
        PF_Rect dst{inX - outX, inY - outY, inX + S16(input->width) - outX,
                    inY + S16(input->height) - outY};
        dst.left = std::min(dst.left, outW);
        dst.right = std::min(dst.right, outW);
        dst.top = std::min(dst.top, outH);
        dst.bottom = std::min(dst.bottom, outH);
        const PF_WorldTransformSuite1 *transform = suites.WorldTransform();
        err = (in_data->quality == PF_Quality_HI ? transform->copy_hq : transform->copy)(
            in_data->effect_ref, input, output, &src, &dst);
    }

    const double sx = static_cast<double>(in_data->downsample_x.num) /
                      static_cast<double>(in_data->downsample_x.den);
    const double sy = static_cast<double>(in_data->downsample_y.num) /
                      static_cast<double>(in_data->downsample_y.den);
    AEUtil::EffectWorldPtr dots = AEUtil::WorldSuite::newWorld(
        in_data, DownsampledSize(in_data->width, in_data->downsample_x),
        DownsampledSize(in_data->height, in_data->downsample_y), 0, record->pixelFormat);
    if (err != PF_Err_NONE) {
        return err;
    }

    DotCanvas<Pixel> canvas;
    canvas.pixels = reinterpret_cast<Pixel *>(dots->data);
    canvas.width = dots->width;
    canvas.height = dots->height;
    canvas.rowbytes = dots->rowbytes;
    {
        PolygonRasterizer<Pixel> rasterizer(canvas);
        canvas.rasterizer = &rasterizer;
        ScaleLengths(*record, sx, sy);
        err = RenderDots(*record, canvas);
        canvas.rasterizer = nullptr;
    }
    if (err != PF_Err_NONE) {
        return err;
    }

    PF_Rect source{0, 0, dots->width, dots->height};
    if (!record->smart || (record->MaskMode == kMaskNormal && !record->InvertMask)) {
        const A_long inX = S16(input->origin_x), inY = S16(input->origin_y);
        source = PF_Rect{inX, inY, inX + S16(input->width), inY + S16(input->height)};
    }

    PF_MaskWorld mask{};
    const PF_MaskWorld *maskP = nullptr;
    const PF_MaskFlags maskFlags = record->InvertMask ? PF_MaskFlag_INVERTED : PF_MaskFlag_NONE;
    if (record->MaskMode == kMaskNormal) {
        mask.mask = *input;
        if (record->InvertMask) {
            mask.offset.h = S16(input->origin_x);
            mask.offset.v = S16(input->origin_y);
        }
        mask.what_is_mask = maskFlags;
        maskP = &mask;
    } else if (record->MaskMode == kMaskLayer) {
        if (record->MaskLayer) {
            const PF_EffectWorld &layer = *record->MaskLayer;
            mask.mask = layer;
            // Centred on the output; computed in 32 bits, kept as 16.
            const double h = (output->origin_x + output->width - layer.width) / 2.0 + 0.5;
            const double v = (output->origin_y + output->height - layer.height) / 2.0 + 0.5;
            mask.offset.h = S16(static_cast<A_long>(std::floor(h)));
            mask.offset.v = S16(static_cast<A_long>(std::floor(v)));
        }
        mask.what_is_mask = maskFlags;
        maskP = &mask;
    }

    PF_CompositeMode mode{};
    mode.xfer = PF_Xfer_IN_FRONT;
    mode.rand_seed = 0;
    mode.opacity = 255;
    mode.rgb_only = 0;
    mode.opacitySu = 32768;
    return suites.WorldTransform()->transfer_rect(in_data->effect_ref, in_data->quality,
                                                  PF_MF_Alpha_STRAIGHT, PF_Field_FRAME, &source,
                                                  dots.get(), &mode, maskP, 0, 0, output);
}

}  // namespace

PF_Err RenderDriver8(CustomFilter *, RenderRecord *record)
{
    return RenderDriver<AEUtil::Pixel8>(record);
}

PF_Err RenderDriver16(CustomFilter *, RenderRecord *record)
{
    return RenderDriver<AEUtil::Pixel16>(record);
}

PF_Err RenderDriverFloat(CustomFilter *, RenderRecord *record)
{
    return RenderDriver<AEUtil::Pixel32>(record);
}
