// The effect object's base: one virtual operation per host command, in the
// slot order the effect has always had, with the behaviour every effect of
// this family shares. The effect (CustomFilter) overrides what it needs.
#pragma once

#include "AESdk.h"
#include "RenderRecord.h"

namespace filter {

class BaseFilter {
public:
    BaseFilter();
    virtual ~BaseFilter();

    // Maps a command code to its operation; codes without one return 0.
    virtual PF_Err Dispatch(PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data,
                            PF_ParamDef *params[], PF_LayerDef *output, void *extra);

    virtual PF_Err About(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[],
                         PF_LayerDef *output);
    virtual PF_Err GlobalSetup(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[],
                               PF_LayerDef *output);
    virtual PF_Err GlobalSetdown(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[],
                                 PF_LayerDef *output);
    virtual PF_Err ParamsSetup(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[],
                               PF_LayerDef *output);
    virtual PF_Err UserChangedParam(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[],
                                    PF_LayerDef *output, void *extra);
    virtual PF_Err UpdateParamsUI(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[],
                                  PF_LayerDef *output);
    virtual PF_Err Render(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[],
                          PF_LayerDef *output);
    virtual PF_Err SmartPreRender(PF_InData *in_data, PF_OutData *out_data,
                                  PF_PreRenderExtra *extra);
    virtual PF_Err SmartRender(PF_InData *in_data, PF_OutData *out_data,
                               PF_SmartRenderExtra *extra);
    virtual PF_Err SequenceSetup(PF_InData *in_data, PF_OutData *out_data);
    virtual PF_Err SequenceSetdown(PF_InData *in_data, PF_OutData *out_data);
    virtual PF_Err SequenceFlatten(PF_InData *in_data, PF_OutData *out_data);
    virtual PF_Err SequenceResetup(PF_InData *in_data, PF_OutData *out_data);
    virtual PF_Err QueryDynamicFlags(PF_InData *in_data, PF_OutData *out_data,
                                     PF_ParamDef *params[], PF_LayerDef *output);
    virtual PF_Err Event(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[],
                         PF_LayerDef *output, void *extra);
    virtual PF_Err ArbitraryCallback(PF_InData *in_data, PF_OutData *out_data,
                                     PF_ParamDef *params[], PF_LayerDef *output, void *extra);
    virtual PF_Err ComputeOutputRect(PF_InData *in_data, PF_OutData *out_data,
                                     PF_PreRenderExtra *extra, RenderRecord *record);
    virtual PF_Err PrepareSmartRender(PF_InData *in_data, PF_OutData *out_data,
                                      PF_SmartRenderExtra *extra, RenderRecord *record);
    virtual PF_Err SequenceRebuild(PF_InData *in_data, PF_OutData *out_data);
    virtual PF_Err Initialize(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[],
                              PF_LayerDef *output);
    virtual PF_Err RenderWorlds(RenderRecord *record);

    BaseFilter(const BaseFilter &) = delete;
    BaseFilter &operator=(const BaseFilter &) = delete;
};

// Version and flags the effect reports at global set-up; the property list
// compiled into the plug-in carries the same values.
constexpr int kMajorVersion = 1;
constexpr int kMinorVersion = 5;
constexpr int kFixVersion = 5;
constexpr int kBuildNumber = 3;
constexpr A_u_long kPackedVersion =
    PF_VERSION(kMajorVersion, kMinorVersion, kFixVersion, PF_Stage_RELEASE, kBuildNumber);
constexpr PF_OutFlags kOutFlags = PF_OutFlag_WIDE_TIME_INPUT | PF_OutFlag_I_DO_DIALOG |
                                  PF_OutFlag_USE_OUTPUT_EXTENT | PF_OutFlag_DEEP_COLOR_AWARE |
                                  PF_OutFlag_SEND_UPDATE_PARAMS_UI;
constexpr PF_OutFlags2 kOutFlags2 =
    PF_OutFlag2_SUPPORTS_QUERY_DYNAMIC_FLAGS | PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG |
    PF_OutFlag2_I_AM_THREADSAFE | PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE;
static_assert(kPackedVersion == 699907, "version 1.5.5 release build 3");
static_assert(kOutFlags == 0x06000062, "global out flags");
static_assert(kOutFlags2 == 0x00001419, "global out flags 2");

// The application id of the one host this effect serves.
constexpr A_long kHostApplicationId = 0x46585443;  // 'FXTC'

// Creates the effect object in its static storage; defined by the effect.
BaseFilter *ConstructEffectObject();

// The rectangle union the output rectangles are merged with: an empty
// target becomes a copy of the source, an empty source changes nothing.
void UnionRect(PF_LRect &target, const PF_LRect &source);

}  // namespace filter
