// The main dialog's view without a window: it keeps the three status lines, writes every change
// of them with the time since the start and the printer's name, and answers message boxes as
// an unattended run must (the same-version question: Yes only when asked to reinstall).
#pragma once

#include "LogRecord.h"
#include "app/MainView.h"
#include "ports/Clock.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace sarnok::deploy {

// Where the console's lines go: the console (unless a JSON document is printed instead) and
// the log.
class CDeployOutput {
public:
    // How a log line is written: the message and its type as one line, without its end.
    using CLogFormat = std::function<std::string(const std::string&, ELogType)>;
    // How a line reaches the console: the platform's writer, given the line with its end.
    using CWriter = std::function<void(const std::string&)>;

    // Either may be null. Log lines end with CR LF whatever the platform, for Notepad; without
    // a format they are the text as it is. Control characters reach neither as they are.
    CDeployOutput(CWriter out, std::FILE* log, CLogFormat format = {})
        : m_out(out), m_log(log), m_format(std::move(format)) {}
    // stamped: the text begins with the seconds since the start already; the log's record of
    // any other text is given them.
    void Line(const std::string& text, ELogType type = ELogType::Information, bool stamped = false);
    void LogOnly(const std::string& text, ELogType type = ELogType::Information,
                 bool stamped = false);
    // "  12.3 s  " for the log's records from now on.
    void SetElapsed(std::function<std::string()> elapsed) { m_elapsed = std::move(elapsed); }

private:
    CWriter m_out;
    std::FILE* m_log;
    CLogFormat m_format;
    std::function<std::string()> m_elapsed;
};

class CConsoleView : public IMainView {
public:
    using CTextLoader = std::function<std::string(unsigned)>;

    CConsoleView(CTextLoader texts, IClock& clock, std::uint32_t startTick, CDeployOutput& output,
                 std::string printer, bool reinstall);

    std::string LoadText(unsigned id) override;
    void SetStatusText(int line, const std::string& text) override;
    void SetFirmwareText(const std::string&) override {}
    void EnableUpdate(bool on) override { m_updateEnabled = on; }
    void SetCancelCaption(const std::string&) override {}
    void EnableCancel(bool) override {}
    void AddPrinterEntry(const std::string&) override {}
    int GetSelectedPrinterIndex() override { return m_selected; }
    EMessageAnswer ShowMessageBox(const std::string& text, const std::string& caption,
                                  EMessageButtons buttons) override;
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

    // "  12.3 s  NAME  " before a line of this printer.
    std::string Stamp() const;
    // "  12.3 s  ": the seconds since the start.
    static std::string Elapsed(IClock& clock, std::uint32_t startTick);

    std::array<std::string, 3> m_lines;
    int m_selected = -1;
    bool m_updateEnabled = false;
    // Changes are written only while echoing: the discovery each printer's fresh dialog
    // repeats would otherwise write the same list prompt once per printer.
    bool m_echo = true;

private:
    CTextLoader m_texts;
    IClock& m_clock;
    std::uint32_t m_startTick;
    CDeployOutput& m_output;
    std::string m_printer;
    bool m_reinstall;
};

} // namespace sarnok::deploy
