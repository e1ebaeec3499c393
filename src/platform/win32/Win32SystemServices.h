// ISystemServices over the Windows kernel, user, COM task memory and power functions.
#pragma once

#include "ports/SystemServices.h"

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

} // namespace sarnok::win32
