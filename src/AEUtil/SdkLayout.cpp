// Compile-time proof that the effect API records have the host's Windows x64
// binary layout, whichever declarations (ours or the vendor's) are in use.
#include <cstddef>

#include "AESdk.h"

#define STIPPLEX_SIZE(T, n) static_assert(sizeof(T) == (n), #T " size")
#define STIPPLEX_AT(T, m, n) static_assert(offsetof(T, m) == (n), #T "." #m " offset")

static_assert(sizeof(void *) == 8, "the host API is laid out for 64-bit targets");

STIPPLEX_SIZE(A_Time, 8);
STIPPLEX_SIZE(PF_SpecVersion, 4);
STIPPLEX_SIZE(PF_RationalScale, 8);
STIPPLEX_SIZE(PF_Point, 8);
STIPPLEX_SIZE(PF_LRect, 16);
STIPPLEX_SIZE(PF_FloatMatrix, 72);
STIPPLEX_SIZE(PF_SoundFormatInfo, 16);
STIPPLEX_SIZE(PF_SoundWorld, 32);
STIPPLEX_AT(PF_SoundWorld, dataP, 24);
STIPPLEX_SIZE(PF_Boolean, 1);
STIPPLEX_SIZE(SPBoolean, 4);

STIPPLEX_SIZE(PF_InData, 408);
STIPPLEX_AT(PF_InData, utils, 176);
STIPPLEX_AT(PF_InData, effect_ref, 184);
STIPPLEX_AT(PF_InData, quality, 192);
STIPPLEX_AT(PF_InData, version, 196);
STIPPLEX_AT(PF_InData, appl_id, 204);
STIPPLEX_AT(PF_InData, num_params, 208);
STIPPLEX_AT(PF_InData, current_time, 224);
STIPPLEX_AT(PF_InData, time_step, 228);
STIPPLEX_AT(PF_InData, time_scale, 240);
STIPPLEX_AT(PF_InData, field, 244);
STIPPLEX_AT(PF_InData, width, 252);
STIPPLEX_AT(PF_InData, extent_hint, 260);
STIPPLEX_AT(PF_InData, output_origin_x, 276);
STIPPLEX_AT(PF_InData, downsample_x, 284);
STIPPLEX_AT(PF_InData, downsample_y, 292);
STIPPLEX_AT(PF_InData, pixel_aspect_ratio, 300);
STIPPLEX_AT(PF_InData, in_flags, 308);
STIPPLEX_AT(PF_InData, global_data, 312);
STIPPLEX_AT(PF_InData, sequence_data, 320);
STIPPLEX_AT(PF_InData, frame_data, 328);
STIPPLEX_AT(PF_InData, total_sampL, 344);
STIPPLEX_AT(PF_InData, src_snd, 352);
STIPPLEX_AT(PF_InData, pica_basicP, 384);
STIPPLEX_AT(PF_InData, pre_effect_source_origin_x, 392);
STIPPLEX_AT(PF_InData, shutter_phase, 400);

STIPPLEX_SIZE(PF_OutData, 408);
STIPPLEX_AT(PF_OutData, name, 4);
STIPPLEX_AT(PF_OutData, global_data, 40);
STIPPLEX_AT(PF_OutData, num_params, 48);
STIPPLEX_AT(PF_OutData, sequence_data, 56);
STIPPLEX_AT(PF_OutData, flat_sdata_size, 64);
STIPPLEX_AT(PF_OutData, frame_data, 72);
STIPPLEX_AT(PF_OutData, width, 80);
STIPPLEX_AT(PF_OutData, origin, 88);
STIPPLEX_AT(PF_OutData, out_flags, 96);
STIPPLEX_AT(PF_OutData, return_msg, 100);
STIPPLEX_AT(PF_OutData, start_sampL, 356);
STIPPLEX_AT(PF_OutData, dest_snd, 368);
STIPPLEX_AT(PF_OutData, out_flags2, 400);

