#include "ParamUI.h"

#include <algorithm>

#include "AEUtil/SuiteSet.h"
#include "ParamIds.h"
#include "ParamRegistry.h"
#include "SequenceRecord.h"

namespace params {

namespace {

// Popup value of SpacingType: the spacing is the gap between two dots...
constexpr A_long kSpacingTwoPoints = 1;
// ...or the distance between their centres.
constexpr A_long kSpacingCenter = 2;

constexpr A_long kMaskNone = 2;
constexpr A_long kMaskLayer = 3;

constexpr A_long kMapCustom = 1;
constexpr A_long kMapLinear = 5;
constexpr A_long kMapLinearSymmetric = 6;

using UpdateParamUIFunc = decltype(PF_ParamUtilsSuite3::PF_UpdateParamUI);

// The current values of the command's parameter array, and the host call
// that shows a control enabled or disabled.
class Controls {
public:
    Controls(PF_InData *in_data, PF_ParamDef *params[], UpdateParamUIFunc update)
        : in_data_(in_data), params_(params), update_(update)
    {
    }

    A_long Popup(A_long id) const { return Def(id).u.pd.value; }
    bool Checked(A_long id) const { return Def(id).u.bd.value != 0; }

    // The host wants a whole definition: the current one with the disabled
    // bit set or cleared. Its answer does not matter; the next rule runs
    // either way.
    void Enable(A_long id, bool enabled) const
    {
        const A_long index = FindParamIndex(static_cast<A_u_long>(id));
        PF_ParamDef copy = *params_[index];
        if (enabled) {
            copy.ui_flags &= ~PF_PUI_DISABLED;
        } else {
            copy.ui_flags |= PF_PUI_DISABLED;
        }
        update_(in_data_->effect_ref, index, &copy);
    }

private:
    const PF_ParamDef &Def(A_long id) const
    {
        return *params_[FindParamIndex(static_cast<A_u_long>(id))];
    }

