// Only the Windows build has the options dialog; here the command changes
// nothing, and `stipplex defaults save|reset` reaches the two actions.
#include "filter/OptionsDialog.h"

PF_Err ShowOptionsDialog(PF_InData *, PF_ParamDef *[])
{
    return PF_Err_NONE;
}
