// The walk over a level-5 printer enumeration: any buffer size, any record count, any bytes,
// with the texts the records point to anywhere in the buffer, terminated or not.
// Input: 2 bytes buffer size, 4 bytes count, then the buffer's bytes.
#include "printer/PrinterInfo5Walk.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace sarnok;

namespace {

// The platform's record on this host: two text pointers and three 32-bit fields.
struct CRecord {
    char* pPrinterName;
    char* pPortName;
    std::uint32_t Attributes;
    std::uint32_t DeviceNotSelectedTimeout;
    std::uint32_t TransmissionRetryTimeout;
};

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::uint32_t Le32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// The spooler points only into the buffer (or nowhere); the input picks where.
char* PointerFrom(std::uint32_t raw, unsigned char* buffer, std::size_t size) {
    if (raw % 5 == 0 || size == 0) {
        return nullptr;
    }
    return reinterpret_cast<char*>(buffer + (raw / 5) % size);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) {
        return 0;
    }
    const std::size_t bufferSize = (static_cast<std::size_t>(data[0]) | data[1] << 8) % 4097;
    const std::uint32_t count = Le32(data + 2);
    data += 6;
    size -= 6;

    // Exactly bufferSize bytes on the heap, so a read past the end is caught.
    const auto buffer = std::make_unique<unsigned char[]>(bufferSize == 0 ? 1 : bufferSize);
    for (std::size_t i = 0; i < bufferSize; ++i) {
        buffer[i] = i < size ? data[i] : 0;
    }
    for (std::size_t offset = 0; offset + sizeof(CRecord) <= bufferSize;
         offset += sizeof(CRecord)) {
        CRecord record;
        std::memcpy(&record, buffer.get() + offset, sizeof record);
        std::uint32_t name = 0;
        std::uint32_t port = 0;
        std::memcpy(&name, buffer.get() + offset, sizeof name);
        std::memcpy(&port, buffer.get() + offset + sizeof(char*), sizeof port);
        record.pPrinterName = PointerFrom(name, buffer.get(), bufferSize);
        record.pPortName = PointerFrom(port, buffer.get(), bufferSize);
        std::memcpy(buffer.get() + offset, &record, sizeof record);
    }

    const std::vector<CPrinterEntry> printers =
        WalkPrinterInfo5<CRecord>(buffer.get(), bufferSize, count);

    Check(printers.size() <= count);
    Check(printers.size() <= bufferSize / sizeof(CRecord));
    for (const CPrinterEntry& printer : printers) {
        Check(printer.m_name.size() <= bufferSize);
        Check(printer.m_port.size() <= bufferSize);
    }
    return 0;
}
