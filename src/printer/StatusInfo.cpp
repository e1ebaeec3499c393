#include "printer/StatusInfo.h"

#include <cstring>
#include <memory>
#include <new>

namespace sarnok {

namespace {

// The record's fields are little-endian whatever the host is.
std::int32_t ReadInt32Le(const std::uint8_t* bytes) {
    const std::uint32_t value =
        static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
        static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return static_cast<std::int32_t>(value);
}

struct CModelRecord {
    const char* m_model;
    const char* m_libVersion;
};
static_assert(sizeof(CModelRecord) == kModelRecordSize);

// How far a record's text may be read: a text inside the buffer ends at the buffer's end at
// the latest, even without a terminator; one in the library's own memory at the member's size.
std::size_t TextLimit(const char* text, const std::uint8_t* buffer, std::uint32_t size) {
    const auto address = reinterpret_cast<std::uintptr_t>(text);
    const auto begin = reinterpret_cast<std::uintptr_t>(buffer);
    if (address >= begin && address - begin < size) {
        return static_cast<std::size_t>(size - (address - begin));
    }
    return CFixedText<80>::kCapacity;
}

} // namespace

std::uint8_t* AllocateInfoBuffer(std::uint32_t size) {
    // A size the library made up must not end the program: no memory is a failed fetch.
    return new (std::nothrow) std::uint8_t[size];
}

CCardPrinterInfo::CCardPrinterInfo(IStatusLibrary& library, InfoBufferAllocator allocate)
    : m_library(&library), m_allocate(allocate) {}

CCardPrinterInfo::CCardPrinterInfo(PFN_GetCardPrinterInfoA entry, InfoBufferAllocator allocate)
    : m_entry(entry), m_allocate(allocate) {}

int CCardPrinterInfo::Call(const char* printerName, int infoType, void* buffer, std::uint32_t size,
                           std::uint32_t* required) {
    if (m_library != nullptr) {
        return m_library->GetCardPrinterInfo(printerName, infoType, buffer, size, required);
    }
    return m_entry(printerName, infoType, buffer, size, required);
}

std::uint32_t CCardPrinterInfo::QuerySize(const char* printerName, int infoType) {
    std::uint32_t required = 0;
    Call(printerName, infoType, nullptr, 0, &required);
    return required;
}

bool CCardPrinterInfo::FetchFirmwareNumbers(const char* printerName, std::uint32_t size,
                                            CFirmwareNumbers* numbers) {
    const std::unique_ptr<std::uint8_t[]> buffer(m_allocate(size));
    if (!buffer) {
        return false;
    }
    std::uint32_t ignored = 0;
    if (Call(printerName, kInfoFirmwareVersion, buffer.get(), size, &ignored) == 0) {
        return false;
    }
    if (size < kFirmwareRecordSize) {
        return false;
    }
    numbers->m_major = ReadInt32Le(buffer.get() + 16);
    numbers->m_minor = ReadInt32Le(buffer.get() + 20);
    return true;
}

bool CCardPrinterInfo::FetchModelAndVersion(const char* printerName, std::uint32_t size,
                                            CFixedText<80>* model, CFixedText<80>* libVersion) {
    const std::unique_ptr<std::uint8_t[]> buffer(m_allocate(size));
    if (!buffer) {
        return false;
    }
    std::uint32_t ignored = 0;
    if (Call(printerName, kInfoModelAndLibraryVersion, buffer.get(), size, &ignored) == 0) {
        return false;
    }
    if (size < kModelRecordSize) {
        return false;
    }
    CModelRecord record;
    std::memcpy(&record, buffer.get(), sizeof record);
    // Only a text that is read must be there: the legacy copy is asked for the model alone,
    // and a null version pointer must not cost it that.
    if (record.m_model == nullptr || (libVersion != nullptr && record.m_libVersion == nullptr)) {
        return false;
    }
    // The texts may live inside the buffer: copy them before it goes.
    model->AssignBounded(record.m_model, TextLimit(record.m_model, buffer.get(), size));
    if (libVersion != nullptr) {
        libVersion->AssignBounded(record.m_libVersion,
                                  TextLimit(record.m_libVersion, buffer.get(), size));
    }
    return true;
}

} // namespace sarnok
