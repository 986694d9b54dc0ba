// The controls' enabled states and the spacing conversion: a control that has
// no effect under the current settings is shown disabled, and switching the
// spacing type converts both spacings so the grid keeps its look.
#pragma once

#include "AEUtil/AESdk.h"

namespace params {

// The Param Utils suite version to ask for: 3 from API version 13.2 on, and
// from 12.15 on within 12; 2 before.
int ParamUtilsSuiteVersion(const PF_InData *in_data);

// UPDATE_PARAMS_UI: applies every enable rule (whether or not a state
// changes) and records the spacing type in the sequence data the first time.
// Throws the integer PF_Err_BAD_CALLBACK_PARAM when the Param Utils suite is
// missing.
PF_Err UpdateParamsUI(PF_InData *in_data, PF_ParamDef *params[]);

// USER_CHANGED_PARAM: when SpacingType changed after a spacing type was
// recorded, converts DotSpacingX and DotSpacingY between the gap between
// dots (two points) and the distance between their centres (centre).
// Throws the integer PF_Err_BAD_CALLBACK_PARAM without a basic suite or
// Handle suite.
PF_Err UserChangedParam(PF_InData *in_data, PF_ParamDef *params[],
                        const PF_UserChangedParamExtra *extra);

}  // namespace params
