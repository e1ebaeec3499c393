// IStatusLibrary over the maker's ORN_API.dll, imported when the program loads.
#pragma once

#include "ports/StatusLibrary.h"

namespace sarnok::win32 {

class CWin32StatusLibrary : public IStatusLibrary {
public:
    int GetCardPrinterInfo(const char* printerName, int infoType, void* buffer,
                           std::uint32_t bufferSize, std::uint32_t* requiredSize) override;
    int GetCardPrinterPollingState(const char* printerName, std::int32_t* state) override;
    int ResumePrinterPolling(const char* printerName, int flag) override;
};

} // namespace sarnok::win32
