#include "BaseFilter.h"

#include <clocale>

#include "Language.h"
#include "OptionsDialog.h"
#include "params/ParamUI.h"
#include "params/Params.h"
#include "platform/Platform.h"

namespace filter {

BaseFilter::BaseFilter()
{
    // Number text in the defaults file follows the user's locale from here on.
    std::setlocale(LC_ALL, "");
}

BaseFilter::~BaseFilter() = default;

PF_Err BaseFilter::Dispatch(PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data,
                            PF_ParamDef *params[], PF_LayerDef *output, void *extra)
{
    switch (cmd) {
        case PF_Cmd_ABOUT:
            return About(in_data, out_data, params, output);
        case PF_Cmd_GLOBAL_SETUP:
            return GlobalSetup(in_data, out_data, params, output);
        case PF_Cmd_GLOBAL_SETDOWN:
            return GlobalSetdown(in_data, out_data, params, output);
        case PF_Cmd_PARAMS_SETUP:
            return ParamsSetup(in_data, out_data, params, output);
        case PF_Cmd_SEQUENCE_SETUP:
            return SequenceSetup(in_data, out_data);
        case PF_Cmd_SEQUENCE_RESETUP:
            return SequenceResetup(in_data, out_data);
        case PF_Cmd_SEQUENCE_FLATTEN:
            return SequenceFlatten(in_data, out_data);
        case PF_Cmd_SEQUENCE_SETDOWN:
            return SequenceSetdown(in_data, out_data);
        case PF_Cmd_DO_DIALOG:
            // What the user did in the dialog is not the host's concern.
            ShowOptionsDialog(in_data, params);
            return PF_Err_NONE;
        case PF_Cmd_RENDER:
            return Render(in_data, out_data, params, output);
        case PF_Cmd_USER_CHANGED_PARAM:
            return UserChangedParam(in_data, out_data, params, output, extra);
        case PF_Cmd_UPDATE_PARAMS_UI:
            return UpdateParamsUI(in_data, out_data, params, output);
        case PF_Cmd_EVENT:
            return Event(in_data, out_data, params, output, extra);
        case PF_Cmd_QUERY_DYNAMIC_FLAGS:
            return QueryDynamicFlags(in_data, out_data, params, output);
        case PF_Cmd_ARBITRARY_CALLBACK:
            return ArbitraryCallback(in_data, out_data, params, output, extra);
        case PF_Cmd_SMART_PRE_RENDER:
            return SmartPreRender(in_data, out_data, static_cast<PF_PreRenderExtra *>(extra));
        case PF_Cmd_SMART_RENDER:
            return SmartRender(in_data, out_data, static_cast<PF_SmartRenderExtra *>(extra));
        default:
            return PF_Err_NONE;
    }
}

PF_Err BaseFilter::About(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *[], PF_LayerDef *)
{
    const bool shift = platform::ShiftKeyDown();
    auto format = in_data->utils->ansi.sprintf;
    char *msg = out_data->return_msg;
    int n = format(msg, "%s %d.%d.%d %s", "Stipplex", kMajorVersion, kMinorVersion, kFixVersion,
                   "Release");
    if (shift) {
        n += format(msg + n, " build:%d", kBuildNumber);
    }
    format(msg + n, "\r\r%s", LocalizedText(1));
    return PF_Err_NONE;
}

PF_Err BaseFilter::GlobalSetup(PF_InData *, PF_OutData *out_data, PF_ParamDef *[], PF_LayerDef *)
{
    out_data->my_version = kPackedVersion;
    out_data->out_flags = kOutFlags;
    out_data->out_flags2 = kOutFlags2;
    return PF_Err_NONE;
}

PF_Err BaseFilter::GlobalSetdown(PF_InData *, PF_OutData *, PF_ParamDef *[], PF_LayerDef *)
{
    return PF_Err_NONE;
}

PF_Err BaseFilter::ParamsSetup(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *[],
                               PF_LayerDef *)
{
    return params::DeclareParams(in_data, out_data);
}

PF_Err BaseFilter::UserChangedParam(PF_InData *in_data, PF_OutData *, PF_ParamDef *params[],
                                    PF_LayerDef *, void *extra)
{
    return params::UserChangedParam(in_data, params,
                                    static_cast<const PF_UserChangedParamExtra *>(extra));
}

PF_Err BaseFilter::UpdateParamsUI(PF_InData *in_data, PF_OutData *, PF_ParamDef *params[],
                                  PF_LayerDef *)
{
    return params::UpdateParamsUI(in_data, params);
}

PF_Err BaseFilter::QueryDynamicFlags(PF_InData *, PF_OutData *, PF_ParamDef *[], PF_LayerDef *)
{
    return PF_Err_NONE;
}

PF_Err BaseFilter::Event(PF_InData *, PF_OutData *, PF_ParamDef *[], PF_LayerDef *, void *)
{
    return PF_Err_NONE;
}

PF_Err BaseFilter::ArbitraryCallback(PF_InData *, PF_OutData *, PF_ParamDef *[], PF_LayerDef *,
                                     void *)
{
    return PF_Err_NONE;
}

PF_Err BaseFilter::PrepareSmartRender(PF_InData *, PF_OutData *, PF_SmartRenderExtra *,
                                      RenderRecord *)
{
    return PF_Err_NONE;
}

PF_Err BaseFilter::SequenceRebuild(PF_InData *in_data, PF_OutData *out_data)
{
    return SequenceSetup(in_data, out_data);
}

PF_Err BaseFilter::Initialize(PF_InData *, PF_OutData *, PF_ParamDef *[], PF_LayerDef *)
{
    return PF_Err_NONE;
}

PF_Err BaseFilter::RenderWorlds(RenderRecord *)
{
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
}

}  // namespace filter
