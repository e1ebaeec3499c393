// The main dialog as the workflow sees it: three status lines, a firmware field, two buttons,
// a printer list and message boxes. The Win32 front end implements it over the real dialog;
// tests implement it with a recorder.
#pragma once

#include <string>

namespace sarnok {

enum class EMessageButtons {
    Ok,
    YesNoDefaultNo,
};

// The button chosen in a message box (same values as IDOK, IDYES, IDNO).
enum class EMessageAnswer {
    Ok = 1,
    Yes = 6,
    No = 7,
};

class IMainView {
public:
    virtual ~IMainView() = default;

    // ---- What every handler may do to the dialog ----
    virtual std::string LoadText(unsigned id) = 0;
    // line is 1, 2 or 3. The text must be on the screen before this returns, because the
    // caller may then block the thread for minutes.
    virtual void SetStatusText(int line, const std::string& text) = 0;
    virtual void SetFirmwareText(const std::string& text) = 0;
    virtual void EnableUpdate(bool on) = 0;
    virtual void SetCancelCaption(const std::string& text) = 0;
    virtual void EnableCancel(bool on) = 0;
    virtual void AddPrinterEntry(const std::string& text) = 0;
    // Zero-based position of the selected entry, or -1.
    virtual int GetSelectedPrinterIndex() = 0;
    virtual EMessageAnswer ShowMessageBox(const std::string& text, const std::string& caption,
                                          EMessageButtons buttons) = 0;
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    virtual void RefreshNow() = 0;

    // ---- Window set-up done once by dialog initialisation ----
    virtual void DisableFirmwareField() = 0;
    virtual bool HasSystemMenu() = 0;
    virtual void AppendSystemMenuSeparator() = 0;
    virtual void AppendSystemMenuItem(unsigned commandId, const std::string& text) = 0;
    // Large icon first, then small icon, both the dialog's icon.
    virtual void SetWindowIcons() = 0;

    // ---- Framework services the handlers call ----
    virtual void RunAboutBox() = 0;
    virtual void DefaultSysCommand(unsigned command, long parameter) = 0;
    virtual void EndDialogCancel() = 0;
};

} // namespace sarnok