STIPPLEX_SIZE(PF_InteractCallbacks, 176);
STIPPLEX_AT(PF_InteractCallbacks, checkin_param, 8);
STIPPLEX_AT(PF_InteractCallbacks, add_param, 16);
STIPPLEX_AT(PF_InteractCallbacks, progress, 32);
STIPPLEX_AT(PF_InteractCallbacks, reserved_str, 72);
STIPPLEX_AT(PF_InteractCallbacks, reserved, 96);

STIPPLEX_SIZE(PF_UtilCallbacks, 552);
STIPPLEX_AT(PF_UtilCallbacks, composite_rect, 40);
STIPPLEX_AT(PF_UtilCallbacks, copy, 64);
STIPPLEX_AT(PF_UtilCallbacks, fill, 72);
STIPPLEX_AT(PF_UtilCallbacks, new_world, 112);
STIPPLEX_AT(PF_UtilCallbacks, transfer_rect, 144);
STIPPLEX_AT(PF_UtilCallbacks, host_new_handle, 160);
STIPPLEX_AT(PF_UtilCallbacks, host_lock_handle, 168);
STIPPLEX_AT(PF_UtilCallbacks, host_unlock_handle, 176);
STIPPLEX_AT(PF_UtilCallbacks, host_dispose_handle, 184);
STIPPLEX_AT(PF_UtilCallbacks, app, 200);
STIPPLEX_AT(PF_UtilCallbacks, ansi, 208);
STIPPLEX_AT(PF_UtilCallbacks, colorCB, 368);
STIPPLEX_AT(PF_UtilCallbacks, get_platform_data, 432);
STIPPLEX_AT(PF_UtilCallbacks, host_get_handle_size, 440);
STIPPLEX_AT(PF_UtilCallbacks, host_resize_handle, 464);
STIPPLEX_AT(PF_UtilCallbacks, fill16, 488);
STIPPLEX_AT(PF_UtilCallbacks, get_pixel_data16, 536);
STIPPLEX_AT(PF_UtilCallbacks, reserved, 544);
STIPPLEX_SIZE(PF_ANSICallbacks, 160);
STIPPLEX_AT(PF_ANSICallbacks, sprintf, 120);
STIPPLEX_AT(PF_ANSICallbacks, strcpy, 128);
STIPPLEX_AT(PF_ANSICallbacks, ansi_procs, 152);
STIPPLEX_SIZE(PF_ColorCallbacks, 64);
STIPPLEX_SIZE(PF_SampPB, 104);
STIPPLEX_AT(PF_SampPB, comp_mode, 36);
STIPPLEX_AT(PF_SampPB, mask0, 48);

STIPPLEX_SIZE(PF_ParamDef, 176);
STIPPLEX_AT(PF_ParamDef, ui_flags, 4);
STIPPLEX_AT(PF_ParamDef, ui_width, 8);
STIPPLEX_AT(PF_ParamDef, param_type, 12);
STIPPLEX_AT(PF_ParamDef, name, 16);
STIPPLEX_AT(PF_ParamDef, flags, 48);
STIPPLEX_AT(PF_ParamDef, u, 56);
STIPPLEX_SIZE(PF_ParamDefUnion, 120);
STIPPLEX_SIZE(PF_LayerDef, 120);
STIPPLEX_AT(PF_LayerDef, world_flags, 16);
STIPPLEX_AT(PF_LayerDef, data, 24);
STIPPLEX_AT(PF_LayerDef, rowbytes, 32);
STIPPLEX_AT(PF_LayerDef, width, 36);
STIPPLEX_AT(PF_LayerDef, height, 40);
STIPPLEX_AT(PF_LayerDef, extent_hint, 44);
STIPPLEX_AT(PF_LayerDef, platform_ref, 64);
STIPPLEX_AT(PF_LayerDef, reserved_long1, 72);
STIPPLEX_AT(PF_LayerDef, reserved_long4, 80);
STIPPLEX_AT(PF_LayerDef, pix_aspect_ratio, 88);
STIPPLEX_AT(PF_LayerDef, reserved_long2, 96);
STIPPLEX_AT(PF_LayerDef, origin_x, 104);
STIPPLEX_AT(PF_LayerDef, origin_y, 108);
STIPPLEX_AT(PF_LayerDef, reserved_long3, 112);
STIPPLEX_AT(PF_LayerDef, dephault, 116);

