// The Event Log under the product's one source, with the message table both programs carry.
#pragma once

#include "ports/EventLog.h"

#include <windows.h>

#include <string>

namespace sarnok::win32 {

inline constexpr const char* kEventSourceName = "Brelwin Card Printer Firmware";

class CWin32EventLog : public IEventLog {
public:
    explicit CWin32EventLog(std::string program) : m_program(std::move(program)) {}
    ~CWin32EventLog() override;
    CWin32EventLog(const CWin32EventLog&) = delete;
    CWin32EventLog& operator=(const CWin32EventLog&) = delete;

    bool Report(unsigned id, EEventType type, const std::vector<std::string>& strings) override;
    std::string Program() override { return m_program; }
    std::string Account() override;

private:
    std::string m_program;
    HANDLE m_hSource = nullptr;
    std::string m_account;
};

} // namespace sarnok::win32
