// The "Card Printer Firmware Update" window: dialog template 102 run by our dialog layer, the
// main dialog view the core draws on, and the event routing into the core's CfuuDlg.
#pragma once

#include "Dialog.h"
#include "app/CfuuDlg.h"
#include "app/DialogHelpers.h"
#include "app/MainView.h"

namespace sarnok::win32 {

// Everything besides the window itself that the dialog and its About box reach. All references
// must outlive the dialog.
struct CServices {
    ISpooler& m_spooler;
    IStatusLibrary& m_statusLibrary;
    ILibraryLoader& m_loader;
    IFirmwareFile& m_files;
    IClock& m_clock;
    ISystemServices& m_system;
    IProfileReader& m_profile;
    IVersionApi& m_versionApi;
    IDigest& m_digest;
    IUpdateLock* m_lock = nullptr;
    IUpdateJournal* m_journal = nullptr;
    IEventLog* m_events = nullptr;
};

class CMainDialog : public CDialog, public IMainView {
public:
    CMainDialog(HINSTANCE instance, const CServices& services);
    ~CMainDialog() override = default;

    CfuuDlg& Logic() { return m_dlg; }

    // ---- IMainView ----
    std::string LoadText(unsigned id) override;
    void SetStatusText(int line, const std::string& text) override;
    void SetFirmwareText(const std::string& text) override;
    void EnableUpdate(bool on) override;
    void SetCancelCaption(const std::string& text) override;
    void EnableCancel(bool on) override;
    void AddPrinterEntry(const std::string& text) override;
    int GetSelectedPrinterIndex() override;
    EMessageAnswer ShowMessageBox(const std::string& text, const std::string& caption,
                                  EMessageButtons buttons) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void RefreshNow() override;
    void DisableFirmwareField() override;
    bool HasSystemMenu() override;
    void AppendSystemMenuSeparator() override;
    void AppendSystemMenuItem(unsigned commandId, const std::string& text) override;
    void SetWindowIcons() override;
    void RunAboutBox() override;
    void DefaultSysCommand(unsigned command, long parameter) override;
    void EndDialogCancel() override;

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    // Draws the icon centred while minimised. False when not minimised (default painting).
    bool PaintMinimised();
    // Paints a control now, so a text set just before a long blocking wait is on the screen.
    void PaintNow(HWND control);

    // Counts the core handlers running. Events that arrive while one runs (a wait that keeps
    // the window painted, say) are not started on top of it.
    class CHandlerScope {
    public:
        explicit CHandlerScope(int& depth) : m_depth(depth) { ++m_depth; }
        ~CHandlerScope() { --m_depth; }
        CHandlerScope(const CHandlerScope&) = delete;
        CHandlerScope& operator=(const CHandlerScope&) = delete;

    private:
        int& m_depth;
    };

    CServices m_services;
    HICON m_hIcon;
    CWaitCursorCount m_waitCursor;
    HCURSOR m_hPreviousCursor = nullptr;
    bool m_waitCursorShown = false;
    int m_handlerDepth = 0;
    CfuuDlg m_dlg;
};

} // namespace sarnok::win32
