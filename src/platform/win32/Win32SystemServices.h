// ISystemServices over the Windows kernel, user, COM task memory and power functions.
#pragma once

#include "ports/SystemServices.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sarnok::win32 {

class CWin32SystemServices : public ISystemServices {
public:
    bool GetExecutablePath(std::string* path) override;
    bool IsWow64() override;
    std::uint32_t GetLastErrorCode() override;
    std::uint16_t GetUserDefaultLanguage() override;
    CSystemText GetErrorText(std::uint32_t code, std::uint16_t language) override;
    void* AllocateTaskMemory(std::size_t size) override;
    void FreeTaskMemory(void* block) override;
    void KeepSystemAwake(bool on) override;
    std::string UpperCaseAnsi(const std::string& text) override;
};

// This process's TOKEN_USER (the account's SID), as GetTokenInformation gives it; empty when it
// cannot be read.
std::vector<std::uint8_t> ProcessTokenUser();

// The account this process runs as, "DOMAIN\\user"; empty when it cannot be told.
std::string ProcessAccountName();

// The machine's ProgramData folder from the shell, in the 8-bit code page; empty when unknown.
std::string ProgramDataFolder();

// Text in the 8-bit code page as UTF-8, and back.
std::string AnsiToUtf8(const std::string& text);
std::string Utf8ToAnsi(const std::string& text);
// Text in the 8-bit code page as UTF-16, and in another code page (a character it lacks as its
// nearest or "?").
std::wstring AnsiToWide(const std::string& text);
std::string AnsiToCodePage(const std::string& text, unsigned codePage);

} // namespace sarnok::win32
