// The maker's status library loaded when the program runs instead of when it starts, for the
// deployment console: a workstation of the fleet without the maker's software must get an
// answer from it, not a loader's error. The dialog keeps importing it at load time.
#pragma once

#include "ports/StatusLibrary.h"

#include <windows.h>

namespace sarnok::win32 {

class CWin32LoadedStatusLibrary : public IStatusLibrary {
public:
    CWin32LoadedStatusLibrary();
    ~CWin32LoadedStatusLibrary() override;
    CWin32LoadedStatusLibrary(const CWin32LoadedStatusLibrary&) = delete;
    CWin32LoadedStatusLibrary& operator=(const CWin32LoadedStatusLibrary&) = delete;

    // True when the library and its three entry points were found.
    bool Loaded() const { return m_info != nullptr && m_state != nullptr && m_resume != nullptr; }

    // Without the library every call fails as the library's own failure would.
    int GetCardPrinterInfo(const char* printerName, int infoType, void* buffer,
                           std::uint32_t bufferSize, std::uint32_t* requiredSize) override;
    int GetCardPrinterPollingState(const char* printerName, std::int32_t* state) override;
    int ResumePrinterPolling(const char* printerName, int flag) override;

private:
    using PFN_Info = int(WINAPI*)(const char*, int, void*, DWORD, DWORD*);
    using PFN_State = int(WINAPI*)(const char*, DWORD*);
    using PFN_Resume = int(WINAPI*)(const char*, int);

    HMODULE m_hModule = nullptr;
    PFN_Info m_info = nullptr;
    PFN_State m_state = nullptr;
    PFN_Resume m_resume = nullptr;
};

} // namespace sarnok::win32
