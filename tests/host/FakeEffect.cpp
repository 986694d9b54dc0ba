#include "FakeEffect.h"

#include <cstring>

namespace fake {
namespace {

FakeEffect *g_current = nullptr;

PF_ParamDef Named(const char *name, A_long id, PF_ParamType type)
{
    PF_ParamDef d{};
    std::strncpy(d.name, name, sizeof d.name - 1);
    d.uu.id = id;
    d.param_type = type;
    return d;
}

}  // namespace

FakeEffect::FakeEffect()
{
    g_current = this;
}
FakeEffect::~FakeEffect()
{
    g_current = nullptr;
}

host::Plugin FakeEffect::plugin() const
{
    return host::Plugin(&FakeEffect::Entry, "fake effect");
}

PF_Err FakeEffect::Entry(PF_Cmd cmd, PF_InData *in, PF_OutData *out, PF_ParamList params,
                         PF_LayerDef *output, void *extra)
{
    FakeEffect &fx = *g_current;
    fx.calls.push_back(cmd);
    Call call{cmd, in, out, params, output, extra};
    auto it = fx.handlers_.find(cmd);
    if (it != fx.handlers_.end()) return it->second(call);
    switch (cmd) {
        case PF_Cmd_GLOBAL_SETUP:
            out->my_version = PF_VERSION(1, 0, 0, PF_Stage_DEVELOP, 1);
            out->out_flags = fx.out_flags;
            out->out_flags2 = fx.out_flags2;
            return PF_Err_NONE;
        case PF_Cmd_PARAMS_SETUP:
            for (PF_ParamDef d : fx.defs) {
                if (PF_Err err = in->inter.add_param(in->effect_ref, -1, &d)) return err;
            }
            out->num_params = static_cast<A_long>(fx.defs.size()) + 1;
            return PF_Err_NONE;
        case PF_Cmd_SEQUENCE_SETDOWN:
            if (in->sequence_data) in->utils->host_dispose_handle(in->sequence_data);
            return PF_Err_NONE;
        default:
            return PF_Err_NONE;
    }
}

PF_ParamDef Slider(const char *name, A_long id, A_long lo, A_long hi, A_long dflt)
{
    PF_ParamDef d = Named(name, id, PF_Param_SLIDER);
    d.u.sd.valid_min = d.u.sd.slider_min = lo;
    d.u.sd.valid_max = d.u.sd.slider_max = hi;
    d.u.sd.value = d.u.sd.dephault = dflt;
    return d;
}

PF_ParamDef FloatSlider(const char *name, A_long id, float lo, float hi, float dflt)
{
    PF_ParamDef d = Named(name, id, PF_Param_FLOAT_SLIDER);
    d.u.fs_d.valid_min = d.u.fs_d.slider_min = lo;
    d.u.fs_d.valid_max = d.u.fs_d.slider_max = hi;
    d.u.fs_d.dephault = dflt;
    d.u.fs_d.value = dflt;
    return d;
}

PF_ParamDef Popup(const char *name, A_long id, const char *items, A_short choices, A_short dflt)
{
    PF_ParamDef d = Named(name, id, PF_Param_POPUP);
    d.u.pd.num_choices = choices;
    d.u.pd.dephault = dflt;
    d.u.pd.value = dflt;
    d.u.pd.u.namesptr = items;
    return d;
}

PF_ParamDef Checkbox(const char *name, A_long id, bool dflt)
{
    PF_ParamDef d = Named(name, id, PF_Param_CHECKBOX);
    d.u.bd.value = dflt;
    d.u.bd.dephault = dflt;
    d.u.bd.u.nameptr = "";
    return d;
}

PF_ParamDef Point(const char *name, A_long id, A_long x_percent, A_long y_percent)
{
    PF_ParamDef d = Named(name, id, PF_Param_POINT);
    d.u.td.x_value = d.u.td.x_dephault = x_percent << 16;
    d.u.td.y_value = d.u.td.y_dephault = y_percent << 16;
    return d;
}

PF_ParamDef Layer(const char *name, A_long id, A_long dflt)
{
    PF_ParamDef d = Named(name, id, PF_Param_LAYER);
    d.u.ld.dephault = dflt;
    return d;
}

PF_ParamDef Group(const char *name, A_long id)
{
    return Named(name, id, PF_Param_GROUP_START);
}
PF_ParamDef GroupEnd(A_long id)
{
    return Named("", id, PF_Param_GROUP_END);
}

bool HasFault(const std::vector<std::string> &faults, const std::string &part)
{
    for (const std::string &f : faults) {
        if (f.find(part) != std::string::npos) return true;
    }
    return false;
}

std::string Joined(const std::vector<std::string> &faults)
{
    std::string s;
    for (const std::string &f : faults) s += f + "\n";
    return s;
}

}  // namespace fake
