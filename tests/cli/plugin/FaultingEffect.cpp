// A plug-in for the tool's tests that breaks the host's rules: it passes
// every command on to the real effect and, after each frame the effect
// renders, checks in a parameter it never checked out, which the host counts
// as a protocol fault. The frames themselves are the real effect's.
#include <dlfcn.h>

#include "AESdk.h"

namespace {

PF_FilterProc RealEntry()
{
    static const PF_FilterProc entry = [] {
        void *library = ::dlopen(STIPPLEX_REAL_PLUGIN, RTLD_NOW | RTLD_LOCAL);
        return library == nullptr
                   ? nullptr
                   : reinterpret_cast<PF_FilterProc>(::dlsym(library, "EntryPointFunc"));
    }();
    return entry;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) PF_Err EntryPointFunc(
    PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[],
    PF_LayerDef *output, void *extra)
{
    const PF_FilterProc real = RealEntry();
    if (real == nullptr) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    const PF_Err err = real(cmd, in_data, out_data, params, output, extra);
    if (err == PF_Err_NONE && cmd == PF_Cmd_SMART_RENDER) {
        PF_ParamDef never{};
        PF_CHECKIN_PARAM(in_data, &never);
    }
    return err;
}
