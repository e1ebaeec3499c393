#include "MainDialog.h"

#include "AboutBox.h"
#include "res/resource.h"

namespace sarnok::win32 {

namespace {

int StatusLineId(int line) {
    switch (line) {
    case 1:
        return IDC_STATUS_LINE1;
    case 2:
        return IDC_STATUS_LINE2;
    case 3:
        return IDC_STATUS_LINE3;
    default:
        return 0;
    }
}

} // namespace

CMainDialog::CMainDialog(HINSTANCE instance, const CServices& services)
    : CDialog(instance, IDD_FUU_DIALOG, nullptr), m_services(services),
      m_hIcon(::LoadIconA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_dlg(CPorts{.m_view = *this,
                   .m_spooler = services.m_spooler,
                   .m_statusLibrary = services.m_statusLibrary,
                   .m_loader = services.m_loader,
                   .m_files = services.m_files,
                   .m_clock = services.m_clock,
                   .m_system = services.m_system,
                   .m_profile = services.m_profile,
                   .m_digest = &services.m_digest,
                   .m_journal = services.m_journal,
                   .m_events = services.m_events,
                   .m_lock = services.m_lock}) {}

// ---- Events ----

bool CMainDialog::OnInitDialog() {
    CHandlerScope scope(m_handlerDepth);
    return m_dlg.OnInitDialog();
}

bool CMainDialog::OnCommand(int id, int code, HWND /*control*/) {
    const bool isEvent = (id == IDOK && code == BN_CLICKED) ||
                         (id == IDCANCEL && code == BN_CLICKED) ||
                         (id == IDC_PRINTER_LIST && code == CBN_SELENDOK);
    if (!isEvent) {
        return false;
    }
    if (m_handlerDepth > 0) {
        return true;
    }
    CHandlerScope scope(m_handlerDepth);
    if (id == IDOK) {
        // Enter reaches here as IDOK even when the dialog manager finds no enabled default
        // button; a disabled Update button must never start an update.
        if (::IsWindowEnabled(Item(IDOK))) {
            m_dlg.OnUpdateClicked();
        }
    } else if (id == IDCANCEL) {
        m_dlg.OnCancelClicked();
    } else {
        m_dlg.OnPrinterSelected();
    }
    return true;
}

bool CMainDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    switch (message) {
    case WM_SYSCOMMAND:
        // No handler scope here: the default handling of the close command comes back as
        // IDCANCEL, which must reach OnCancelClicked. The About box is not opened on top of a
        // running handler.
        if (m_handlerDepth > 0 && static_cast<unsigned>(wParam) == kAboutCommandId) {
            *result = TRUE;
            return true;
        }
        m_dlg.OnSysCommand(static_cast<unsigned>(wParam), static_cast<long>(lParam));
        *result = TRUE;
        return true;
    case WM_PAINT:
        if (PaintMinimised()) {
            *result = TRUE;
            return true;
        }
        return false;
    case WM_QUERYDRAGICON:
        *result = reinterpret_cast<INT_PTR>(m_hIcon);
        return true;
    case WM_SETCURSOR:
        if (m_waitCursor.Count() > 0) {
            ::SetCursor(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32514))); // IDC_WAIT
            ::SetWindowLongPtrA(Handle(), DWLP_MSGRESULT, TRUE);
            *result = TRUE;
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool CMainDialog::PaintMinimised() {
    if (!::IsIconic(Handle())) {
        return false;
    }
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(Handle(), &paint);
    ::SendMessageA(Handle(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(Handle(), &client);
    const CIconOrigin origin =
        MinimisedIconOrigin(client.right - client.left, client.bottom - client.top,
                            ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON));
    ::DrawIcon(dc, origin.m_x, origin.m_y, m_hIcon);
    ::EndPaint(Handle(), &paint);
    return true;
}

// ---- IMainView ----

std::string CMainDialog::LoadText(unsigned id) {
    return LoadResourceText(id);
}

void CMainDialog::PaintNow(HWND control) {
    if (control == nullptr) {
        return;
    }
    ::RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    ::UpdateWindow(Handle());
}

void CMainDialog::SetStatusText(int line, const std::string& text) {
    const int id = StatusLineId(line);
    if (id == 0) {
        return;
    }
    SetItemText(id, text);
    PaintNow(Item(id));
}

void CMainDialog::SetFirmwareText(const std::string& text) {
    SetItemText(IDC_FIRMWARE_FIELD, text);
    PaintNow(Item(IDC_FIRMWARE_FIELD));
}

void CMainDialog::EnableUpdate(bool on) {
    ::EnableWindow(Item(IDOK), on ? TRUE : FALSE);
    PaintNow(Item(IDOK));
}

void CMainDialog::SetCancelCaption(const std::string& text) {
    SetItemText(IDCANCEL, text);
    PaintNow(Item(IDCANCEL));
}

void CMainDialog::EnableCancel(bool on) {
    ::EnableWindow(Item(IDCANCEL), on ? TRUE : FALSE);
    PaintNow(Item(IDCANCEL));
}

void CMainDialog::AddPrinterEntry(const std::string& text) {
    ::SendMessageA(Item(IDC_PRINTER_LIST), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int CMainDialog::GetSelectedPrinterIndex() {
    const LRESULT index = ::SendMessageA(Item(IDC_PRINTER_LIST), CB_GETCURSEL, 0, 0);
    return index < 0 ? -1 : static_cast<int>(index);
}

EMessageAnswer CMainDialog::ShowMessageBox(const std::string& text, const std::string& caption,
                                           EMessageButtons buttons) {
    const UINT type = buttons == EMessageButtons::YesNoDefaultNo ? MB_YESNO | MB_DEFBUTTON2 : MB_OK;
    const int answer = ::MessageBoxA(Handle(), text.c_str(), caption.c_str(), type);
    if (buttons == EMessageButtons::YesNoDefaultNo) {
        // A box that could not be shown counts as the default answer, never as consent.
        return answer == IDYES ? EMessageAnswer::Yes : EMessageAnswer::No;
    }
    return EMessageAnswer::Ok;
}

void CMainDialog::BeginWaitCursor() {
    m_waitCursor.Begin();
    HCURSOR previous = ::SetCursor(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32514))); // IDC_WAIT
    if (!m_waitCursorShown) {
        m_hPreviousCursor = previous;
        m_waitCursorShown = true;
    }
}

void CMainDialog::EndWaitCursor() {
    // Only a busy cursor of ours is taken back: an end without a begin changes nothing.
    if (m_waitCursor.End() && m_waitCursorShown) {
        ::SetCursor(m_hPreviousCursor != nullptr
                        ? m_hPreviousCursor
                        : ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512))); // IDC_ARROW
        m_hPreviousCursor = nullptr;
        m_waitCursorShown = false;
    }
}

void CMainDialog::RefreshNow() {
    ::RedrawWindow(Handle(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void CMainDialog::DisableFirmwareField() {
    ::EnableWindow(Item(IDC_FIRMWARE_FIELD), FALSE);
}

bool CMainDialog::HasSystemMenu() {
    return ::GetSystemMenu(Handle(), FALSE) != nullptr;
}

void CMainDialog::AppendSystemMenuSeparator() {
    HMENU menu = ::GetSystemMenu(Handle(), FALSE);
    if (menu != nullptr) {
        ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    }
}

void CMainDialog::AppendSystemMenuItem(unsigned commandId, const std::string& text) {
    HMENU menu = ::GetSystemMenu(Handle(), FALSE);
    if (menu != nullptr) {
        ::AppendMenuA(menu, MF_STRING, commandId, text.c_str());
    }
}

void CMainDialog::SetWindowIcons() {
    ::SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
}

void CMainDialog::RunAboutBox() {
    // The main dialog's own events wait while the box is open, as they do behind a message box.
    CHandlerScope scope(m_handlerDepth);
    CAboutBox box(Instance(), Handle(), m_services.m_system, m_services.m_versionApi);
    box.DoModal();
}

void CMainDialog::DefaultSysCommand(unsigned command, long parameter) {
    ::DefWindowProcA(Handle(), WM_SYSCOMMAND, command, static_cast<LPARAM>(parameter));
}

void CMainDialog::EndDialogCancel() {
    EndDialog(IDCANCEL);
}

} // namespace sarnok::win32
