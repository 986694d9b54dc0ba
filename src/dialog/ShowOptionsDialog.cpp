// DO_DIALOG: the options dialog and its two actions on the stored defaults.
#include <vector>

#include "OptionDialog.h"
#include "filter/Language.h"
#include "filter/OptionsDialog.h"
#include "params/Params.h"
#include "platform/Module.h"
#include "platform/Platform.h"

namespace {

// The visible, enabled top-level windows of this process: the dialog is
// modal to all of them, not only to its parent.
BOOL CALLBACK CollectWindow(HWND window, LPARAM list)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && IsWindowEnabled(window)) {
        reinterpret_cast<std::vector<HWND> *>(list)->push_back(window);
    }
    return TRUE;
}

}  // namespace

PF_Err ShowOptionsDialog(PF_InData *in_data, PF_ParamDef *params[])
{
    if (!in_data->pica_basicP) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    HWND mainWindow = nullptr;
    in_data->utils->get_platform_data(in_data->effect_ref, PF_PlatData_MAIN_WND, &mainWindow);

    const int language = filter::UiLanguage() == filter::Language::Japanese ? 1 : 2;
    const bool defaultsAvailable = params::StoredDefaultsAllowed(in_data);
    HINSTANCE module = static_cast<HINSTANCE>(platform::OwnModule());
    auto banner = static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(FxOptionDlg::kBannerBitmap), IMAGE_BITMAP, 0, 0, 0));

    FxOptionDlg::AEFxOptionDialog dialog(module, mainWindow, filter::LocalizedText(0),
                                         defaultsAvailable, language, banner);

    std::vector<HWND> disabled;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&disabled));
    for (HWND window : disabled) {
        EnableWindow(window, FALSE);
    }
    const INT_PTR result = dialog.DoModal();
    // Only what we disabled comes back: a window that was disabled before
    // stays as it was.
    for (HWND window : disabled) {
        EnableWindow(window, TRUE);
    }

    params::ApplyDefaultsAction(in_data, params, static_cast<int>(result));
    return PF_Err_NONE;
}
