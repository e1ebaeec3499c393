// A small modal dialog layer over the Win32 dialog manager: a template id, a dialog procedure
// that finds the C++ object and hands messages to virtual handlers, and control access.
#pragma once

#include <windows.h>

#include <string>

namespace sarnok::win32 {

class CDialog {
public:
    CDialog(HINSTANCE instance, int templateId, HWND parent);
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Creates the dialog from its template and runs it until EndDialog; the end result, or -1
    // when the dialog could not be created.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result);

    HWND Handle() const { return m_hWnd; }
    HINSTANCE Instance() const { return m_hInstance; }
    HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void SetItemText(int id, const std::string& text);

    // Centres the window over its owner, or on the work area when it has none.
    void CenterWindow();

    // A string-table text of this program's module; empty when the id has none.
    std::string LoadResourceText(unsigned id) const;

protected:
    // WM_INITDIALOG. True lets the dialog manager focus the first control that takes it.
    virtual bool OnInitDialog() { return true; }
    // WM_COMMAND. Escape and the close command arrive here as IDCANCEL / BN_CLICKED.
    // True when handled. The default ends the dialog on IDOK and IDCANCEL.
    virtual bool OnCommand(int id, int code, HWND control);
    // Any other message. Return true and set *result when handled; the value is what the dialog
    // procedure returns (the dialog manager's rules for WM_QUERYDRAGICON and the like apply).
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE m_hInstance;
    int m_templateId;
    HWND m_hParent;
    HWND m_hWnd = nullptr;
};

} // namespace sarnok::win32
