// The maker's printer status library.
#pragma once

#include "ports/Handles.h"

#include <cstdint>

namespace sarnok {

// The form of GetCardPrinterInfoA, shared by the legacy copy's "_GetCardPrinterInfoA@20".
using PFN_GetCardPrinterInfoA = int(SARNOK_STDCALL*)(const char* printerName, int infoType,
                                                     void* buffer, std::uint32_t bufferSize,
                                                     std::uint32_t* requiredSize);

inline constexpr int kInfoModelAndLibraryVersion = 1;
inline constexpr int kInfoFirmwareVersion = 2;

class IStatusLibrary {
public:
    virtual ~IStatusLibrary() = default;

    virtual int GetCardPrinterInfo(const char* printerName, int infoType, void* buffer,
                                   std::uint32_t bufferSize, std::uint32_t* requiredSize) = 0;
    // Non-zero state: the library is still polling the printer.
    virtual int GetCardPrinterPollingState(const char* printerName, std::int32_t* state) = 0;
    virtual int ResumePrinterPolling(const char* printerName, int flag) = 0;
};

} // namespace sarnok
