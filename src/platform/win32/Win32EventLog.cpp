#include "Win32EventLog.h"

#include "Win32SystemServices.h"
#include "app/PlainText.h"

#include <vector>

namespace sarnok::win32 {

namespace {

WORD EventType(EEventType type) {
    switch (type) {
    case EEventType::Information:
        return EVENTLOG_INFORMATION_TYPE;
    case EEventType::Warning:
        return EVENTLOG_WARNING_TYPE;
    case EEventType::Error:
        return EVENTLOG_ERROR_TYPE;
    }
    return EVENTLOG_INFORMATION_TYPE;
}

} // namespace

CWin32EventLog::~CWin32EventLog() {
    if (m_hSource != nullptr) {
        ::DeregisterEventSource(m_hSource);
    }
}

bool CWin32EventLog::Report(unsigned id, EEventType type, const std::vector<std::string>& strings) {
    if (m_hSource == nullptr) {
        m_hSource = ::RegisterEventSourceA(nullptr, kEventSourceName);
        if (m_hSource == nullptr) {
            return false;
        }
    }
    // A NUL would end an insertion string early, an escape would reach whoever reads the event.
    std::vector<std::string> blanked;
    blanked.reserve(strings.size());
    for (const std::string& text : strings) {
        blanked.push_back(BlankControls(text));
    }
    std::vector<const char*> texts;
    for (const std::string& text : blanked) {
        texts.push_back(text.c_str());
    }
    return ::ReportEventA(m_hSource, EventType(type), 0, id, nullptr,
                          static_cast<WORD>(texts.size()), 0, texts.data(), nullptr) != FALSE;
}

std::string CWin32EventLog::Account() {
    if (m_account.empty()) {
        m_account = ProcessAccountName();
    }
    return m_account;
}

} // namespace sarnok::win32
