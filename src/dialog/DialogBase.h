// A small reusable modal dialog: one object per dialog, found again from the
// window handle by the shared dialog procedure.
#pragma once

#include <windows.h>

#include <string>

namespace tavroDlg {

class DialogBase {
public:
    DialogBase(HINSTANCE instance, HWND parent, WORD templateId);
    virtual ~DialogBase();

    virtual INT_PTR DoModal();
    virtual INT_PTR OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    virtual INT_PTR OnInitDialog(HWND window, HWND focus);
    virtual INT_PTR OnCommand(HWND window, WORD code, WORD id, HWND control);
    virtual INT_PTR OnAppMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    virtual INT_PTR OnNotify(HWND window, WPARAM id, NMHDR *data);
    virtual INT_PTR OnPaint(HWND window);
    virtual INT_PTR OnDrawItem(HWND window, WPARAM id, DRAWITEMSTRUCT *data);
    virtual INT_PTR OnClose(HWND window);
    virtual INT_PTR OnDestroy(HWND window);
    virtual void CenterWindow(HWND window);
    virtual void SetText(HWND window, const std::string &text);
    virtual void SetText(HWND window, const char *text);
    virtual void EndModal(HWND window, INT_PTR result);

    HWND window() const { return window_; }

    DialogBase(const DialogBase &) = delete;
    DialogBase &operator=(const DialogBase &) = delete;

protected:
    friend INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);

    HINSTANCE instance_;
    HWND parent_;
    HWND window_ = nullptr;
    WORD template_;
};

// The dialog procedure of every DialogBase dialog.
INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Forgets every dialog window (the library is being unloaded).
void ClearDialogMap();

// Where CenterWindow puts a window of that size against a reference
// rectangle: centred, but never closer than 32 pixels to its left or top.
POINT CenteredPosition(const RECT &reference, int width, int height);

}  // namespace tavroDlg
