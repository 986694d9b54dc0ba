#include "Params.h"

#include <string>

#include "platform/Platform.h"

namespace params {

PF_Err DeclareParams(PF_InData *in_data, PF_OutData *out_data)
{
    char path[kDefaultsPathCapacity] = "";
    const char *defaultsPath = nullptr;
    const bool useStored = StoredDefaultsAllowed(in_data);
    // Without an application-data folder there is no file to read.
    if (useStored && GetDefaultsPath(path)) {
        defaultsPath = path;
    }
    SetDefaultsSection(useStored);

    PF_Err err = PF_Err_NONE;
    for (BaseParam *param : ParamsInIndexOrder()) {
        err = param->AddToHost(in_data, static_cast<A_long>(param->Id()), defaultsPath);
        if (err != PF_Err_NONE) {
            break;
        }
    }
    out_data->num_params = ParamCount();
    return err;
}

PF_Err ReadAllValues(RenderRecord *record, ParamGetter &reader)
{
    for (BaseParam *param : ParamsInIndexOrder()) {
        const PF_Err err = param->ReadValue(record, reader);
        if (err != PF_Err_NONE) {
            return err;
        }
    }
    return PF_Err_NONE;
}

PF_Err CheckinAllValues(ParamGetter &reader)
{
    for (BaseParam *param : ParamsInIndexOrder()) {
        const PF_Err err = param->CheckinValue(reader);
        if (err != PF_Err_NONE) {
            return err;
        }
    }
    return PF_Err_NONE;
}

PF_Err SaveCurrentAsDefaults(PF_InData *in_data, PF_ParamDef *params[], const char *defaultsPath)
{
    GetParamFromArray reader(params);
    const PF_Err readErr = ReadAllValues(nullptr, reader);
    const PF_Err checkinErr = CheckinAllValues(reader);
    // Builders after a failed read keep the values they were declared with.
    for (BaseParam *param : ParamsInIndexOrder()) {
        param->SaveDefault(in_data, defaultsPath, reader.Fetched());
    }
    return readErr != PF_Err_NONE ? readErr : checkinErr;
}

void ApplyDefaultsAction(PF_InData *in_data, PF_ParamDef *params[], int action)
{
    if (action != kSaveDefaults && action != kRestoreDefaults) {
        return;
    }
    char path[kDefaultsPathCapacity];
    if (!GetDefaultsPath(path)) {
        return;
    }
    std::string folder(path);
    platform::StripLastComponent(folder);
    platform::CreateFolderPath(folder);
    if (action == kSaveDefaults) {
        SaveCurrentAsDefaults(in_data, params, path);
    } else {
        DeleteDefaultsFile(path);
    }
}

void DeleteAllBuilders()
{
    ClearParamRegistry();
}

}  // namespace params
