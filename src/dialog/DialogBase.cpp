#include "DialogBase.h"

#include <algorithm>
#include <unordered_map>

namespace tavroDlg {
namespace {

// Dialog windows and their objects; a window is in the map from
// WM_INITDIALOG until WM_DESTROY.
std::unordered_map<HWND, DialogBase *> &DialogMap()
{
    static std::unordered_map<HWND, DialogBase *> map;
    return map;
}

BOOL CALLBACK FindCursorMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM found)
{
    *reinterpret_cast<HMONITOR *>(found) = monitor;
    return FALSE;
}

}  // namespace

void ClearDialogMap()
{
    DialogMap().clear();
}

DialogBase::DialogBase(HINSTANCE instance, HWND parent, WORD templateId)
    : instance_(instance), parent_(parent), template_(templateId)
{
}

DialogBase::~DialogBase() = default;

INT_PTR DialogBase::DoModal()
{
    return DialogBoxParamA(instance_, MAKEINTRESOURCEA(template_), parent_, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR DialogBase::OnMessage(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}

INT_PTR DialogBase::OnInitDialog(HWND, HWND)
{
    return 0;
}

INT_PTR DialogBase::OnCommand(HWND, WORD, WORD, HWND)
{
    return 0;
}

INT_PTR DialogBase::OnAppMessage(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}

INT_PTR DialogBase::OnNotify(HWND, WPARAM, NMHDR *)
{
    return 0;
}

INT_PTR DialogBase::OnPaint(HWND)
{
    return 0;
}

INT_PTR DialogBase::OnDrawItem(HWND, WPARAM, DRAWITEMSTRUCT *)
{
    return 0;
}

INT_PTR DialogBase::OnClose(HWND window)
{
    EndModal(window, 0);
    return 1;
}

INT_PTR DialogBase::OnDestroy(HWND)
{
    return 0;
}

POINT CenteredPosition(const RECT &reference, int width, int height)
{
    POINT p;
    p.x = std::max<LONG>((reference.left + reference.right - width) / 2, reference.left + 32);
    p.y = std::max<LONG>((reference.top + reference.bottom - height) / 2, reference.top + 32);
    return p;
}

void DialogBase::CenterWindow(HWND window)
{
    RECT own;
    GetWindowRect(window, &own);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;

    RECT reference{0, 0, 0, 0};
    if (HWND parent = GetParent(window)) {
        GetWindowRect(parent, &reference);
    } else {
        // The whole monitor under the mouse cursor, not its work area.
        POINT cursor;
        GetCursorPos(&cursor);
        RECT spot{cursor.x, cursor.y, cursor.x + 1, cursor.y + 1};
        HMONITOR monitor = nullptr;
        EnumDisplayMonitors(nullptr, &spot, FindCursorMonitor, reinterpret_cast<LPARAM>(&monitor));
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (monitor && GetMonitorInfoA(monitor, &info)) {
            reference = info.rcMonitor;
        }
    }
    const POINT at = CenteredPosition(reference, width, height);
    MoveWindow(window, at.x, at.y, width, height, TRUE);
}

void DialogBase::SetText(HWND window, const std::string &text)
{
    SetWindowTextA(window, text.c_str());
}

void DialogBase::SetText(HWND window, const char *text)
{
    SetWindowTextA(window, text);
}

void DialogBase::EndModal(HWND window, INT_PTR result)
{
    EndDialog(window, result);
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DialogBase *dialog = nullptr;
    auto &map = DialogMap();
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<DialogBase *>(lParam);
        map[window] = dialog;
        if (dialog) {
            dialog->window_ = window;
        }
    } else {
        auto it = map.find(window);
        if (it != map.end()) {
            dialog = it->second;
        }
    }
    if (!dialog) {
        return 0;
    }
    if (message == WM_DESTROY) {
        // The object still handles this last message.
        map.erase(window);
    }
    if (INT_PTR handled = dialog->OnMessage(window, message, wParam, lParam)) {
        return handled;
    }
    if (message >= 0x8000 && message <= 0xBFFF) {
        return dialog->OnAppMessage(window, message, wParam, lParam);
    }
    switch (message) {
        case WM_NOTIFY:
            return dialog->OnNotify(window, wParam, reinterpret_cast<NMHDR *>(lParam));
        case WM_INITDIALOG:
            return dialog->OnInitDialog(window, reinterpret_cast<HWND>(wParam));
        case WM_COMMAND:
            return dialog->OnCommand(window, HIWORD(wParam), LOWORD(wParam),
                                     reinterpret_cast<HWND>(lParam));
        case WM_DRAWITEM:
            return dialog->OnDrawItem(window, wParam, reinterpret_cast<DRAWITEMSTRUCT *>(lParam));
        case WM_DESTROY:
            return dialog->OnDestroy(window);
        case WM_PAINT:
            return dialog->OnPaint(window);
        case WM_CLOSE:
            return dialog->OnClose(window);
        default:
            return 0;
    }
}

}  // namespace tavroDlg
