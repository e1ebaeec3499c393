#include "ConsoleView.h"

#include <cstdio>

namespace sarnok::deploy {

namespace {

// A message box's text on one line of the log.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

} // namespace

void CDeployOutput::Line(const std::string& text, ELogType type, bool stamped) {
    if (m_out) {
        // One line: an LF in a printer's name must not make it two.
        m_out(BlankControls(text) + "\n");
    }
    LogOnly(text, type, stamped);
}

void CDeployOutput::LogOnly(const std::string& text, ELogType type, bool stamped) {
    if (m_log == nullptr) {
        return;
    }
    const std::string message = stamped || !m_elapsed ? text : m_elapsed() + text;
    const std::string line = m_format ? m_format(message, type) : BlankControls(message);
    std::fprintf(m_log, "%s\r\n", line.c_str());
    std::fflush(m_log);
}

CConsoleView::CConsoleView(CTextLoader texts, IClock& clock, std::uint32_t startTick,
                           CDeployOutput& output, std::string printer, bool reinstall)
    : m_texts(std::move(texts)), m_clock(clock), m_startTick(startTick), m_output(output),
      m_printer(std::move(printer)), m_reinstall(reinstall) {}

std::string CConsoleView::LoadText(unsigned id) {
    return m_texts(id);
}

std::string CConsoleView::Elapsed(IClock& clock, std::uint32_t startTick) {
    const std::uint32_t elapsed = TicksSince(startTick, clock.GetTickCount());
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%7.1f s  ", elapsed / 1000.0);
    return seconds;
}

std::string CConsoleView::Stamp() const {
    return Elapsed(m_clock, m_startTick) + m_printer + "  ";
}

void CConsoleView::SetStatusText(int line, const std::string& text) {
    if (line < 1 || line > 3 || m_lines[line - 1] == text) {
        return;
    }
    m_lines[line - 1] = text;
    if (m_echo) {
        m_output.Line(Stamp() + "[" + std::to_string(line) + "] " +
                          (text.empty() ? "(cleared)" : text),
                      ELogType::Information, true);
    }
}

EMessageAnswer CConsoleView::ShowMessageBox(const std::string& text, const std::string& caption,
                                            EMessageButtons buttons) {
    EMessageAnswer answer = EMessageAnswer::Ok;
    if (buttons == EMessageButtons::YesNoDefaultNo) {
        // The only question the dialog asks: whether to send the version the printer has.
        answer = m_reinstall ? EMessageAnswer::Yes : EMessageAnswer::No;
    }
    const char* word = answer == EMessageAnswer::Yes  ? "Yes"
                       : answer == EMessageAnswer::No ? "No"
                                                      : "OK";
    m_output.LogOnly(Stamp() + "message box \"" + caption + "\": " + OneLine(text) + " -> " + word,
                     ELogType::Information, true);
    return answer;
}

} // namespace sarnok::deploy
