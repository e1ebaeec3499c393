#include "fakes/FakeView.h"

#include <fstream>
#include <regex>
#include <stdexcept>

namespace sarnok::test {

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Resource-script string syntax: "" is one quote, \n a line break, \\ a backslash.
std::string Unquote(const std::string& raw) {
    std::string text;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '"' && i + 1 < raw.size() && raw[i + 1] == '"') {
            text += '"';
            ++i;
        } else if (raw[i] == '\\' && i + 1 < raw.size()) {
            const char next = raw[++i];
            text += next == 'n' ? '\n' : next == 't' ? '\t' : next;
        } else {
            text += raw[i];
        }
    }
    return text;
}

std::map<unsigned, std::string> LoadStringTable() {
    const std::string dir = SARNOK_RESOURCE_DIR;
    std::map<std::string, unsigned> ids;
    const std::string header = ReadFile(dir + "/resource.h");
    const std::regex define(R"(#define\s+(IDS_\w+)\s+(\d+))");
    for (auto it = std::sregex_iterator(header.begin(), header.end(), define);
         it != std::sregex_iterator(); ++it) {
        ids[(*it)[1]] = static_cast<unsigned>(std::stoul((*it)[2]));
    }
    std::map<unsigned, std::string> table;
    const std::string script = ReadFile(dir + "/StringTable.rc2");
    const std::regex entry(R"re(^\s*(IDS_\w+)\s+"((?:[^"]|"")*)"\s*$)re", std::regex::multiline);
    for (auto it = std::sregex_iterator(script.begin(), script.end(), entry);
         it != std::sregex_iterator(); ++it) {
        table[ids.at((*it)[1])] = Unquote((*it)[2]);
    }
    return table;
}

} // namespace

const std::map<unsigned, std::string>& StringTable() {
    static const std::map<unsigned, std::string> table = LoadStringTable();
    return table;
}

std::string CFakeView::LoadText(unsigned id) {
    m_log.push_back("load=" + std::to_string(id));
    if (const auto it = m_textOverrides.find(id); it != m_textOverrides.end()) {
        return it->second;
    }
    const auto& table = StringTable();
    const auto it = table.find(id);
    return it == table.end() ? std::string() : it->second;
}

void CFakeView::SetStatusText(int line, const std::string& text) {
    if (line < 1 || line > 3) {
        throw std::out_of_range("status line " + std::to_string(line));
    }
    m_status[line - 1] = text;
    m_history[line - 1].push_back(text);
    m_log.push_back("status" + std::to_string(line) + "=" + text);
}

void CFakeView::SetFirmwareText(const std::string& text) {
    m_firmwareText = text;
    m_log.push_back("firmware=" + text);
}

void CFakeView::EnableUpdate(bool on) {
    m_updateEnabled = on;
    m_log.push_back(std::string("update=") + (on ? "1" : "0"));
}

void CFakeView::SetCancelCaption(const std::string& text) {
    m_cancelCaption = text;
    m_log.push_back("cancelCaption=" + text);
}

void CFakeView::EnableCancel(bool on) {
    m_cancelEnabled = on;
    m_log.push_back(std::string("cancel=") + (on ? "1" : "0"));
}

void CFakeView::AddPrinterEntry(const std::string& text) {
    m_entries.push_back(text);
    m_log.push_back("entry=" + text);
}

int CFakeView::GetSelectedPrinterIndex() {
    m_log.push_back("selected?");
    return m_selected;
}

EMessageAnswer CFakeView::ShowMessageBox(const std::string& text, const std::string& caption,
                                         EMessageButtons buttons) {
    m_messageBoxes.push_back({text, caption, buttons});
    m_log.push_back("box=" + caption + ":" + text);
    if (!m_answers.empty()) {
        const EMessageAnswer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    return buttons == EMessageButtons::Ok ? EMessageAnswer::Ok : EMessageAnswer::No;
}

void CFakeView::BeginWaitCursor() {
    ++m_waitCursorDepth;
    if (m_waitCursorDepth > m_maxWaitCursorDepth) {
        m_maxWaitCursorDepth = m_waitCursorDepth;
    }
    m_log.push_back("beginWait");
}

void CFakeView::EndWaitCursor() {
    if (--m_waitCursorDepth < 0) {
        m_waitCursorDepth = 0;
    }
    m_log.push_back("endWait");
}

void CFakeView::RefreshNow() {
    ++m_refreshCount;
    m_log.push_back("refresh");
}

void CFakeView::DisableFirmwareField() {
    m_firmwareFieldEnabled = false;
    m_log.push_back("firmwareField=0");
}

bool CFakeView::HasSystemMenu() {
    return m_hasSystemMenu;
}

void CFakeView::AppendSystemMenuSeparator() {
    m_systemMenu.push_back("-");
}

void CFakeView::AppendSystemMenuItem(unsigned commandId, const std::string& text) {
    m_systemMenu.push_back(std::to_string(commandId) + ":" + text);
}

void CFakeView::SetWindowIcons() {
    ++m_iconsSet;
}

void CFakeView::RunAboutBox() {
    ++m_aboutRuns;
}

void CFakeView::DefaultSysCommand(unsigned command, long /*parameter*/) {
    m_defaultSysCommands.push_back(command);
}

void CFakeView::EndDialogCancel() {
    ++m_endDialogCalls;
}

} // namespace sarnok::test
