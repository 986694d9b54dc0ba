#include "OptionDialog.h"

#include <cstring>

#include "filter/Language.h"

namespace FxOptionDlg {
namespace {

// The dialog's texts, one row per control 2000 to 2002. Japanese in
// Shift-JIS:
//   0 "設定 （次回起動から有効になります）"
//   1 "現在のパラメータ設定をデフォルト値として記憶する"
//   2 "パラメータのデフォルト値設定を初期状態に復帰する"
const filter::TextRow kDialogTexts[] = {
    {0,
     "\x90\xDD\x92\xE8\x20\x81\x69\x8E\x9F\x89\xF1\x8B\x4E\x93\xAE\x82\xA9\x82\xE7\x97\x4C\x8C"
     "\xF8\x82\xC9\x82\xC8\x82\xE8\x82\xDC\x82\xB7\x81\x6A",
     "Settings (Valid from next start-up)"},
    {1,
     "\x8C\xBB\x8D\xDD\x82\xCC\x83\x70\x83\x89\x83\x81\x81\x5B\x83\x5E\x90\xDD\x92\xE8\x82\xF0"
     "\x83\x66\x83\x74\x83\x48\x83\x8B\x83\x67\x92\x6C\x82\xC6\x82\xB5\x82\xC4\x8B\x4C\x89\xAF"
     "\x82\xB7\x82\xE9",
     "Set current parameter values to default"},
    {2,
     "\x83\x70\x83\x89\x83\x81\x81\x5B\x83\x5E\x82\xCC\x83\x66\x83\x74\x83\x48\x83\x8B\x83\x67"
     "\x92\x6C\x90\xDD\x92\xE8\x82\xF0\x8F\x89\x8A\xFA\x8F\xF3\x91\xD4\x82\xC9\x95\x9C\x8B\x41"
     "\x82\xB7\x82\xE9",
     "Restore initial default parameter values"},
};

filter::Language LanguageOf(int language)
{
    if (language == 0) {
        return GetACP() == 932 ? filter::Language::Japanese : filter::Language::English;
    }
    return language == 1 ? filter::Language::Japanese : filter::Language::English;
}

}  // namespace

AEFxOptionDialog::AEFxOptionDialog(HINSTANCE instance, HWND parent, const char *title,
                                   bool defaultsAvailable, int language, HBITMAP banner)
    : DialogBase(instance, parent, kDialogTemplate),
      defaultsAvailable_(defaultsAvailable ? TRUE : FALSE),
      language_(language),
      banner_(banner)
{
    std::strncpy(title_, title ? title : "", sizeof title_ - 1);
    title_[sizeof title_ - 1] = '\0';
}

AEFxOptionDialog::~AEFxOptionDialog()
{
    if (banner_) {
        DeleteObject(banner_);
    }
}

INT_PTR AEFxOptionDialog::DoModal()
{
    const INT_PTR result = DialogBase::DoModal();
    return result == -1 ? 0 : result;
}

INT_PTR AEFxOptionDialog::OnInitDialog(HWND window, HWND)
{
    SetText(window, title_);
    CenterWindow(window);
    const filter::Language language = LanguageOf(language_);
    const int rows = static_cast<int>(sizeof kDialogTexts / sizeof kDialogTexts[0]);
    for (int row = 0; row < rows; ++row) {
        SetDlgItemTextA(window, kGroupBox + row,
                        filter::LookUpText(kDialogTexts, rows, row, language));
    }
    if (!defaultsAvailable_) {
        EnableWindow(GetDlgItem(window, kSaveButton), FALSE);
        EnableWindow(GetDlgItem(window, kRestoreButton), FALSE);
    }
    // Let the system set the initial focus.
    return 1;
}

INT_PTR AEFxOptionDialog::OnCommand(HWND window, WORD, WORD id, HWND)
{
    switch (id) {
        case IDOK:
        case IDCANCEL:
            EndModal(window, kNothing);
            return 1;
        case kSaveButton:
            EndModal(window, kSaveDefaults);
            return 1;
        case kRestoreButton:
            EndModal(window, kRestoreDefaults);
            return 1;
        default:
            return 0;
    }
}

INT_PTR AEFxOptionDialog::OnDrawItem(HWND, WPARAM id, DRAWITEMSTRUCT *data)
{
    if (id != kOwnerDrawnBanner || !data) {
        return 0;
    }
    BITMAP info{};
    GetObjectA(banner_, sizeof info, &info);
    HDC memory = CreateCompatibleDC(data->hDC);
    HGDIOBJ previous = SelectObject(memory, banner_);
    SetStretchBltMode(data->hDC, HALFTONE);
    const RECT &r = data->rcItem;
    StretchBlt(data->hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, memory, 0, 0,
               info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    return 1;
}

}  // namespace FxOptionDlg
