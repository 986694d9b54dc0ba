// The effect's options dialog: store the current values as the user's
// defaults, or restore the factory defaults.
#pragma once

#include "DialogBase.h"

namespace FxOptionDlg {

// Controls and resources of dialog template 210.
constexpr WORD kDialogTemplate = 210;
constexpr WORD kBannerBitmap = 203;
constexpr WORD kGroupBox = 2000;
constexpr WORD kSaveButton = 2001;
constexpr WORD kRestoreButton = 2002;
constexpr WORD kOwnerDrawnBanner = 2059;

// What the user chose.
enum Result { kNothing = 0, kSaveDefaults = 1, kRestoreDefaults = 2 };

class AEFxOptionDialog : public tavroDlg::DialogBase {
public:
    // language: 1 Japanese, 2 English (0: by the system code page).
    AEFxOptionDialog(HINSTANCE instance, HWND parent, const char *title, bool defaultsAvailable,
                     int language, HBITMAP banner);
    ~AEFxOptionDialog() override;

    INT_PTR DoModal() override;
    INT_PTR OnInitDialog(HWND window, HWND focus) override;
    INT_PTR OnCommand(HWND window, WORD code, WORD id, HWND control) override;
    INT_PTR OnDrawItem(HWND window, WPARAM id, DRAWITEMSTRUCT *data) override;

private:
    char title_[256];
    BOOL defaultsAvailable_;
    int language_;
    HBITMAP banner_;
};

}  // namespace FxOptionDlg
