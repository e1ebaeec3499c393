// Information requests to the status library: a size query, then a fetch into a buffer of
// exactly that size which this side owns, read only when the library says it filled it.
#pragma once

#include "app/FixedText.h"
#include "ports/StatusLibrary.h"

#include <cstddef>
#include <cstdint>

namespace sarnok {

// Record sizes below which a record cannot hold its fields.
inline constexpr std::uint32_t kFirmwareRecordSize = 24;
inline constexpr std::uint32_t kModelRecordSize = 2 * sizeof(const char*);

struct CFirmwareNumbers {
    std::int32_t m_major = 0;
    std::int32_t m_minor = 0;
};

// A buffer of exactly size bytes allocated with new[], or nullptr when none can be had.
using InfoBufferAllocator = std::uint8_t* (*)(std::uint32_t size);
std::uint8_t* AllocateInfoBuffer(std::uint32_t size);

// One way of asking: the status library the program is linked with, or the bare entry point
// of the legacy copy. Both answer the same requests with the same records.
class CCardPrinterInfo {
public:
    explicit CCardPrinterInfo(IStatusLibrary& library,
                              InfoBufferAllocator allocate = &AllocateInfoBuffer);
    explicit CCardPrinterInfo(PFN_GetCardPrinterInfoA entry,
                              InfoBufferAllocator allocate = &AllocateInfoBuffer);

    // The record size the library reports for the printer; 0 when it has nothing.
    std::uint32_t QuerySize(const char* printerName, int infoType);

    // Each fetch writes its outputs only when the whole record was read; on any failure
    // (no buffer, the library refused, a record too short, a wanted text missing) they keep
    // their values and the result is false.
    bool FetchFirmwareNumbers(const char* printerName, std::uint32_t size,
                              CFirmwareNumbers* numbers);
    // Both texts are copied out, cut to the members' capacity, before the buffer is freed.
    // libVersion may be nullptr when only the model name is wanted.
    bool FetchModelAndVersion(const char* printerName, std::uint32_t size, CFixedText<80>* model,
                              CFixedText<80>* libVersion);

private:
    int Call(const char* printerName, int infoType, void* buffer, std::uint32_t size,
             std::uint32_t* required);

    IStatusLibrary* m_library = nullptr;
    PFN_GetCardPrinterInfoA m_entry = nullptr;
    InfoBufferAllocator m_allocate;
};

} // namespace sarnok
