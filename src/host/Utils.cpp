// The callback tables of in_data: interaction callbacks (parameters,
// progress, abort) and utility callbacks (handles, worlds, pixel services,
// ANSI functions, platform data). Services this host does not offer answer
// PF_Err_INVALID_CALLBACK and are booked as faults.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/Compositing_p.h"
#include "host/Core_p.h"
#include "host/Handles_p.h"
#include "host/Params_p.h"
#include "host/Unsupported_p.h"
#include "host/Worlds_p.h"

namespace host {
namespace detail {

PF_Err NotSupported(PF_ProgPtr ref, const char *service)
{
    if (CommandContext *ctx = ContextFor(ref, service)) {
        ctx->fault(std::string(service) + " is not supported by this host");
    }
    return PF_Err_INVALID_CALLBACK;
}

PF_Err CbBlend(PF_ProgPtr ref, const PF_EffectWorld *, const PF_EffectWorld *, PF_Fixed,
               PF_EffectWorld *)
{
    return NotSupported(ref, "blend");
}

PF_Err CbConvolve(PF_ProgPtr ref, PF_EffectWorld *, const PF_Rect *, PF_KernelFlags, A_long, void *,
                  void *, void *, void *, PF_EffectWorld *)
{
    return NotSupported(ref, "convolve");
}

PF_Err CbTransformWorld(PF_ProgPtr ref, PF_Quality, PF_ModeFlags, PF_Field, const PF_EffectWorld *,
                        const PF_CompositeMode *, const PF_MaskWorld *, const PF_FloatMatrix *,
                        A_long, PF_Boolean, const PF_Rect *, PF_EffectWorld *)
{
    return NotSupported(ref, "transform_world");
}

PF_Err CbPremultiply(PF_ProgPtr ref, A_long, PF_EffectWorld *)
{
    return NotSupported(ref, "premultiply");
}

PF_Err CbPremultiplyColor(PF_ProgPtr ref, PF_EffectWorld *, const PF_Pixel *, A_long,
                          PF_EffectWorld *)
{
    return NotSupported(ref, "premultiply_color");
}

PF_Err CbPremultiplyColor16(PF_ProgPtr ref, PF_EffectWorld *, const PF_Pixel16 *, A_long,
                            PF_EffectWorld *)
{
    return NotSupported(ref, "premultiply_color16");
}

PF_Err CbPremultiplyColorFloat(PF_ProgPtr ref, PF_EffectWorld *, const PF_PixelFloat *, A_long,
                               PF_EffectWorld *)
{
    return NotSupported(ref, "premultiply_color_float");
}

namespace {

// ---------------------------------------------------------------- interaction

PF_Err Abort(PF_ProgPtr ref)
{
    CommandContext *ctx = ContextFor(ref, "abort");
    if (!ctx) return PF_Err_BAD_CALLBACK_PARAM;
    FrameState *frame = ctx->frame;
    if (frame && frame->request->abort && frame->request->abort()) {
        frame->interrupted = true;
        return PF_Interrupt_CANCEL;
    }
    return PF_Err_NONE;
}

PF_Err Progress(PF_ProgPtr ref, A_long current, A_long total)
{
    CommandContext *ctx = ContextFor(ref, "progress");
    if (!ctx) return PF_Err_BAD_CALLBACK_PARAM;
    FrameState *frame = ctx->frame;
    if (!frame) return PF_Err_NONE;
    ++frame->progress_calls;
    if (frame->request->progress && frame->request->progress(current, total)) {
        frame->interrupted = true;
        return PF_Interrupt_CANCEL;
    }
    return PF_Err_NONE;
}

PF_Err RegisterUi(PF_ProgPtr ref, PF_CustomUIInfo *)
{
    return NotSupported(ref, "register_ui");
}

PF_Err CheckoutLayerAudio(PF_ProgPtr ref, PF_ParamIndex, A_long, A_long, A_u_long, PF_UFixed,
                          A_long, A_long, A_long, PF_LayerAudio *)
{
    return NotSupported(ref, "checkout_layer_audio");
}

PF_Err CheckinLayerAudio(PF_ProgPtr ref, PF_LayerAudio)
{
    return NotSupported(ref, "checkin_layer_audio");
}

PF_Err GetAudioData(PF_ProgPtr ref, PF_LayerAudio, PF_SndSamplePtr *, A_long *, PF_UFixed *,
                    A_long *, A_long *, A_long *)
{
    return NotSupported(ref, "get_audio_data");
}

// ---------------------------------------------------------------- utilities

PF_Err BeginSampling(PF_ProgPtr ref, PF_Quality, PF_ModeFlags, PF_SampPB *)
{
    return NotSupported(ref, "begin_sampling");
}

PF_Err SubpixelSample(PF_ProgPtr ref, PF_Fixed, PF_Fixed, const PF_SampPB *, PF_Pixel *)
{
    return NotSupported(ref, "subpixel_sample");
}

PF_Err AreaSample(PF_ProgPtr ref, PF_Fixed, PF_Fixed, const PF_SampPB *, PF_Pixel *)
{
    return NotSupported(ref, "area_sample");
}

PF_Err EndSampling(PF_ProgPtr ref, PF_Quality, PF_ModeFlags, PF_SampPB *)
{
    return NotSupported(ref, "end_sampling");
}

PF_Err GaussianKernel(PF_ProgPtr ref, A_FpLong, PF_KernelFlags, A_FpLong, A_long *, void *)
{
    return NotSupported(ref, "gaussian_kernel");
}

PF_ProgPtr RefOf(const PF_InData *in_data)
{
    return in_data ? in_data->effect_ref : nullptr;
}

PF_Err Iterate(PF_InData *in_data, A_long, A_long, PF_EffectWorld *, const PF_Rect *, void *,
               PF_IteratePixel8Func, PF_EffectWorld *)
{
    return NotSupported(RefOf(in_data), "iterate");
}

PF_Err IterateOrigin(PF_InData *in_data, A_long, A_long, PF_EffectWorld *, const PF_Rect *,
                     const PF_Point *, void *, PF_IteratePixel8Func, PF_EffectWorld *)
{
    return NotSupported(RefOf(in_data), "iterate_origin");
}

PF_Err IterateLut(PF_InData *in_data, A_long, A_long, PF_EffectWorld *, const PF_Rect *, A_u_char *,
                  A_u_char *, A_u_char *, A_u_char *, PF_EffectWorld *)
{
    return NotSupported(RefOf(in_data), "iterate_lut");
}

PF_Err IterateOriginNonClip(PF_InData *in_data, A_long, A_long, PF_EffectWorld *, const PF_Rect *,
                            const PF_Point *, void *, PF_IteratePixel8Func, PF_EffectWorld *)
{
    return NotSupported(RefOf(in_data), "iterate_origin_non_clip_src");
}

PF_Err Iterate16(PF_InData *in_data, A_long, A_long, PF_EffectWorld *, const PF_Rect *, void *,
                 PF_IteratePixel16Func, PF_EffectWorld *)
{
    return NotSupported(RefOf(in_data), "iterate16");
}

PF_Err IterateOrigin16(PF_InData *in_data, A_long, A_long, PF_EffectWorld *, const PF_Rect *,
                       const PF_Point *, void *, PF_IteratePixel16Func, PF_EffectWorld *)
{
    return NotSupported(RefOf(in_data), "iterate_origin16");
}

PF_Err IterateOriginNonClip16(PF_InData *in_data, A_long, A_long, PF_EffectWorld *, const PF_Rect *,
                              const PF_Point *, void *, PF_IteratePixel16Func, PF_EffectWorld *)
{
    return NotSupported(RefOf(in_data), "iterate_origin_non_clip_src16");
}

PF_Err IterateGeneric(A_long, void *, PF_Err (*)(void *, A_long, A_long, A_long))
{
    return NotSupported(CurrentContext() ? &CurrentContext()->ref : nullptr, "iterate_generic");
}

PF_Err GetCallbackAddr(PF_ProgPtr ref, PF_Quality, PF_ModeFlags, PF_CallbackID, PF_CallbackFunc *fn)
{
    if (fn) *fn = nullptr;
    return NotSupported(ref, "get_callback_addr");
}

PF_Err App(PF_ProgPtr ref, A_long, ...)
{
    return NotSupported(ref, "app");
}

PF_Err Subpixel16(PF_ProgPtr ref, PF_Fixed, PF_Fixed, const PF_SampPB *, PF_Pixel16 *)
{
    return NotSupported(ref, "subpixel_sample16");
}

PF_Err Area16(PF_ProgPtr ref, PF_Fixed, PF_Fixed, const PF_SampPB *, PF_Pixel16 *)
{
    return NotSupported(ref, "area_sample16");
}

PF_Err RgbToHls(PF_ProgPtr ref, PF_Pixel *, PF_HLS_Pixel)
{
    return NotSupported(ref, "RGBtoHLS");
}
PF_Err HlsToRgb(PF_ProgPtr ref, PF_HLS_Pixel, PF_Pixel *)
{
    return NotSupported(ref, "HLStoRGB");
}
PF_Err RgbToYiq(PF_ProgPtr ref, PF_Pixel *, PF_YIQ_Pixel)
{
    return NotSupported(ref, "RGBtoYIQ");
}
PF_Err YiqToRgb(PF_ProgPtr ref, PF_YIQ_Pixel, PF_Pixel *)
{
    return NotSupported(ref, "YIQtoRGB");
}
PF_Err Luminance(PF_ProgPtr ref, PF_Pixel *, A_long *)
{
    return NotSupported(ref, "Luminance");
}
PF_Err Hue(PF_ProgPtr ref, PF_Pixel *, A_long *)
{
    return NotSupported(ref, "Hue");
}
PF_Err Lightness(PF_ProgPtr ref, PF_Pixel *, A_long *)
{
    return NotSupported(ref, "Lightness");
}
PF_Err Saturation(PF_ProgPtr ref, PF_Pixel *, A_long *)
{
    return NotSupported(ref, "Saturation");
}

// Widens 8-bit text into a UTF-16 buffer of AEFX_MAX_PATH units.
void PutPath(const std::string &path, void *data)
{
    auto *out = static_cast<A_UTF16Char *>(data);
    std::size_t i = 0;
    for (; i < path.size() && i + 1 < AEFX_MAX_PATH; ++i) {
        out[i] = static_cast<unsigned char>(path[i]);
    }
    out[i] = 0;
}

PF_Err GetPlatformData(PF_ProgPtr ref, PF_PlatDataID which, void *data)
{
    CommandContext *ctx = ContextFor(ref, "get_platform_data");
    if (!ctx) return PF_Err_BAD_CALLBACK_PARAM;
    if (!data) {
        ctx->fault("get_platform_data without a place for the answer");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    switch (which) {
        case PF_PlatData_MAIN_WND:
            *static_cast<void **>(data) = ctx->core.options.main_window;
            return PF_Err_NONE;
        case PF_PlatData_RES_DLLINSTANCE:
            *static_cast<void **>(data) = ctx->core.plugin.module();
            return PF_Err_NONE;
        case PF_PlatData_EXE_FILE_PATH_W:
            PutPath(std::string(), data);
            return PF_Err_NONE;
        case PF_PlatData_RES_FILE_PATH_W:
            PutPath(ctx->core.plugin.path(), data);
            return PF_Err_NONE;
        default:
            return PF_Err_BAD_CALLBACK_PARAM;
    }
}

// ---------------------------------------------------------------- ANSI

A_FpLong Atan(A_FpLong x)
{
    return std::atan(x);
}
A_FpLong Atan2(A_FpLong y, A_FpLong x)
{
    return std::atan2(y, x);
}
A_FpLong Ceil(A_FpLong x)
{
    return std::ceil(x);
}
A_FpLong Cos(A_FpLong x)
{
    return std::cos(x);
}
A_FpLong Exp(A_FpLong x)
{
    return std::exp(x);
}
A_FpLong Fabs(A_FpLong x)
{
    return std::fabs(x);
}
A_FpLong Floor(A_FpLong x)
{
    return std::floor(x);
}
A_FpLong Fmod(A_FpLong x, A_FpLong y)
{
    return std::fmod(x, y);
}
A_FpLong Hypot(A_FpLong x, A_FpLong y)
{
    return std::hypot(x, y);
}
A_FpLong Log(A_FpLong x)
{
    return std::log(x);
}
A_FpLong Log10(A_FpLong x)
{
    return std::log10(x);
}
A_FpLong Pow(A_FpLong x, A_FpLong y)
{
    return std::pow(x, y);
}
A_FpLong Sin(A_FpLong x)
{
    return std::sin(x);
}
A_FpLong Sqrt(A_FpLong x)
{
    return std::sqrt(x);
}
A_FpLong Tan(A_FpLong x)
{
    return std::tan(x);
}
A_FpLong Asin(A_FpLong x)
{
    return std::asin(x);
}
A_FpLong Acos(A_FpLong x)
{
    return std::acos(x);
}

// Like the real host's: the buffer's size is the caller's promise. A message
// that overruns out_data->return_msg is caught when the command returns.
// The attribute tells the compiler the format comes from the caller.
__attribute__((format(printf, 2, 3))) int Sprintf(A_char *buffer, const A_char *format, ...)
{
    va_list args;
    va_start(args, format);
    const int n = std::vsprintf(buffer, format, args);
    va_end(args);
    return n;
}

A_char *Strcpy(A_char *to, const A_char *from)
{
    return std::strcpy(to, from);
}

}  // namespace

const PF_InteractCallbacks &InteractCallbacks()
{
    static const PF_InteractCallbacks table = [] {
        PF_InteractCallbacks t{};
        t.checkout_param = CbCheckoutParam;
        t.checkin_param = CbCheckinParam;
        t.add_param = CbAddParam;
        t.abort = Abort;
        t.progress = Progress;
        t.register_ui = RegisterUi;
        t.checkout_layer_audio = CheckoutLayerAudio;
        t.checkin_layer_audio = CheckinLayerAudio;
        t.get_audio_data = GetAudioData;
        return t;
    }();
    return table;
}

const PF_UtilCallbacks &UtilCallbacks()
{
    static const PF_UtilCallbacks table = [] {
        PF_UtilCallbacks t{};
        t.begin_sampling = BeginSampling;
        t.subpixel_sample = SubpixelSample;
        t.area_sample = AreaSample;
        t.end_sampling = EndSampling;
        t.composite_rect = CbCompositeRect;
        t.blend = CbBlend;
        t.convolve = CbConvolve;
        t.copy = CbCopy;
        t.fill = CbFill;
        t.gaussian_kernel = GaussianKernel;
        t.iterate = Iterate;
        t.premultiply = CbPremultiply;
        t.premultiply_color = CbPremultiplyColor;
        t.new_world = CbNewWorld;
        t.dispose_world = CbDisposeWorld;
        t.iterate_origin = IterateOrigin;
        t.iterate_lut = IterateLut;
        t.transfer_rect = CbTransferRect;
        t.transform_world = CbTransformWorld;
        t.host_new_handle = CbNewHandle;
        t.host_lock_handle = CbLockHandle;
        t.host_unlock_handle = CbUnlockHandle;
        t.host_dispose_handle = CbDisposeHandle;
        t.get_callback_addr = GetCallbackAddr;
        t.app = App;
        t.ansi.atan = Atan;
        t.ansi.atan2 = Atan2;
        t.ansi.ceil = Ceil;
        t.ansi.cos = Cos;
        t.ansi.exp = Exp;
        t.ansi.fabs = Fabs;
        t.ansi.floor = Floor;
        t.ansi.fmod = Fmod;
        t.ansi.hypot = Hypot;
        t.ansi.log = Log;
        t.ansi.log10 = Log10;
        t.ansi.pow = Pow;
        t.ansi.sin = Sin;
        t.ansi.sqrt = Sqrt;
        t.ansi.tan = Tan;
        t.ansi.sprintf = Sprintf;
        t.ansi.strcpy = Strcpy;
        t.ansi.asin = Asin;
        t.ansi.acos = Acos;
        t.colorCB.RGBtoHLS = RgbToHls;
        t.colorCB.HLStoRGB = HlsToRgb;
        t.colorCB.RGBtoYIQ = RgbToYiq;
        t.colorCB.YIQtoRGB = YiqToRgb;
        t.colorCB.Luminance = Luminance;
        t.colorCB.Hue = Hue;
        t.colorCB.Lightness = Lightness;
        t.colorCB.Saturation = Saturation;
        t.get_platform_data = GetPlatformData;
        t.host_get_handle_size = CbGetHandleSize;
        t.iterate_origin_non_clip_src = IterateOriginNonClip;
        t.iterate_generic = IterateGeneric;
        t.host_resize_handle = CbResizeHandle;
        t.subpixel_sample16 = Subpixel16;
        t.area_sample16 = Area16;
        t.fill16 = CbFill16;
        t.premultiply_color16 = CbPremultiplyColor16;
        t.iterate16 = Iterate16;
        t.iterate_origin16 = IterateOrigin16;
        t.iterate_origin_non_clip_src16 = IterateOriginNonClip16;
        t.get_pixel_data8 = CbGetPixelData8;
        t.get_pixel_data16 = CbGetPixelData16;
        return t;
    }();
    return table;
}

}  // namespace detail
}  // namespace host
