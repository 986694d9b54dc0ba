#include "BaseParam.h"

#include <cstring>

#include "ParamRegistry.h"
#include "StoredDefaults.h"

namespace params {

PF_ParamDef MakeParamTemplate(ParamTemplate kind)
{
    PF_ParamDef def;
    std::memset(&def, 0, sizeof def);
    def.flags = PF_ParamFlag_START_COLLAPSED;
    switch (kind) {
        case ParamTemplate::Plain:
            break;
        case ParamTemplate::Supervised:
            def.flags |= PF_ParamFlag_SUPERVISE;
            break;
        case ParamTemplate::Hold:
            def.flags |= PF_ParamFlag_CANNOT_INTERP;
            break;
    }
    return def;
}

// ---------------------------------------------------------------- readers

PF_Err GetParamFromArray::GetParam(A_long index, PF_ParamDef *def)
{
    *def = *params_[index];
    return PF_Err_NONE;
}

PF_Err GetParamFromArray::CheckinParam(PF_ParamDef *)
{
    return PF_Err_NONE;
}

bool GetParamFromArray::IsEnabled(A_long index) const
{
    return (params_[index]->ui_flags & PF_PUI_DISABLED) == 0;
}

PF_Err GetParamByCheckout::GetParam(A_long index, PF_ParamDef *def)
{
    const PF_Err err =
        in_data_->inter.checkout_param(in_data_->effect_ref, index, in_data_->current_time,
                                       in_data_->time_step, in_data_->time_scale, def);
    if (err != PF_Err_NONE) {
        // The host may have written part of it; leave nothing half-filled.
        std::memset(def, 0, sizeof *def);
    }
    return err;
}

PF_Err GetParamByCheckout::CheckinParam(PF_ParamDef *def)
{
    return in_data_->inter.checkin_param(in_data_->effect_ref, def);
}

bool GetParamByCheckout::IsEnabled(A_long index) const
{
    return !params_ || (params_[index]->ui_flags & PF_PUI_DISABLED) == 0;
}

// ---------------------------------------------------------------- fetched definitions

FetchedParams::FetchedParams()
    : defs_(static_cast<std::size_t>(ParamCount())),
      fetched_(static_cast<std::size_t>(ParamCount()), false)
{
    std::memset(defs_.data(), 0, defs_.size() * sizeof(PF_ParamDef));
    for (const BaseParam *param : ParamsInIndexOrder()) {
        const auto index = static_cast<std::size_t>(param->Index());
        if (index < defs_.size()) {
            defs_[index] = param->Definition();
        }
    }
}

// ---------------------------------------------------------------- builders

BaseParam::BaseParam(const char *name, ParamTemplate tmpl, A_long valueOffset, A_long valueSize)
    : name_(name),
      definition_(MakeParamTemplate(tmpl)),
      index_(TakeNextParamIndex()),
      valueOffset_(valueOffset),
      valueSize_(valueSize)
{
}

PF_Err BaseParam::Fetch(ParamGetter &getter)
{
    FetchedParams &fetched = getter.Fetched();
    const A_long index = Index();
    const PF_Err err = getter.GetParam(index, &fetched.Definition(index));
    if (err == PF_Err_NONE) {
        fetched.SetFetched(index, true);
    }
    return err;
}

PF_Err BaseParam::ReadValue(RenderRecord *record, ParamGetter &getter)
{
    if (valueSize_ == 0) {
        return PF_Err_NONE;
    }
    const PF_Err err = Fetch(getter);
    if (err != PF_Err_NONE) {
        return err;
    }
    if (record) {
        // Every value struct of the union starts with its value, and the
        // record's field has the width of that value (a checkbox takes only
        // the low byte of its 32-bit value).
        std::memcpy(reinterpret_cast<char *>(record) + valueOffset_,
                    &getter.Fetched().Definition(Index()).u, static_cast<std::size_t>(valueSize_));
    }
    return PF_Err_NONE;
}

PF_Err BaseParam::CheckinValue(ParamGetter &getter)
{
    FetchedParams &fetched = getter.Fetched();
    const A_long index = Index();
    if (valueSize_ == 0 || !fetched.IsFetched(index)) {
        return PF_Err_NONE;
    }
    fetched.SetFetched(index, false);
    return getter.CheckinParam(&fetched.Definition(index));
}

void BaseParam::SaveDefault(PF_InData *, const char *, const FetchedParams &) {}

bool BaseParam::UseStoredDefault(const PF_InData *in_data, const char *defaultsPath)
{
    return defaultsPath && StoredDefaultsAllowed(in_data);
}

PF_Err BaseParam::Declare(PF_InData *in_data, PF_ParamType type, A_long paramId, bool copyName)
{
    definition_.param_type = type;
    if (copyName) {
        in_data->utils->ansi.strcpy(definition_.name, name_);
    }
    definition_.uu.id = paramId;
    return in_data->inter.add_param(in_data->effect_ref, -1, &definition_);
}

}  // namespace params
