// A main-dialog view that only records what the dialog shows, for Windows tests that drive the
// dialog's logic over the real adapters.
#pragma once

#include "app/MainView.h"

#include <array>
#include <string>

namespace sarnok::test {

class CRecordingView : public IMainView {
public:
    std::string LoadText(unsigned id) override { return "text " + std::to_string(id); }
    void SetStatusText(int line, const std::string& text) override {
        if (line >= 1 && line <= 3) {
            m_status[static_cast<std::size_t>(line - 1)] = text;
        }
    }
    void SetFirmwareText(const std::string& text) override { m_firmware = text; }
    void EnableUpdate(bool on) override { m_updateEnabled = on; }
    void SetCancelCaption(const std::string& text) override { m_cancelCaption = text; }
    void EnableCancel(bool) override {}
    void AddPrinterEntry(const std::string&) override {}
    int GetSelectedPrinterIndex() override { return -1; }
    EMessageAnswer ShowMessageBox(const std::string&, const std::string&,
                                  EMessageButtons) override {
        ++m_messageBoxes;
        return EMessageAnswer::No;
    }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void RefreshNow() override {}
    void DisableFirmwareField() override {}
    bool HasSystemMenu() override { return false; }
    void AppendSystemMenuSeparator() override {}
    void AppendSystemMenuItem(unsigned, const std::string&) override {}
    void SetWindowIcons() override {}
    void RunAboutBox() override {}
    void DefaultSysCommand(unsigned, long) override {}
    void EndDialogCancel() override {}

    const std::string& Status(int line) const {
        return m_status[static_cast<std::size_t>(line - 1)];
    }

    std::array<std::string, 3> m_status;
    std::string m_firmware;
    std::string m_cancelCaption;
    bool m_updateEnabled = true;
    int m_messageBoxes = 0;
};

} // namespace sarnok::test
