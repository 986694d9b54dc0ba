// Parameters: the definitions the effect adds at PARAMS_SETUP (checked the
// way the real host checks them, and copied, texts included, because the
// effect's own strings need not outlive the call), the values an instance
// holds, and how they are lent to and taken back from the effect.
#include "host/Params_p.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace host {

const char *ParamTypeName(PF_ParamType type)
{
    switch (type) {
        case PF_Param_LAYER:
            return "layer";
        case PF_Param_SLIDER:
            return "slider";
        case PF_Param_FIX_SLIDER:
            return "fixed slider";
        case PF_Param_ANGLE:
            return "angle";
        case PF_Param_CHECKBOX:
            return "checkbox";
        case PF_Param_COLOR:
            return "colour";
        case PF_Param_POINT:
            return "point";
        case PF_Param_POPUP:
            return "popup";
        case PF_Param_NO_DATA:
            return "no-data";
        case PF_Param_FLOAT_SLIDER:
            return "float slider";
        case PF_Param_ARBITRARY_DATA:
            return "arbitrary data";
        case PF_Param_PATH:
            return "path";
        case PF_Param_GROUP_START:
            return "group start";
        case PF_Param_GROUP_END:
            return "group end";
        case PF_Param_BUTTON:
            return "button";
        case PF_Param_POINT_3D:
            return "3D point";
        default:
            return "unknown type";
    }
}

