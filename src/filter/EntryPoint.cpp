// The plug-in's only export: every host command arrives here.
#include "AEException.h"
#include "BaseFilter.h"
#include "ErrorConversion.h"
#include "SuiteSet.h"

#if defined(_WIN32)
#define STIPPLEX_EXPORT __declspec(dllexport)
#else
#define STIPPLEX_EXPORT __attribute__((visibility("default")))
#endif

namespace filter {
namespace {

// The one effect object of this load. It is created by the first command
// that passes the host check and ends after GLOBAL_SETDOWN; the created flag
// stays set, so it is never created twice within one load.
BaseFilter *g_effect = nullptr;
bool g_created = false;

PF_Err CreateEffect(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[],
                    PF_LayerDef *output)
{
    if (g_created) {
        return PF_Err_NONE;
    }
    // Set before Initialize runs: a failed creation is not retried.
    g_created = true;
    g_effect = ConstructEffectObject();
    return g_effect->Initialize(in_data, out_data, params, output);
}

}  // namespace
}  // namespace filter

extern "C" STIPPLEX_EXPORT PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData *in_data,
                                                 PF_OutData *out_data, PF_ParamDef *params[],
                                                 PF_LayerDef *output, void *extra)
{
    using namespace filter;
    if (!in_data || in_data->appl_id != kHostApplicationId) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    PF_Err result = PF_Err_NONE;
    try {
        // Every suite a handler acquires through this set is released when
        // the command ends, on every path.
        AEUtil::SuiteSet suites(in_data->pica_basicP);
        try {
            result = CreateEffect(in_data, out_data, params, output);
            if (result == PF_Err_NONE) {
                if (g_effect) {
                    result = g_effect->Dispatch(cmd, in_data, out_data, params, output, extra);
                } else {
                    // The object has ended (after GLOBAL_SETDOWN): nothing can
                    // answer any more.
                    result = PF_Err_INTERNAL_STRUCT_DAMAGED;
                }
            }
            if (cmd == PF_Cmd_GLOBAL_SETDOWN && g_effect) {
                BaseFilter *effect = g_effect;
                g_effect = nullptr;
                effect->~BaseFilter();
            }
        } catch (...) {
            if (cmd == PF_Cmd_GLOBAL_SETDOWN && g_effect) {
                BaseFilter *effect = g_effect;
                g_effect = nullptr;
                effect->~BaseFilter();
            }
            result = ConvertCurrentException(out_data);
        }
    } catch (...) {
        result = ConvertCurrentException(out_data);
    }
    return result;
}
