#include "Dialog.h"

#include <algorithm>

namespace sarnok::win32 {

CDialog::CDialog(HINSTANCE instance, int templateId, HWND parent)
    : m_hInstance(instance), m_templateId(templateId), m_hParent(parent) {}

INT_PTR CDialog::DoModal() {
    const INT_PTR result = ::DialogBoxParamA(m_hInstance, MAKEINTRESOURCEA(m_templateId), m_hParent,
                                             &DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

void CDialog::EndDialog(INT_PTR result) {
    if (m_hWnd != nullptr) {
        ::EndDialog(m_hWnd, result);
    }
}

void CDialog::SetItemText(int id, const std::string& text) {
    ::SetWindowTextA(Item(id), text.c_str());
}

std::string CDialog::LoadResourceText(unsigned id) const {
    // The longest text of the table is far below this; LoadStringA cuts, never overruns.
    char buffer[1024];
    const int length = ::LoadStringA(m_hInstance, id, buffer, static_cast<int>(sizeof buffer));
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

void CDialog::CenterWindow() {
    RECT area;
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
        ::GetWindowRect(owner, &area);
    } else {
        HMONITOR monitor = ::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY);
        MONITORINFO info{};
        info.cbSize = sizeof info;
        ::GetMonitorInfoA(monitor, &info);
        area = info.rcWork;
    }
    RECT window;
    ::GetWindowRect(m_hWnd, &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    // Keep the caption on the screen.
    HMONITOR monitor = ::MonitorFromRect(&area, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (::GetMonitorInfoA(monitor, &info)) {
        const int left = info.rcWork.left;
        const int top = info.rcWork.top;
        x = std::max(left, std::min(x, static_cast<int>(info.rcWork.right) - width));
        y = std::max(top, std::min(y, static_cast<int>(info.rcWork.bottom) - height));
    }
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CDialog::OnCommand(int id, int code, HWND /*control*/) {
    if (code == BN_CLICKED && (id == IDOK || id == IDCANCEL)) {
        EndDialog(id);
        return true;
    }
    return false;
}

bool CDialog::OnMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/,
                        INT_PTR* /*result*/) {
    return false;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<CDialog*>(lParam);
        dialog->m_hWnd = window;
        ::SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
    } else {
        dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
    }
    // Messages that come before WM_INITDIALOG (WM_SETFONT) get the dialog manager's defaults.
    if (dialog == nullptr) {
        return FALSE;
    }
    return dialog->Dispatch(message, wParam, lParam);
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        RECT before;
        ::GetWindowRect(m_hWnd, &before);
        const bool focusDefault = OnInitDialog();
        // As dialogs have always appeared: centred over the owner (or the screen), unless the
        // initialisation placed the window itself.
        RECT after;
        ::GetWindowRect(m_hWnd, &after);
        if (m_hWnd != nullptr && before.left == after.left && before.top == after.top) {
            CenterWindow();
        }
        return focusDefault ? TRUE : FALSE;
    }
    case WM_COMMAND: {
        // A dialog delivers Escape as IDCANCEL with code 0, which is BN_CLICKED.
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        return OnCommand(id, code, reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    }
    case WM_CLOSE:
        // The close box and Alt+F4 act as the Cancel button, whatever state that button is in.
        OnCommand(IDCANCEL, BN_CLICKED, Item(IDCANCEL));
        return TRUE;
    case WM_HELP:
        // No help content belongs to this program: F1 does nothing.
        ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_NCDESTROY: {
        INT_PTR result = FALSE;
        const bool handled = OnMessage(message, wParam, lParam, &result);
        ::SetWindowLongPtrA(m_hWnd, DWLP_USER, 0);
        m_hWnd = nullptr;
        return handled ? result : FALSE;
    }
    default: {
        INT_PTR result = FALSE;
        return OnMessage(message, wParam, lParam, &result) ? result : FALSE;
    }
    }
}

} // namespace sarnok::win32
