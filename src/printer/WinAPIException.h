// The error a failed spool-job call raises. Raised and caught by value; copies share the
// system's message text, which the platform releases when the last copy is gone.
#pragma once

#include "ports/SystemServices.h"

#include <cstdint>

namespace sarnok {

class CWinAPIException {
public:
    // Takes the user's default language and asks the system for the code's text in it.
    CWinAPIException(std::uint32_t errorCode, ISystemServices& system);
    CWinAPIException(const CWinAPIException&) = default;
    CWinAPIException& operator=(const CWinAPIException&) = default;

    virtual std::uint32_t GetErrorCode() const;
    virtual ~CWinAPIException();

    std::uint16_t GetLanguage() const { return m_language; }
    // The system's text, or an empty text when the system has none for the code.
    const char* GetMessageText() const;

private:
    CSystemText m_messageText;
    std::uint32_t m_errorCode;
    std::uint16_t m_language;
};

} // namespace sarnok
