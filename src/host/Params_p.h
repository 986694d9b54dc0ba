// Private to the host: parameter definitions (add_param and its checks),
// the values lent to the effect (params array, checkout_param), the changes
// it hands back, and the Param Utils Suite.
#pragma once

#include "host/Core_p.h"

namespace host {
namespace detail {

ParamInfo InputLayerInfo();
// The first values of a new instance: the definitions' own values, point
// defaults (percentages) resolved against the layer size, layer defaults.
void InitialValues(const EffectCore &core, InstanceState &inst);
// The definition lent for `index` during a command: the current value, with
// points scaled to the frame's downsampling and layer pixels for RENDER.
PF_ParamDef LentDefinition(const InstanceState &inst, int index, const FrameState *frame,
                           PF_Cmd cmd);
// After a command with a params array: takes the values marked
// PF_ChangeFlag_CHANGED_VALUE and reports writes the host ignores.
void TakeParamChanges(CommandContext &ctx, CommandResult &result);
// After PARAMS_SETUP: open groups and the reported parameter count.
void CheckParamsSetup(CommandContext &ctx);

PF_Err CbAddParam(PF_ProgPtr ref, PF_ParamIndex index, PF_ParamDefPtr def);
PF_Err CbCheckoutParam(PF_ProgPtr ref, PF_ParamIndex index, A_long what_time, A_long time_step,
                       A_u_long time_scale, PF_ParamDef *param);
PF_Err CbCheckinParam(PF_ProgPtr ref, PF_ParamDef *param);

PF_Err CbUpdateParamUI(PF_ProgPtr ref, PF_ParamIndex index, const PF_ParamDef *def);
PF_Err CbGetCurrentState(PF_ProgPtr ref, PF_ParamIndex index, const A_Time *start,
                         const A_Time *duration, PF_State *state);
PF_Err CbAreStatesIdentical(PF_ProgPtr ref, const PF_State *a, const PF_State *b, A_Boolean *same);
PF_Err CbIsIdenticalCheckout(PF_ProgPtr ref, PF_ParamIndex index, A_long t1, A_long s1,
                             A_u_long sc1, A_long t2, A_long s2, A_u_long sc2,
                             PF_Boolean *identical);
PF_Err CbFindKeyframeTime(PF_ProgPtr ref, PF_ParamIndex index, A_long what_time,
                          A_u_long time_scale, PF_TimeDir dir, PF_Boolean *found,
                          PF_KeyIndex *key_index, A_long *key_time, A_u_long *key_scale);
PF_Err CbGetKeyframeCount(PF_ProgPtr ref, PF_ParamIndex index, PF_KeyIndex *count);
PF_Err CbCheckoutKeyframe(PF_ProgPtr ref, PF_ParamIndex index, PF_KeyIndex key, A_long *key_time,
                          A_u_long *key_scale, PF_ParamDef *param);
PF_Err CbCheckinKeyframe(PF_ProgPtr ref, PF_ParamDef *param);
PF_Err CbKeyIndexToTime(PF_ProgPtr ref, PF_ParamIndex index, PF_KeyIndex key, A_long *key_time,
                        A_u_long *key_scale);
PF_Err CbGetCurrentStateObsolete(PF_ProgPtr ref, PF_State *state);
PF_Err CbHasParamChangedObsolete(PF_ProgPtr ref, const PF_State *state, PF_ParamIndex index,
                                 PF_Boolean *changed);
PF_Err CbHaveInputsChangedObsolete(PF_ProgPtr ref, const PF_State *state, const A_Time *start,
                                   const A_Time *duration, PF_Boolean *changed);

}  // namespace detail
}  // namespace host
