// The options command where there is no dialog to show. Nothing changes,
// unless whoever started the host chose the dialog's answer beforehand in
// STIPPLEX_OPTIONS_ACTION ("save" or "reset"): that is how `stipplex
// defaults save|reset` reaches the same two actions, through the host.
#include <cstdlib>
#include <cstring>

#include "filter/OptionsDialog.h"
#include "params/Params.h"

PF_Err ShowOptionsDialog(PF_InData *in_data, PF_ParamDef *params[])
{
    if (!in_data->pica_basicP) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const char *answer = std::getenv("STIPPLEX_OPTIONS_ACTION");
    int action = params::kNoAction;
    if (answer && std::strcmp(answer, "save") == 0) {
        action = params::kSaveDefaults;
    } else if (answer && std::strcmp(answer, "reset") == 0) {
        action = params::kRestoreDefaults;
    }
    // Hosts too old for stored defaults get the dialog with both buttons
    // disabled: only "nothing" can be answered.
    if (!params::StoredDefaultsAllowed(in_data)) {
        action = params::kNoAction;
    }
    params::ApplyDefaultsAction(in_data, params, action);
    return PF_Err_NONE;
}
