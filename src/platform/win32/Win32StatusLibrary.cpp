#include "Win32StatusLibrary.h"

#include "OrnApi.h"

namespace sarnok::win32 {

// The library's out values are DWORDs; they go through locals so the port's fixed-width types
// never depend on DWORD's width, and whatever the caller preset is what the library sees.
int CWin32StatusLibrary::GetCardPrinterInfo(const char* printerName, int infoType, void* buffer,
                                            std::uint32_t bufferSize, std::uint32_t* requiredSize) {
    DWORD required = requiredSize != nullptr ? *requiredSize : 0;
    const int result = ::GetCardPrinterInfoA(printerName, infoType, buffer, bufferSize,
                                             requiredSize != nullptr ? &required : nullptr);
    if (requiredSize != nullptr) {
        *requiredSize = static_cast<std::uint32_t>(required);
    }
    return result;
}

int CWin32StatusLibrary::GetCardPrinterPollingState(const char* printerName, std::int32_t* state) {
    DWORD value = state != nullptr ? static_cast<DWORD>(*state) : 0;
    const int result =
        ::GetCardPrinterPollingStateA(printerName, state != nullptr ? &value : nullptr);
    if (state != nullptr) {
        *state = static_cast<std::int32_t>(value);
    }
    return result;
}

int CWin32StatusLibrary::ResumePrinterPolling(const char* printerName, int flag) {
    return ::ResumePrinterPollingA(printerName, flag);
}

} // namespace sarnok::win32
