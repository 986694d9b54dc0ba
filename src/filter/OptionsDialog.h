// The effect's options dialog (Windows); other platforms have none and the
// command changes nothing there.
#pragma once

#include "AESdk.h"

PF_Err ShowOptionsDialog(PF_InData *in_data, PF_ParamDef *params[]);
