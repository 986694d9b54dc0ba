#include "FakeEffect.h"

#include <algorithm>
#include <cstring>

namespace fake {

FakeEffect *FakeEffect::current_ = nullptr;

PF_Err Call::checkout(int index, A_long id, const PF_RenderRequest *request,
                      PF_CheckoutResult *result) const
{
    PF_RenderRequest all{};
    all.rect = PF_LRect{0, 0, 1 << 16, 1 << 16};
    PF_CheckoutResult ignored{};
    return preRender()->cb->checkout_layer(in->effect_ref, index, id, request ? request : &all,
                                           in->current_time, in->time_step, in->time_scale,
                                           result ? result : &ignored);
}

PF_EffectWorld *Call::pixels(A_long id) const
{
    PF_EffectWorld *w = nullptr;
    smartRender()->cb->checkout_layer_pixels(in->effect_ref, id, &w);
    return w;
}

PF_EffectWorld *Call::smartOutput() const
{
    PF_EffectWorld *w = nullptr;
    smartRender()->cb->checkout_output(in->effect_ref, &w);
    return w;
}

PF_ParamDef Def(const char *name, A_long id, PF_ParamType type)
{
    PF_ParamDef d{};
    std::strncpy(d.name, name, sizeof d.name - 1);
    d.uu.id = id;
    d.param_type = type;
    return d;
}

PF_Err FakeEffect::Entry(PF_Cmd cmd, PF_InData *in, PF_OutData *out, PF_ParamList params,
                         PF_LayerDef *output, void *extra)
{
    FakeEffect &fx = *current_;
    {
        std::lock_guard<std::mutex> lock(fx.calls_mutex_);
        fx.calls.push_back(cmd);
    }
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
    PF_ParamDef d = Def(name, id, PF_Param_SLIDER);
    d.u.sd.valid_min = d.u.sd.slider_min = lo;
    d.u.sd.valid_max = d.u.sd.slider_max = hi;
    d.u.sd.value = d.u.sd.dephault = dflt;
    return d;
}

PF_ParamDef FloatSlider(const char *name, A_long id, float lo, float hi, float dflt)
{
    PF_ParamDef d = Def(name, id, PF_Param_FLOAT_SLIDER);
    d.u.fs_d.valid_min = d.u.fs_d.slider_min = lo;
    d.u.fs_d.valid_max = d.u.fs_d.slider_max = hi;
    d.u.fs_d.value = d.u.fs_d.dephault = dflt;
    return d;
}

PF_ParamDef Popup(const char *name, A_long id, const char *items, A_short choices, A_short dflt)
{
    PF_ParamDef d = Def(name, id, PF_Param_POPUP);
    d.u.pd.num_choices = choices;
    d.u.pd.value = d.u.pd.dephault = dflt;
    d.u.pd.u.namesptr = items;
    return d;
}

PF_ParamDef Point(const char *name, A_long id, A_long x_percent, A_long y_percent)
{
    PF_ParamDef d = Def(name, id, PF_Param_POINT);
    d.u.td.x_value = d.u.td.x_dephault = x_percent << 16;
    d.u.td.y_value = d.u.td.y_dephault = y_percent << 16;
    return d;
}

PF_ParamDef Layer(const char *name, A_long id, A_long dflt)
{
    PF_ParamDef d = Def(name, id, PF_Param_LAYER);
    d.u.ld.dephault = dflt;
    return d;
}

PF_Err CheckoutInput(Call &c)
{
    PF_CheckoutResult in{};
    const PF_Err err = c.checkout(0, 0, &c.preRender()->input->output_request, &in);
    c.preRender()->output->result_rect = in.result_rect;
    c.preRender()->output->max_result_rect = in.max_result_rect;
    return err;
}

PF_Pixel8 &Px8(const PF_EffectWorld *w, A_long x, A_long y)
{
    return reinterpret_cast<PF_Pixel8 *>(reinterpret_cast<char *>(w->data) + y * w->rowbytes)[x];
}

::testing::AssertionResult FaultsAre(const host::Effect &effect,
                                     const std::vector<std::string> &parts)
{
    const std::vector<std::string> faults = effect.faults();
    bool all = faults.size() == parts.size();
    for (const std::string &part : parts) {
        all = all && std::any_of(faults.begin(), faults.end(), [&part](const std::string &f) {
                  return f.find(part) != std::string::npos;
              });
    }
    if (all) return ::testing::AssertionSuccess();
    ::testing::AssertionResult r = ::testing::AssertionFailure() << "faults:\n";
    for (const std::string &f : faults) r << f << "\n";
    return r << "wanted " << parts.size() << ", one for each part";
}

}  // namespace fake