STIPPLEX_SIZE(PF_SliderDef, 88);
STIPPLEX_AT(PF_SliderDef, valid_min, 68);
STIPPLEX_AT(PF_SliderDef, dephault, 84);
STIPPLEX_SIZE(PF_FixedSliderDef, 92);
STIPPLEX_AT(PF_FixedSliderDef, precision, 88);
STIPPLEX_SIZE(PF_FloatSliderDef, 88);
STIPPLEX_AT(PF_FloatSliderDef, phase, 8);
STIPPLEX_AT(PF_FloatSliderDef, value_desc, 16);
STIPPLEX_AT(PF_FloatSliderDef, valid_min, 48);
STIPPLEX_AT(PF_FloatSliderDef, dephault, 64);
STIPPLEX_AT(PF_FloatSliderDef, precision, 68);
STIPPLEX_AT(PF_FloatSliderDef, display_flags, 70);
STIPPLEX_AT(PF_FloatSliderDef, fs_flags, 72);
STIPPLEX_AT(PF_FloatSliderDef, curve_tolerance, 76);
STIPPLEX_AT(PF_FloatSliderDef, useExponent, 80);
STIPPLEX_AT(PF_FloatSliderDef, exponent, 84);
STIPPLEX_SIZE(PF_AngleDef, 16);
STIPPLEX_SIZE(PF_CheckBoxDef, 16);
STIPPLEX_AT(PF_CheckBoxDef, dephault, 4);
STIPPLEX_AT(PF_CheckBoxDef, u, 8);
STIPPLEX_SIZE(PF_ColorDef, 8);
STIPPLEX_SIZE(PF_PointDef, 20);
STIPPLEX_AT(PF_PointDef, restrict_bounds, 11);
STIPPLEX_AT(PF_PointDef, x_dephault, 12);
STIPPLEX_SIZE(PF_PopupDef, 16);
STIPPLEX_AT(PF_PopupDef, num_choices, 4);
STIPPLEX_AT(PF_PopupDef, dephault, 6);
STIPPLEX_AT(PF_PopupDef, u, 8);
STIPPLEX_SIZE(PF_ArbitraryDef, 32);
STIPPLEX_SIZE(PF_PathDef, 12);
STIPPLEX_SIZE(PF_ButtonDef, 16);
STIPPLEX_SIZE(PF_Point3DDef, 64);
STIPPLEX_SIZE(PF_UserChangedParamExtra, 4);

STIPPLEX_SIZE(PF_Pixel, 4);
STIPPLEX_SIZE(PF_Pixel16, 8);
STIPPLEX_SIZE(PF_PixelFloat, 16);
STIPPLEX_SIZE(PF_CompositeMode, 12);
STIPPLEX_AT(PF_CompositeMode, opacity, 8);
STIPPLEX_AT(PF_CompositeMode, rgb_only, 9);
STIPPLEX_AT(PF_CompositeMode, opacitySu, 10);
STIPPLEX_SIZE(PF_MaskWorld, 136);
STIPPLEX_AT(PF_MaskWorld, offset, 120);
STIPPLEX_AT(PF_MaskWorld, what_is_mask, 128);