namespace detail {
namespace {

bool KnownType(PF_ParamType type)
{
    switch (type) {
        case PF_Param_LAYER:
        case PF_Param_SLIDER:
        case PF_Param_FIX_SLIDER:
        case PF_Param_ANGLE:
        case PF_Param_CHECKBOX:
        case PF_Param_COLOR:
        case PF_Param_POINT:
        case PF_Param_POPUP:
        case PF_Param_NO_DATA:
        case PF_Param_FLOAT_SLIDER:
        case PF_Param_ARBITRARY_DATA:
        case PF_Param_PATH:
        case PF_Param_GROUP_START:
        case PF_Param_GROUP_END:
        case PF_Param_BUTTON:
        case PF_Param_POINT_3D:
            return true;
        default:
            return false;
    }
}

std::string Num(double v)
{
    if (!std::isfinite(v)) return std::isnan(v) ? "nan" : (v > 0 ? "inf" : "-inf");
    std::string s = std::to_string(v);
    s.erase(s.find_last_not_of('0') + 1);
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

std::string Fixed(PF_Fixed v)
{
    return Num(v / 65536.0);
}

std::string Label(const PF_ParamDef &def, int index)
{
    const char *end = static_cast<const char *>(std::memchr(def.name, 0, sizeof def.name));
    const std::string name(def.name, end ? end : def.name + sizeof def.name);
    return "\"" + name + "\" (index " + std::to_string(index) + ", " +
           ParamTypeName(def.param_type) + ")";
}

// Ranges of the slider kinds: valid range ordered and holding the slider
// range.
template <typename T>
std::string CheckRange(T valid_min, T valid_max, T slider_min, T slider_max, std::string (*show)(T))
{
    if (valid_min > valid_max)
        return "valid range " + show(valid_min) + ".." + show(valid_max) + " is reversed";
    if (slider_min > slider_max) {
        return "slider range " + show(slider_min) + ".." + show(slider_max) + " is reversed";
    }
    if (slider_min < valid_min || slider_max > valid_max) {
        return "slider range " + show(slider_min) + ".." + show(slider_max) +
               " is not inside the valid range " + show(valid_min) + ".." + show(valid_max);
    }
    return {};
}

// The default and the value of a slider kind inside the valid range; a value
// that is not a number is inside no range.
template <typename T>
std::string CheckDefault(T valid_min, T valid_max, T dephault, double value, std::string (*show)(T))
{
    if (!(dephault >= valid_min && dephault <= valid_max)) {
        return "default " + show(dephault) + " is outside the valid range " + show(valid_min) +
               ".." + show(valid_max);
    }
    if (!(value >= static_cast<double>(valid_min) && value <= static_cast<double>(valid_max))) {
        return "value " + Num(value) + " is outside the valid range " + show(valid_min) + ".." +
               show(valid_max);
    }
    return {};
}

std::string ShowLong(A_long v)
{
    return std::to_string(v);
}
std::string ShowFixed(PF_Fixed v)
{
    return Fixed(v);
}
std::string ShowFloat(PF_FpShort v)
{
    return Num(v);
}

std::size_t CountItems(const char *text)
{
    if (!text) return 0;
    std::size_t n = 1;
    for (const char *p = text; *p; ++p) n += (*p == '|');
    return n;
}

// Why a definition cannot be added, or empty.
std::string Reject(const PF_ParamDef &d, PF_Err *err)
{
    *err = PF_Err_BAD_CALLBACK_PARAM;
    if (!KnownType(d.param_type)) {
        *err = PF_Err_UNRECOGNIZED_PARAM_TYPE;
        return "parameter type " + std::to_string(d.param_type) + " is not one the host knows";
    }
    if (!std::memchr(d.name, 0, sizeof d.name)) return "the name is not terminated within 32 bytes";
    switch (d.param_type) {
        case PF_Param_SLIDER: {
            const PF_SliderDef &s = d.u.sd;
            return CheckRange<A_long>(s.valid_min, s.valid_max, s.slider_min, s.slider_max,
                                      ShowLong);
        }
        case PF_Param_FIX_SLIDER: {
            const PF_FixedSliderDef &s = d.u.fd;
            return CheckRange<PF_Fixed>(s.valid_min, s.valid_max, s.slider_min, s.slider_max,
                                        ShowFixed);
        }
        case PF_Param_FLOAT_SLIDER: {
            const PF_FloatSliderDef &s = d.u.fs_d;
            return CheckRange<PF_FpShort>(s.valid_min, s.valid_max, s.slider_min, s.slider_max,
                                          ShowFloat);
        }
        case PF_Param_POPUP: {
            const PF_PopupDef &p = d.u.pd;
            if (p.num_choices < 1) return "a popup needs at least one choice";
            if (!p.u.namesptr) return "a popup without item text";
            const std::size_t items = CountItems(p.u.namesptr);
            if (items < static_cast<std::size_t>(p.num_choices)) {
                return std::to_string(p.num_choices) + " choices but only " +
                       std::to_string(items) + " items in the text";
            }
            return {};
        }
        case PF_Param_LAYER:
            if (d.u.ld.dephault != PF_LayerDefault_MYSELF &&
                d.u.ld.dephault != PF_LayerDefault_NONE) {
                return "layer default " + std::to_string(d.u.ld.dephault) +
                       " is neither PF_LayerDefault_MYSELF nor PF_LayerDefault_NONE";
            }
            return {};
        default:
            return {};
    }
}

// Why the default or the value of an otherwise sound definition is unusable,
// or empty.
std::string BadDefault(const PF_ParamDef &d)
{
    switch (d.param_type) {
        case PF_Param_SLIDER: {
            const PF_SliderDef &s = d.u.sd;
            return CheckDefault<A_long>(s.valid_min, s.valid_max, s.dephault, s.value, ShowLong);
        }
        case PF_Param_FIX_SLIDER: {
            const PF_FixedSliderDef &s = d.u.fd;
            return CheckDefault<PF_Fixed>(s.valid_min, s.valid_max, s.dephault, s.value, ShowFixed);
        }
        case PF_Param_FLOAT_SLIDER: {
            const PF_FloatSliderDef &s = d.u.fs_d;
            return CheckDefault<PF_FpShort>(s.valid_min, s.valid_max, s.dephault, s.value,
                                            ShowFloat);
        }
        case PF_Param_POPUP: {
            const PF_PopupDef &p = d.u.pd;
            if (p.dephault < 1 || p.dephault > p.num_choices) {
                return "default choice " + std::to_string(p.dephault) + " is outside 1.." +
                       std::to_string(p.num_choices);
            }
            if (p.value < 1 || p.value > p.num_choices) {
                return "value " + std::to_string(p.value) + " is outside 1.." +
                       std::to_string(p.num_choices);
            }
            return {};
        }
        case PF_Param_CHECKBOX:
            if (d.u.bd.dephault != 0 && d.u.bd.dephault != 1) {
                return "checkbox default " + std::to_string(d.u.bd.dephault) + " is not 0 or 1";
            }
            if (d.u.bd.value != 0 && d.u.bd.value != 1) {
                return "checkbox value " + std::to_string(d.u.bd.value) + " is not 0 or 1";
            }
            return {};
        default:
            return {};
    }
}

// The default and value of `from` in `to`, for the kinds BadDefault checks.
void CopyDefault(PF_ParamDef &to, const PF_ParamDef &from)
{
    switch (to.param_type) {
        case PF_Param_SLIDER:
            to.u.sd.value = from.u.sd.value;
            to.u.sd.dephault = from.u.sd.dephault;
            break;
        case PF_Param_FIX_SLIDER:
            to.u.fd.value = from.u.fd.value;
            to.u.fd.dephault = from.u.fd.dephault;
            break;
        case PF_Param_FLOAT_SLIDER:
            to.u.fs_d.value = from.u.fs_d.value;
            to.u.fs_d.dephault = from.u.fs_d.dephault;
            break;
        case PF_Param_POPUP:
            to.u.pd.value = from.u.pd.value;
            to.u.pd.dephault = from.u.pd.dephault;
            break;
        case PF_Param_CHECKBOX:
            to.u.bd.value = from.u.bd.value;
            to.u.bd.dephault = from.u.bd.dephault;
            break;
        default:
            break;
    }
}

// A fallback definition for the one at `index`: of the same type and id,
// with a usable default of its own; null when there is none. Only its
// values are taken (its text pointers need not be valid any more).
const PF_ParamDef *FallbackFor(const HostOptions &options, int index, const PF_ParamDef &def)
{
    const auto &fallbacks = options.fallback_definitions;
    if (index < 0 || static_cast<std::size_t>(index) >= fallbacks.size()) return nullptr;
    const PF_ParamDef &f = fallbacks[static_cast<std::size_t>(index)];
    if (f.param_type != def.param_type || f.uu.id != def.uu.id) return nullptr;
    if (!BadDefault(f).empty()) return nullptr;
    // The fallback's default must also fit the added definition's range.
    PF_ParamDef merged = def;
    CopyDefault(merged, f);
    if (!BadDefault(merged).empty()) return nullptr;
    return &f;
}

bool SameValue(const PF_ParamDef &a, const PF_ParamDef &b)
{
    switch (a.param_type) {
        case PF_Param_SLIDER:
            return a.u.sd.value == b.u.sd.value;
        case PF_Param_FIX_SLIDER:
            return a.u.fd.value == b.u.fd.value;
        case PF_Param_FLOAT_SLIDER:
            return std::memcmp(&a.u.fs_d.value, &b.u.fs_d.value, sizeof(double)) == 0;
        case PF_Param_ANGLE:
            return a.u.ad.value == b.u.ad.value;
        case PF_Param_CHECKBOX:
            return a.u.bd.value == b.u.bd.value;
        case PF_Param_COLOR:
            return std::memcmp(&a.u.cd.value, &b.u.cd.value, sizeof(PF_Pixel)) == 0;
        case PF_Param_POINT:
            return a.u.td.x_value == b.u.td.x_value && a.u.td.y_value == b.u.td.y_value;
        case PF_Param_POPUP:
            return a.u.pd.value == b.u.pd.value;
        case PF_Param_BUTTON:
            return a.u.button_d.value == b.u.button_d.value;
        case PF_Param_POINT_3D:
            return a.u.point3d_d.x_value == b.u.point3d_d.x_value &&
                   a.u.point3d_d.y_value == b.u.point3d_d.y_value &&
                   a.u.point3d_d.z_value == b.u.point3d_d.z_value;
        default:
            return true;
    }
}

void StoreValue(PF_ParamDef &to, const PF_ParamDef &from)
{
    switch (to.param_type) {
        case PF_Param_SLIDER:
            to.u.sd.value = from.u.sd.value;
            break;
        case PF_Param_FIX_SLIDER:
            to.u.fd.value = from.u.fd.value;
            break;
        case PF_Param_FLOAT_SLIDER:
            to.u.fs_d.value = from.u.fs_d.value;
            break;
        case PF_Param_ANGLE:
            to.u.ad.value = from.u.ad.value;
            break;
        case PF_Param_CHECKBOX:
            to.u.bd.value = from.u.bd.value;
            break;
        case PF_Param_COLOR:
            to.u.cd.value = from.u.cd.value;
            break;
        case PF_Param_POINT:
            to.u.td.x_value = from.u.td.x_value;
            to.u.td.y_value = from.u.td.y_value;
            break;
        case PF_Param_POPUP:
            to.u.pd.value = from.u.pd.value;
            break;
        case PF_Param_BUTTON:
            to.u.button_d.value = from.u.button_d.value;
            break;
        case PF_Param_POINT_3D:
            to.u.point3d_d.x_value = from.u.point3d_d.x_value;
            to.u.point3d_d.y_value = from.u.point3d_d.y_value;
            to.u.point3d_d.z_value = from.u.point3d_d.z_value;
            break;
        default:
            break;
    }
}

// Why a value is outside its definition's valid range, or empty.
std::string OutOfRange(const PF_ParamDef &def)
{
    switch (def.param_type) {
        case PF_Param_SLIDER:
            if (def.u.sd.value < def.u.sd.valid_min || def.u.sd.value > def.u.sd.valid_max) {
                return std::to_string(def.u.sd.value) + " is outside " +
                       std::to_string(def.u.sd.valid_min) + ".." +
                       std::to_string(def.u.sd.valid_max);
            }
            break;
        case PF_Param_FIX_SLIDER:
            if (def.u.fd.value < def.u.fd.valid_min || def.u.fd.value > def.u.fd.valid_max) {
                return Fixed(def.u.fd.value) + " is outside " + Fixed(def.u.fd.valid_min) + ".." +
                       Fixed(def.u.fd.valid_max);
            }
            break;
        case PF_Param_FLOAT_SLIDER:
            if (!(def.u.fs_d.value >= def.u.fs_d.valid_min &&
                  def.u.fs_d.value <= def.u.fs_d.valid_max)) {
                return Num(def.u.fs_d.value) + " is outside " + Num(def.u.fs_d.valid_min) + ".." +
                       Num(def.u.fs_d.valid_max);
            }
            break;
        case PF_Param_POPUP:
            if (def.u.pd.value < 1 || def.u.pd.value > def.u.pd.num_choices) {
                return "choice " + std::to_string(def.u.pd.value) + " is outside 1.." +
                       std::to_string(def.u.pd.num_choices);
            }
            break;
        case PF_Param_CHECKBOX:
            if (def.u.bd.value != 0 && def.u.bd.value != 1) {
                return std::to_string(def.u.bd.value) + " is not 0 or 1";
            }
            break;
        default:
            break;
    }
    return {};
}

PF_Fixed Scale(PF_Fixed v, A_long n)
{
    return static_cast<PF_Fixed>(std::llround(static_cast<double>(v) / n));
}

bool RenderCommand(PF_Cmd cmd)
{
    return cmd == PF_Cmd_SMART_PRE_RENDER || cmd == PF_Cmd_SMART_RENDER || cmd == PF_Cmd_RENDER;
}

bool MayChangeValues(PF_Cmd cmd)
{
    return cmd == PF_Cmd_USER_CHANGED_PARAM || cmd == PF_Cmd_DO_DIALOG || cmd == PF_Cmd_EVENT;
}

std::string Hex(A_long v)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    auto u = static_cast<A_u_long>(v);
    do {
        s.insert(s.begin(), digits[u & 0xF]);
        u >>= 4;
    } while (u);
    return "0x" + s;
}

}  // namespace

// ---------------------------------------------------------------- definitions

ParamInfo InputLayerInfo()
{
    ParamInfo info;
    info.index = 0;
    info.id = 0;
    info.type = PF_Param_LAYER;
    info.def.param_type = PF_Param_LAYER;
    info.def.u.ld.dephault = PF_LayerDefault_MYSELF;
    return info;
}

PF_Err CbAddParam(PF_ProgPtr ref, PF_ParamIndex index, PF_ParamDefPtr def)
{
    CommandContext *ctx = ContextFor(ref, "add_param");
    if (!ctx) return PF_Err_BAD_CALLBACK_PARAM;
    EffectCore &core = ctx->core;
    if (ctx->cmd != PF_Cmd_PARAMS_SETUP) {
        ctx->fault("add_param outside PARAMS_SETUP");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (!def) {
        ctx->fault("add_param without a definition");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    std::lock_guard<std::mutex> lock(ctx->mutex);
    const int next = static_cast<int>(core.params.size());
    if (index != -1 && index != next) {
        ctx->fault("add_param of " + Label(*def, next) + " at index " + std::to_string(index) +
                   "; parameters are added at the end (-1)");
        return PF_Err_INVALID_INDEX;
    }
    PF_Err err;
    std::string why = Reject(*def, &err);
    if (why.empty() && def->uu.id != 0) {
        for (const ParamInfo &p : core.params) {
            if (p.id == def->uu.id) {
                why = "id " + std::to_string(def->uu.id) + " is already used by index " +
                      std::to_string(p.index);
                err = PF_Err_BAD_CALLBACK_PARAM;
            }
        }
    }
    if (why.empty() && def->param_type == PF_Param_GROUP_END && ctx->group_depth == 0) {
        why = "a group end without an open group";
        err = PF_Err_BAD_CALLBACK_PARAM;
    }
    // An unusable default or value (typically one the effect read from its
    // own stored settings) is replaced by the fallback definition's, when
    // the caller gave one; without it the definition is refused.
    std::string replaced;
    const PF_ParamDef *fallback = nullptr;
    if (why.empty()) {
        replaced = BadDefault(*def);
        if (!replaced.empty()) {
            fallback = FallbackFor(core.options, next, *def);
            if (!fallback) {
                why = replaced;
                err = PF_Err_BAD_CALLBACK_PARAM;
            }
        }
    }
    if (!why.empty()) {
        ctx->fault("add_param of " + Label(*def, next) + " rejected: " + why);
        return err;
    }
    if (def->param_type == PF_Param_GROUP_START) ++ctx->group_depth;
    if (def->param_type == PF_Param_GROUP_END) --ctx->group_depth;

    ParamInfo info;
    info.index = next;
    info.id = def->uu.id;
    info.type = def->param_type;
    info.name.assign(def->name, strnlen(def->name, sizeof def->name));
    info.def = *def;
    if (fallback) {
        CopyDefault(info.def, *fallback);
        info.replaced_default = replaced;
    }
    // The effect's texts may live only during this call: keep copies, and
    // point the kept definition at them.
    if (def->param_type == PF_Param_POPUP) {
        core.texts.emplace_back(def->u.pd.u.namesptr);
        info.popup_text = core.texts.back();
        info.def.u.pd.u.namesptr = core.texts.back().c_str();
        std::size_t start = 0;
        for (;;) {
            const std::size_t bar = info.popup_text.find('|', start);
            info.popup_items.push_back(info.popup_text.substr(start, bar - start));
            if (bar == std::string::npos) break;
            start = bar + 1;
        }
    } else if (def->param_type == PF_Param_CHECKBOX) {
        core.texts.emplace_back(def->u.bd.u.nameptr ? def->u.bd.u.nameptr : "");
        info.checkbox_label = core.texts.back();
        info.def.u.bd.u.nameptr = core.texts.back().c_str();
    } else if (def->param_type == PF_Param_BUTTON) {
        core.texts.emplace_back(def->u.button_d.u.namesptr ? def->u.button_d.u.namesptr : "");
        info.def.u.button_d.u.namesptr = core.texts.back().c_str();
    }
    core.params.push_back(std::move(info));
    return PF_Err_NONE;
}

void CheckParamsSetup(CommandContext &ctx)
{
    EffectCore &core = ctx.core;
    if (ctx.group_depth > 0) {
        ctx.fault(std::to_string(ctx.group_depth) + " parameter group(s) left open");
    }
    core.num_params_reported = ctx.out_data.num_params;
    const auto added = static_cast<A_long>(core.params.size());
    if (ctx.out_data.num_params != added) {
        ctx.fault("out_data->num_params is " + std::to_string(ctx.out_data.num_params) + " but " +
                  std::to_string(added) + " parameters exist (the input layer and " +
                  std::to_string(added - 1) + " added)");
    }
}

// ---------------------------------------------------------------- values

void InitialValues(const EffectCore &core, InstanceState &inst)
{
    inst.values.clear();
    inst.layers.clear();
    for (const ParamInfo &p : core.params) {
        PF_ParamDef v = p.def;
        LayerChoice choice;
        if (p.type == PF_Param_POINT) {
            // Point defaults are percentages of the layer size.
            v.u.td.x_value = static_cast<PF_Fixed>(std::llround(
                static_cast<double>(p.def.u.td.x_dephault) * inst.layer_width / 100.0));
            v.u.td.y_value = static_cast<PF_Fixed>(std::llround(
                static_cast<double>(p.def.u.td.y_dephault) * inst.layer_height / 100.0));
        } else if (p.type == PF_Param_LAYER) {
            choice = p.def.u.ld.dephault == PF_LayerDefault_MYSELF ? LayerChoice::ThisLayer()
                                                                   : LayerChoice::None();
            const A_long dephault = p.def.u.ld.dephault;
            v.u.ld = PF_LayerDef{};
            v.u.ld.dephault = dephault;
        }
        inst.values.push_back(v);
        inst.layers.push_back(choice);
    }
}

PF_ParamDef LentDefinition(const InstanceState &inst, int index, const FrameState *frame,
                           PF_Cmd cmd)
{
    PF_ParamDef def = inst.values[static_cast<std::size_t>(index)];
    if (def.param_type == PF_Param_LAYER) {
        // Pixels come with the definition only in the legacy render; smart
        // renders check layers out through their own callbacks.
        const A_long dephault = def.u.ld.dephault;
        def.u.ld = PF_LayerDef{};
        if (frame && cmd == PF_Cmd_RENDER) {
            if (const LayerImage *img = frame->imageFor(inst, index)) def.u.ld = *img->world().pf();
        }
        def.u.ld.dephault = dephault;
    } else if (def.param_type == PF_Param_POINT && frame && RenderCommand(cmd)) {
        // While rendering, points are in the downsampled layer's pixels.
        def.u.td.x_value = Scale(def.u.td.x_value, frame->request->downsample_x);
        def.u.td.y_value = Scale(def.u.td.y_value, frame->request->downsample_y);
    }
    return def;
}

void TakeParamChanges(CommandContext &ctx, CommandResult &result)
{
    if (!ctx.params_lent || !ctx.instance) return;
    InstanceState &inst = *ctx.instance;
    std::lock_guard<std::mutex> lock(inst.mutex);
    for (std::size_t i = 1; i < ctx.lent.size(); ++i) {
        const PF_ParamDef &now = ctx.lent[i];
        const PF_ParamDef &before = ctx.lent_as[i];
        const std::string label = Label(before, static_cast<int>(i));
        if (now.ui_flags != before.ui_flags) {
            ctx.fault("params[" + std::to_string(i) + "] " + label +
                      ": ui_flags written in the params array, which the host ignores " +
                      "(PF_UpdateParamUI changes them)");
        }
        const bool flagged = (now.uu.change_flags & PF_ChangeFlag_CHANGED_VALUE) != 0;
        if (!flagged) {
            if (!SameValue(now, before)) {
                ctx.fault("params[" + std::to_string(i) + "] " + label +
                          ": value changed without PF_ChangeFlag_CHANGED_VALUE; the host " +
                          "ignores it");
            }
            continue;
        }
        if (!MayChangeValues(ctx.cmd)) {
            ctx.fault("params[" + std::to_string(i) + "] " + label +
                      ": PF_ChangeFlag_CHANGED_VALUE set, but the host takes no values during " +
                      ctx.name());
            continue;
        }
        PF_ParamDef taken = inst.values[i];
        StoreValue(taken, now);
        const std::string bad = OutOfRange(taken);
        if (!bad.empty()) {
            ctx.fault("params[" + std::to_string(i) + "] " + label + ": new value " + bad +
                      "; the host keeps the old one");
            continue;
        }
        inst.values[i] = taken;
        result.changed_params.push_back(static_cast<int>(i));
    }
}

// ---------------------------------------------------------------- checkout

PF_Err CbCheckoutParam(PF_ProgPtr ref, PF_ParamIndex index, A_long what_time, A_long time_step,
                       A_u_long time_scale, PF_ParamDef *param)
{
    CommandContext *ctx = ContextFor(ref, "checkout_param");
    if (!ctx) return PF_Err_BAD_CALLBACK_PARAM;
    if (!param) {
        ctx->fault("checkout_param without a definition to fill");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (!ctx->instance) {
        ctx->fault(std::string("checkout_param during ") + ctx->name() +
                   ", which has no parameter values");
        std::memset(param, 0, sizeof *param);
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    InstanceState &inst = *ctx->instance;
    PF_ParamDef def;
    {
        std::lock_guard<std::mutex> lock(inst.mutex);
        if (index < 0 || index >= static_cast<A_long>(inst.values.size())) {
            ctx->fault("checkout_param of index " + std::to_string(index) + "; there are " +
                       std::to_string(inst.values.size()) + " parameters");
            std::memset(param, 0, sizeof *param);
            return PF_Err_INVALID_INDEX;
        }
        def = LentDefinition(inst, index, ctx->frame, ctx->cmd);
        def.uu.id = ctx->core.params[static_cast<std::size_t>(index)].id;
    }
    *param = def;
    std::lock_guard<std::mutex> lock(ctx->mutex);
    for (const auto &out : ctx->params_out) {
        if (out.where == param) {
            ctx->fault("checkout_param of index " + std::to_string(index) +
                       " into a definition that still holds a checkout of index " +
                       std::to_string(out.index));
        }
    }
    ctx->params_out.push_back({param, def, static_cast<int>(index)});
    if (ctx->frame) {
        ctx->frame->param_checkouts.push_back(
            {ctx->cmd, static_cast<int>(index), what_time, time_step, time_scale});
    }
    return PF_Err_NONE;
}

PF_Err CbCheckinParam(PF_ProgPtr ref, PF_ParamDef *param)
{
    CommandContext *ctx = ContextFor(ref, "checkin_param");
    if (!ctx) return PF_Err_BAD_CALLBACK_PARAM;
    if (!param) {
        ctx->fault("checkin_param without a definition");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    std::lock_guard<std::mutex> lock(ctx->mutex);
    auto &out = ctx->params_out;
    // The definition the checkout filled, or an untouched copy of it.
    auto it = std::find_if(
        out.rbegin(), out.rend(),
        [param](const CommandContext::OutstandingParam &o) { return o.where == param; });
    if (it == out.rend()) {
        it = std::find_if(out.rbegin(), out.rend(),
                          [param](const CommandContext::OutstandingParam &o) {
                              return std::memcmp(&o.copy, param, sizeof *param) == 0;
                          });
    }
    if (it != out.rend()) {
        out.erase(std::next(it).base());
        return PF_Err_NONE;
    }
    ++ctx->unmatched_checkins;
    if (ctx->core.options.checkin_without_checkout_is_fault) {
        ctx->fault("checkin_param of " + Label(*param, -1) + ", which is not checked out");
    }
    return PF_Err_NONE;
}

// ---------------------------------------------------------------- Param Utils Suite

PF_Err CbUpdateParamUI(PF_ProgPtr ref, PF_ParamIndex index, const PF_ParamDef *def)
{
    CommandContext *ctx = ContextFor(ref, "PF_UpdateParamUI");
    if (!ctx) return PF_Err_BAD_CALLBACK_PARAM;
    if (!ctx->instance || RenderCommand(ctx->cmd)) {
        ctx->fault(std::string("PF_UpdateParamUI during ") + ctx->name() +
                   ", when the host changes no controls");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (!def) {
        ctx->fault("PF_UpdateParamUI without a definition");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    InstanceState &inst = *ctx->instance;
    std::lock_guard<std::mutex> lock(inst.mutex);
    if (index < 1 || index >= static_cast<A_long>(inst.values.size())) {
        ctx->fault("PF_UpdateParamUI of index " + std::to_string(index));
        return PF_Err_INVALID_INDEX;
    }
    const auto i = static_cast<std::size_t>(index);
    PF_ParamDef &cur = inst.values[i];
    const std::string label = Label(cur, index);
    if (ctx->params_lent && i < ctx->lent_ptrs.size() && def == ctx->lent_ptrs[i]) {
        ctx->fault("PF_UpdateParamUI of " + label +
                   " with the params array's own entry; the host wants a copy");
    }
    if (def->param_type != cur.param_type) {
        ctx->fault("PF_UpdateParamUI of " + label + " with a definition of type " +
                   std::to_string(def->param_type));
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const A_long ui_allowed = PF_PUI_ECW_SEPARATOR | PF_PUI_DISABLED | PF_PUI_INVISIBLE;
    if ((def->ui_flags ^ cur.ui_flags) & ~ui_allowed) {
        ctx->fault("PF_UpdateParamUI of " + label + " changes ui_flags " +
                   Hex((def->ui_flags ^ cur.ui_flags) & ~ui_allowed) +
                   ", which the host ignores (only separator, disabled and invisible)");
    }
    if ((def->flags ^ cur.flags) & ~PF_ParamFlag_COLLAPSE_TWIRLY) {
        ctx->fault("PF_UpdateParamUI of " + label + " changes flags " +
                   Hex((def->flags ^ cur.flags) & ~PF_ParamFlag_COLLAPSE_TWIRLY) +
                   ", which the host ignores");
    }
    cur.ui_flags = (cur.ui_flags & ~ui_allowed) | (def->ui_flags & ui_allowed);
    cur.ui_width = def->ui_width;
    cur.ui_height = def->ui_height;
    if (std::memchr(def->name, 0, sizeof def->name))
        std::memcpy(cur.name, def->name, sizeof cur.name);
    cur.flags =
        (cur.flags & ~PF_ParamFlag_COLLAPSE_TWIRLY) | (def->flags & PF_ParamFlag_COLLAPSE_TWIRLY);
    switch (cur.param_type) {
        case PF_Param_SLIDER:
            cur.u.sd.slider_min = def->u.sd.slider_min;
            cur.u.sd.slider_max = def->u.sd.slider_max;
            break;
        case PF_Param_FIX_SLIDER:
            cur.u.fd.slider_min = def->u.fd.slider_min;
            cur.u.fd.slider_max = def->u.fd.slider_max;
            cur.u.fd.precision = def->u.fd.precision;
            cur.u.fd.display_flags = def->u.fd.display_flags;
            break;
        case PF_Param_FLOAT_SLIDER:
            cur.u.fs_d.slider_min = def->u.fs_d.slider_min;
            cur.u.fs_d.slider_max = def->u.fs_d.slider_max;
            cur.u.fs_d.precision = def->u.fs_d.precision;
            cur.u.fs_d.display_flags = def->u.fs_d.display_flags;
            break;
        default:
            break;
    }
    inst.ui_updates.push_back({ctx->cmd, index, cur.ui_flags});
    return PF_Err_NONE;
}

namespace {

// The parameters of an instance during a command of a suite call.
InstanceState *InstanceFor(PF_ProgPtr ref, const char *service, PF_ParamIndex index,
                           bool any_index_ok, PF_Err *err)
{
    CommandContext *ctx = ContextFor(ref, service);
    *err = PF_Err_BAD_CALLBACK_PARAM;
    if (!ctx) return nullptr;
    if (!ctx->instance) {
        ctx->fault(std::string(service) + " during " + ctx->name() +
                   ", which has no parameter values");
        return nullptr;
    }
    const auto n = static_cast<A_long>(ctx->instance->values.size());
    if (!any_index_ok && (index < 0 || index >= n)) {
        ctx->fault(std::string(service) + " of index " + std::to_string(index));
        *err = PF_Err_INVALID_INDEX;
        return nullptr;
    }
    *err = PF_Err_NONE;
    return ctx->instance;
}

std::uint32_t Mix(std::uint32_t h, const void *data, std::size_t n)
{
    const auto *p = static_cast<const unsigned char *>(data);
    for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
    return h;
}

std::uint32_t ValueHash(const PF_ParamDef &d, std::uint32_t h)
{
    PF_ParamDef blank{};
    blank.param_type = d.param_type;
    StoreValue(blank, d);
    return Mix(h, &blank.u, sizeof blank.u);
}

}  // namespace

// Parameters hold one value over all time here (no keyframes), so a state is
// a digest of the current values.
PF_Err CbGetCurrentState(PF_ProgPtr ref, PF_ParamIndex index, const A_Time *, const A_Time *,
                         PF_State *state)
{
    PF_Err err;
    const bool all = index < 0;
    InstanceState *inst = InstanceFor(ref, "PF_GetCurrentState", index, all, &err);
    if (!inst) return err;
    if (!state) return PF_Err_BAD_CALLBACK_PARAM;
    std::lock_guard<std::mutex> lock(inst->mutex);
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < inst->values.size(); ++i) {
        if (all || static_cast<A_long>(i) == index) h = ValueHash(inst->values[i], h);
        if (all) h = Mix(h, &inst->layers[i], sizeof(LayerChoice));
    }
    *state = PF_State{};
    state->reservedAL[0] = static_cast<A_long>(h);
    state->reservedAL[1] = index;
    return PF_Err_NONE;
}

PF_Err CbAreStatesIdentical(PF_ProgPtr ref, const PF_State *a, const PF_State *b, A_Boolean *same)
{
    if (!ContextFor(ref, "PF_AreStatesIdentical")) return PF_Err_BAD_CALLBACK_PARAM;
    if (!a || !b || !same) return PF_Err_BAD_CALLBACK_PARAM;
    *same = std::memcmp(a, b, sizeof *a) == 0;
    return PF_Err_NONE;
}

PF_Err CbIsIdenticalCheckout(PF_ProgPtr ref, PF_ParamIndex index, A_long, A_long, A_u_long, A_long,
                             A_long, A_u_long, PF_Boolean *identical)
{
    PF_Err err;
    if (!InstanceFor(ref, "PF_IsIdenticalCheckout", index, false, &err)) return err;
    if (!identical) return PF_Err_BAD_CALLBACK_PARAM;
    *identical = 1;
    return PF_Err_NONE;
}

PF_Err CbFindKeyframeTime(PF_ProgPtr ref, PF_ParamIndex index, A_long, A_u_long, PF_TimeDir,
                          PF_Boolean *found, PF_KeyIndex *key_index, A_long *, A_u_long *)
{
    PF_Err err;
    if (!InstanceFor(ref, "PF_FindKeyframeTime", index, false, &err)) return err;
    if (!found) return PF_Err_BAD_CALLBACK_PARAM;
    *found = 0;
    if (key_index) *key_index = PF_KeyIndex_NONE;
    return PF_Err_NONE;
}

PF_Err CbGetKeyframeCount(PF_ProgPtr ref, PF_ParamIndex index, PF_KeyIndex *count)
{
    PF_Err err;
    if (!InstanceFor(ref, "PF_GetKeyframeCount", index, false, &err)) return err;
    if (!count) return PF_Err_BAD_CALLBACK_PARAM;
    *count = 0;
    return PF_Err_NONE;
}

PF_Err CbCheckoutKeyframe(PF_ProgPtr ref, PF_ParamIndex index, PF_KeyIndex, A_long *, A_u_long *,
                          PF_ParamDef *)
{
    PF_Err err;
    if (!InstanceFor(ref, "PF_CheckoutKeyframe", index, false, &err)) return err;
    return PF_Err_BAD_CALLBACK_PARAM;  // there are no keyframes to check out
}

PF_Err CbCheckinKeyframe(PF_ProgPtr ref, PF_ParamDef *)
{
    if (CommandContext *ctx = ContextFor(ref, "PF_CheckinKeyframe")) {
        ctx->fault("PF_CheckinKeyframe without a keyframe checked out");
    }
    return PF_Err_BAD_CALLBACK_PARAM;
}

PF_Err CbKeyIndexToTime(PF_ProgPtr ref, PF_ParamIndex index, PF_KeyIndex, A_long *, A_u_long *)
{
    PF_Err err;
    if (!InstanceFor(ref, "PF_KeyIndexToTime", index, false, &err)) return err;
    return PF_Err_BAD_CALLBACK_PARAM;
}

PF_Err CbGetCurrentStateObsolete(PF_ProgPtr ref, PF_State *)
{
    if (CommandContext *ctx = ContextFor(ref, "PF_GetCurrentStateObsolete")) {
        ctx->fault("PF_GetCurrentStateObsolete is not supported by this host");
    }
    return PF_Err_INVALID_CALLBACK;
}

PF_Err CbHasParamChangedObsolete(PF_ProgPtr ref, const PF_State *, PF_ParamIndex, PF_Boolean *)
{
    if (CommandContext *ctx = ContextFor(ref, "PF_HasParamChangedObsolete")) {
        ctx->fault("PF_HasParamChangedObsolete is not supported by this host");
    }
    return PF_Err_INVALID_CALLBACK;
}

PF_Err CbHaveInputsChangedObsolete(PF_ProgPtr ref, const PF_State *, const A_Time *, const A_Time *,
                                   PF_Boolean *)
{
    if (CommandContext *ctx = ContextFor(ref, "PF_HaveInputsChangedOverTimeSpanObsolete")) {
        ctx->fault("PF_HaveInputsChangedOverTimeSpanObsolete is not supported by this host");
    }
    return PF_Err_INVALID_CALLBACK;
}

}  // namespace detail

// ---------------------------------------------------------------- Instance values

namespace {

using detail::InstanceState;

PF_ParamDef &Slot(InstanceState &s, int index, PF_ParamType want, const char *what)
{
    s.requireOpen();
    s.requireIndex(index);
    PF_ParamDef &def = s.values[static_cast<std::size_t>(index)];
    if (def.param_type != want) {
        throw HostError("parameter " + std::to_string(index) + " is a " +
                        ParamTypeName(def.param_type) + ", not a " + what);
    }
    return def;
}

void Check(bool ok, int index, const std::string &what)
{
    if (!ok) throw HostError("parameter " + std::to_string(index) + ": " + what);
}

}  // namespace

void Instance::setSlider(int index, A_long value)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    PF_ParamDef &d = Slot(*state_, index, PF_Param_SLIDER, "slider");
    Check(value >= d.u.sd.valid_min && value <= d.u.sd.valid_max, index,
          std::to_string(value) + " is outside " + std::to_string(d.u.sd.valid_min) + ".." +
              std::to_string(d.u.sd.valid_max));
    d.u.sd.value = value;
}

void Instance::setFixedSlider(int index, PF_Fixed value)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    PF_ParamDef &d = Slot(*state_, index, PF_Param_FIX_SLIDER, "fixed slider");
    Check(value >= d.u.fd.valid_min && value <= d.u.fd.valid_max, index,
          detail::Fixed(value) + " is outside " + detail::Fixed(d.u.fd.valid_min) + ".." +
              detail::Fixed(d.u.fd.valid_max));
    d.u.fd.value = value;
}

void Instance::setFloatSlider(int index, double value)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    PF_ParamDef &d = Slot(*state_, index, PF_Param_FLOAT_SLIDER, "float slider");
    Check(value >= d.u.fs_d.valid_min && value <= d.u.fs_d.valid_max, index,
          detail::Num(value) + " is outside " + detail::Num(d.u.fs_d.valid_min) + ".." +
              detail::Num(d.u.fs_d.valid_max));
    d.u.fs_d.value = value;
}

void Instance::setAngle(int index, PF_Fixed degrees)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    Slot(*state_, index, PF_Param_ANGLE, "angle").u.ad.value = degrees;
}

void Instance::setCheckbox(int index, bool value)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    Slot(*state_, index, PF_Param_CHECKBOX, "checkbox").u.bd.value = value ? 1 : 0;
}

void Instance::setPopup(int index, A_long choice)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    PF_ParamDef &d = Slot(*state_, index, PF_Param_POPUP, "popup");
    Check(choice >= 1 && choice <= d.u.pd.num_choices, index,
          "choice " + std::to_string(choice) + " is outside 1.." +
              std::to_string(d.u.pd.num_choices));
    d.u.pd.value = choice;
}

void Instance::setColor(int index, PF_Pixel color)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    Slot(*state_, index, PF_Param_COLOR, "colour").u.cd.value = color;
}