    PF_InData *in_data_;
    PF_ParamDef **params_;
    UpdateParamUIFunc update_;
};

void ApplyEffectorRules(const Controls &c, int n)
{
    const EffectorParamIds &ids = EffectorIds(n);
    const bool on = c.Checked(ids.EnableEffector);
    const A_long everything[] = {
        ids.EffectMap,          ids.EffectorAngle,
        ids.EffectorPosition,   ids.EffectorCenterDotToFront,
        ids.EffectorSize,       ids.EffectorFalloff,
        ids.CustomMapLayer,     ids.Tile,
        ids.FitToLayer,         ids.PickSourceColor,
        ids.Absolute,           ids.IndependentSize,
        ids.IndependentAspect,  ids.IndependentRotation,
        ids.IndependentOpacity, ids.SizeByRatio,
        ids.AspectByRatio,      ids.RotationByRatio,
        ids.OpacityByRatio,     ids.SizeOffset,
        ids.AspectOffset,       ids.RotationOffset,
        ids.OpacityOffset,      ids.EffectorColor,
        ids.BlendMode,          ids.BlendColor,
        ids.HueOffset,
    };
    for (const A_long control : everything) {
        c.Enable(control, on);
    }
    if (!on) {
        return;
    }

    const A_long map = c.Popup(ids.EffectMap);
    const bool custom = map == kMapCustom;
    const bool fitted = c.Checked(ids.FitToLayer);
    // The layer map's own controls.
    for (const A_long control :
         {ids.CustomMapLayer, ids.Tile, ids.FitToLayer, ids.PickSourceColor}) {
        c.Enable(control, custom);
    }
    // Size and falloff shape the analytic maps only.
    c.Enable(ids.EffectorSize, !custom);
    c.Enable(ids.EffectorFalloff, !custom);
    // A radial map has no direction, and a fitted layer map is neither
    // turned nor placed.
    c.Enable(ids.EffectorAngle,
             (custom && !fitted) || map == kMapLinear || map == kMapLinearSymmetric);
    c.Enable(ids.EffectorPosition, !custom || !fitted);
    const bool absolute = c.Checked(ids.Absolute);
    for (const A_long control : {ids.IndependentSize, ids.IndependentAspect,
                                 ids.IndependentRotation, ids.IndependentOpacity}) {
        c.Enable(control, absolute);
    }
    const bool colorize = c.Checked(ids.EffectorColor);
    c.Enable(ids.BlendMode, colorize);
    c.Enable(ids.BlendColor, colorize);
}

// A fresh sequence notes the spacing type it starts with, so that the first
// change of it can be converted. Flattened data is left alone.
void RecordSpacingType(PF_InData *in_data, A_long spacingType)
{
    if (!in_data->sequence_data) {
        return;
    }
    auto *record =
        static_cast<SequenceRecord *>(in_data->utils->host_lock_handle(in_data->sequence_data));
    if (!record) {
        return;
    }
    if (!record->flat && !record->spacingRecorded) {
        record->recordedSpacingType = spacingType;
        record->spacingRecorded = 1;
    }
    in_data->utils->host_unlock_handle(in_data->sequence_data);
}

}  // namespace

int ParamUtilsSuiteVersion(const PF_InData *in_data)
{
    const A_short major = in_data->version.major;
    const A_short minor = in_data->version.minor;
    const bool v3 = major > 13 || (major == 13 && minor >= 2) || (major == 12 && minor >= 15);
    return v3 ? kPFParamUtilsSuiteVersion3 : kPFParamUtilsSuiteVersion1;
}

PF_Err UpdateParamsUI(PF_InData *in_data, PF_ParamDef *params[])
{
    AEUtil::SuiteSet suites(in_data->pica_basicP);
    const int version = ParamUtilsSuiteVersion(in_data);
    // Both versions start with PF_UpdateParamUI.
    const UpdateParamUIFunc update =
        version == kPFParamUtilsSuiteVersion3
            ? suites.Get<PF_ParamUtilsSuite3>(kPFParamUtilsSuite, version)->PF_UpdateParamUI
            : suites.Get<PF_ParamUtilsSuite1>(kPFParamUtilsSuite, version)->PF_UpdateParamUI;
    const Controls c(in_data, params, update);

    const A_long maskMode = c.Popup(id::MaskMode);
    c.Enable(id::MaskLayer, maskMode == kMaskLayer);
    c.Enable(id::InvertMask, maskMode != kMaskNone);
    for (int n = 1; n <= kEffectorCount; ++n) {
        ApplyEffectorRules(c, n);
    }
    RecordSpacingType(in_data, c.Popup(id::SpacingType));
    return PF_Err_NONE;
}

PF_Err UserChangedParam(PF_InData *in_data, PF_ParamDef *params[],
                        const PF_UserChangedParamExtra *extra)
{
    AEUtil::SuiteSet suites(in_data->pica_basicP);
    if (extra->param_index != FindParamIndex(id::SpacingType) || !in_data->sequence_data) {
        return PF_Err_NONE;
    }
    const PF_HandleSuite1 *handles = suites.Handle();
    auto *record = static_cast<SequenceRecord *>(handles->host_lock_handle(in_data->sequence_data));
    if (!record) {
        return PF_Err_NONE;
    }
    const A_long type = params[FindParamIndex(id::SpacingType)]->u.pd.value;
    if (!record->flat && record->spacingRecorded && type != record->recordedSpacingType) {
        record->recordedSpacingType = type;
        const double size = params[FindParamIndex(id::DotSize)]->u.fs_d.value;
        for (const A_long spacingId : {id::DotSpacingX, id::DotSpacingY}) {
            PF_ParamDef *spacing = params[FindParamIndex(static_cast<A_u_long>(spacingId))];
            if (type == kSpacingTwoPoints) {
                // Centre distance to gap; dots that overlap leave no gap.
                spacing->u.fs_d.value = std::max(0.0, spacing->u.fs_d.value - size);
            } else if (type == kSpacingCenter) {
                spacing->u.fs_d.value = spacing->u.fs_d.value + size;
            }
            spacing->uu.change_flags |= PF_ChangeFlag_CHANGED_VALUE;
        }
    }
    handles->host_unlock_handle(in_data->sequence_data);
    return PF_Err_NONE;
}

}  // namespace params
