// The parameters subsystem as the rest of the effect uses it: the builders
// and their registry, the readers, the defaults file, the parameter table,
// and what the commands do with the whole list. Every loop walks the
// ParamRegistry in host index order.
#pragma once

#include "AEUtil/AESdk.h"
#include "BaseParam.h"
#include "ParamRegistry.h"
#include "ParamTable.h"
#include "StoredDefaults.h"

struct RenderRecord;

namespace params {

// PARAMS_SETUP: declares every parameter, with the stored defaults when the
// host allows them. The first add_param error ends the loop and is returned;
// out_data->num_params is the parameter count in any case.
PF_Err DeclareParams(PF_InData *in_data, PF_OutData *out_data);

// ReadValue of every builder into `record` (may be null) through `reader`,
// stopping at the first error, which is returned. Layer pointers in the
// record point into the reader's definitions.
PF_Err ReadAllValues(RenderRecord *record, ParamGetter &reader);

// CheckinValue of every builder through the reader that read them, stopping
// at the first error. Only what the reader holds checked out is handed back,
// so this is safe after a read that stopped early.
PF_Err CheckinAllValues(ParamGetter &reader);

// "Set current parameter values to default": reads the command's parameter
// array, checks it in, then writes every builder's stored form to the file
// at `defaultsPath` (whose folder must exist). Returns the first read error;
// the defaults are written regardless, and write errors are not reported.
PF_Err SaveCurrentAsDefaults(PF_InData *in_data, PF_ParamDef *params[], const char *defaultsPath);

// The two actions of the options dialog, shared by every way of choosing
// them. The folder of the defaults file is created first (an existing one is
// fine); kRestoreDefaults then deletes the file and the folders it leaves
// empty. kNoAction does nothing.
enum DefaultsAction { kNoAction = 0, kSaveDefaults = 1, kRestoreDefaults = 2 };
void ApplyDefaultsAction(PF_InData *in_data, PF_ParamDef *params[], int action);

// Library unload: deletes every builder.
void DeleteAllBuilders();

}  // namespace params