void Instance::setPoint(int index, PF_Fixed x, PF_Fixed y)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    PF_ParamDef &d = Slot(*state_, index, PF_Param_POINT, "point");
    d.u.td.x_value = x;
    d.u.td.y_value = y;
}

void Instance::setPoint3D(int index, double x, double y, double z)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    PF_ParamDef &d = Slot(*state_, index, PF_Param_POINT_3D, "3D point");
    d.u.point3d_d.x_value = x;
    d.u.point3d_d.y_value = y;
    d.u.point3d_d.z_value = z;
}

void Instance::setLayer(int index, LayerChoice choice)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    Slot(*state_, index, PF_Param_LAYER, "layer");
    Check(index != 0, index, "the input layer cannot be chosen");
    Check(choice.kind != LayerChoice::kLayer || choice.layer_id != 0, index,
          "layer id 0 names no layer");
    state_->layers[static_cast<std::size_t>(index)] = choice;
}

void Instance::setRaw(int index, const PF_ParamDef &def)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->requireOpen();
    state_->requireIndex(index);
    PF_ParamDef &d = state_->values[static_cast<std::size_t>(index)];
    Check(def.param_type == d.param_type, index, "setRaw with a definition of another type");
    detail::StoreValue(d, def);
}

const PF_ParamDef &Instance::param(int index) const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->requireIndex(index);
    return state_->values[static_cast<std::size_t>(index)];
}

LayerChoice Instance::layer(int index) const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->requireIndex(index);
    return state_->layers[static_cast<std::size_t>(index)];
}

}  // namespace host