STIPPLEX_SIZE(PF_RenderRequest, 44);
STIPPLEX_AT(PF_RenderRequest, field, 16);
STIPPLEX_AT(PF_RenderRequest, channel_mask, 20);
STIPPLEX_AT(PF_RenderRequest, preserve_rgb_of_zero_alpha, 24);
STIPPLEX_AT(PF_RenderRequest, reserved, 28);
STIPPLEX_SIZE(PF_PreRenderInput, 64);
STIPPLEX_AT(PF_PreRenderInput, bitdepth, 44);
STIPPLEX_AT(PF_PreRenderInput, gpu_data, 48);
STIPPLEX_AT(PF_PreRenderInput, what_gpu, 56);
STIPPLEX_AT(PF_PreRenderInput, device_index, 60);
STIPPLEX_SIZE(PF_PreRenderOutput, 56);
STIPPLEX_AT(PF_PreRenderOutput, max_result_rect, 16);
STIPPLEX_AT(PF_PreRenderOutput, solid, 32);
STIPPLEX_AT(PF_PreRenderOutput, flags, 34);
STIPPLEX_AT(PF_PreRenderOutput, pre_render_data, 40);
STIPPLEX_AT(PF_PreRenderOutput, delete_pre_render_data_func, 48);
STIPPLEX_SIZE(PF_CheckoutResult, 76);
STIPPLEX_AT(PF_CheckoutResult, par, 32);
STIPPLEX_AT(PF_CheckoutResult, solid, 40);
STIPPLEX_AT(PF_CheckoutResult, ref_width, 44);
STIPPLEX_AT(PF_CheckoutResult, ref_height, 48);
STIPPLEX_AT(PF_CheckoutResult, reserved, 52);
STIPPLEX_SIZE(PF_PreRenderCallbacks, 16);
STIPPLEX_SIZE(PF_PreRenderExtra, 24);
STIPPLEX_SIZE(PF_SmartRenderInput, 72);
STIPPLEX_AT(PF_SmartRenderInput, bitdepth, 44);
STIPPLEX_AT(PF_SmartRenderInput, pre_render_data, 48);
STIPPLEX_AT(PF_SmartRenderInput, gpu_data, 56);
STIPPLEX_AT(PF_SmartRenderInput, what_gpu, 64);
STIPPLEX_AT(PF_SmartRenderInput, device_index, 68);
STIPPLEX_SIZE(PF_SmartRenderCallbacks, 24);
STIPPLEX_SIZE(PF_SmartRenderExtra, 16);

STIPPLEX_SIZE(SPBasicSuite, 56);
STIPPLEX_SIZE(PF_WorldSuite1, 16);
STIPPLEX_SIZE(PF_WorldSuite2, 24);
STIPPLEX_SIZE(PF_FillMatteSuite2, 56);
STIPPLEX_SIZE(PF_WorldTransformSuite1, 56);
STIPPLEX_AT(PF_WorldTransformSuite1, copy_hq, 32);
STIPPLEX_AT(PF_WorldTransformSuite1, transfer_rect, 40);
STIPPLEX_SIZE(PF_HandleSuite1, 48);
STIPPLEX_SIZE(PF_ParamUtilsSuite3, 72);
STIPPLEX_SIZE(PF_ParamUtilsSuite1, 80);
STIPPLEX_SIZE(PF_State, 16);

static_assert(PF_PixelFormat_ARGB32 == 0x62677261, "pixel format codes");
static_assert(PF_PixelFormat_ARGB64 == 0x36316561, "pixel format codes");
static_assert(PF_PixelFormat_ARGB128 == 0x32336561, "pixel format codes");
static_assert(PF_PixelFormat_INVALID == 0x66646162, "pixel format codes");
static_assert(PF_VERSION(1, 0, 0, PF_Stage_DEVELOP, 1) == 0x00080001, "version packing");
static_assert(PF_VERSION(1, 5, 5, PF_Stage_RELEASE, 3) == 699907, "version packing");
static_assert((PF_OutFlag_WIDE_TIME_INPUT | PF_OutFlag_I_DO_DIALOG | PF_OutFlag_USE_OUTPUT_EXTENT |
               PF_OutFlag_DEEP_COLOR_AWARE | PF_OutFlag_SEND_UPDATE_PARAMS_UI) == 0x06000062,
              "out flags");
static_assert((PF_OutFlag2_SUPPORTS_QUERY_DYNAMIC_FLAGS |
               PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG | PF_OutFlag2_I_AM_THREADSAFE |
               PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE) == 0x00001419,
              "out flags 2");
