#include "printer/WinAPIException.h"

namespace sarnok {

CWinAPIException::CWinAPIException(std::uint32_t errorCode, ISystemServices& system)
    : m_errorCode(errorCode), m_language(system.GetUserDefaultLanguage()) {
    m_messageText = system.GetErrorText(m_errorCode, m_language);
}

std::uint32_t CWinAPIException::GetErrorCode() const {
    return m_errorCode;
}

CWinAPIException::~CWinAPIException() = default;

const char* CWinAPIException::GetMessageText() const {
    return m_messageText ? m_messageText.get() : "";
}

} // namespace sarnok
