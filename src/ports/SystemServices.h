// Small operating-system services the core needs, each behind one narrow call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace sarnok {

// A system message text whose storage belongs to the platform (FormatMessageA's buffer);
// the last owner releases it the platform's way (LocalFree).
using CSystemText = std::shared_ptr<const char>;

class ISystemServices {
public:
    virtual ~ISystemServices() = default;

    // Full path of the running executable, whatever its length; false when it cannot be read.
    virtual bool GetExecutablePath(std::string* path) = 0;
    // True when this is a 32-bit process on a 64-bit system; false where that cannot be asked.
    virtual bool IsWow64() = 0;
    virtual std::uint32_t GetLastErrorCode() = 0;
    virtual std::uint16_t GetUserDefaultLanguage() = 0;
    // The system's text for an error code in a language; may hold nullptr when there is none.
    virtual CSystemText GetErrorText(std::uint32_t code, std::uint16_t language) = 0;
    // CoTaskMemAlloc / CoTaskMemFree.
    virtual void* AllocateTaskMemory(std::size_t size) = 0;
    virtual void FreeTaskMemory(void* block) = 0;
    // Keeps the machine from sleeping while on is true (an update must not be cut by standby).
    virtual void KeepSystemAwake(bool on) = 0;
    // Upper-cases a text in the ANSI multibyte code page, double-byte characters as units
    // (_mbsupr_s).
    virtual std::string UpperCaseAnsi(const std::string& text) = 0;
};

// GetPrivateProfileStringA with no default: copies at most size - 1 characters of the value
// into buffer (always terminated when size > 0) and returns the number copied.
class IProfileReader {
public:
    virtual ~IProfileReader() = default;
    virtual std::uint32_t GetString(const char* section, const char* key, char* buffer,
                                    std::uint32_t size, const char* filePath) = 0;
};

// The Windows version API, as CVersionReader uses it.
class IVersionApi {
public:
    virtual ~IVersionApi() = default;
    virtual std::uint32_t GetInfoSize(const char* fileName) = 0;
    virtual bool GetInfo(const char* fileName, std::uint32_t size, void* block) = 0;
    virtual bool QueryValue(const void* block, const char* subBlock, const void** value,
                            std::uint32_t* length) = 0;
};

} // namespace sarnok
