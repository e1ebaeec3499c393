// A main dialog view that records every operation and keeps the dialog's visible state.
#pragma once

#include "app/MainView.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace sarnok::test {

// The string table as the resource script states it, read from the source tree.
const std::map<unsigned, std::string>& StringTable();

class CFakeView : public IMainView {
public:
    struct CMessageBox {
        std::string m_text;
        std::string m_caption;
        EMessageButtons m_buttons;
    };

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

    // Visible state.
    const std::string& Status(int line) const { return m_status[line - 1]; }
    std::string m_status[3];
    std::string m_firmwareText;
    bool m_updateEnabled = true; // the template leaves it enabled until initialisation
    bool m_cancelEnabled = true;
    bool m_firmwareFieldEnabled = true;
    std::string m_cancelCaption = "Cancel";
    std::vector<std::string> m_entries;
    int m_selected = -1;
    int m_waitCursorDepth = 0; // begins minus ends, never below 0
    int m_maxWaitCursorDepth = 0;
    int m_refreshCount = 0;
    bool m_hasSystemMenu = true;
    std::vector<std::string> m_systemMenu; // "-" for a separator, otherwise "id:text"
    int m_iconsSet = 0;
    int m_aboutRuns = 0;
    std::vector<unsigned> m_defaultSysCommands;
    int m_endDialogCalls = 0;
    std::map<unsigned, std::string> m_textOverrides; // replaces string-table texts

    // Message boxes shown, and the answers to give (Ok / No when the queue is empty).
    std::vector<CMessageBox> m_messageBoxes;
    std::deque<EMessageAnswer> m_answers;

    // Every operation in call order, e.g. "status1=Text", "update=0", "cancelCaption=Close".
    std::vector<std::string> m_log;
    // Every text each status line has shown, in order.
    std::vector<std::string> m_history[3];
};

} // namespace sarnok::test
