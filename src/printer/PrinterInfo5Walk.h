// Reading the printer records that a level-5 enumeration leaves in a fixed buffer. Kept free of
// platform headers so the walk can be checked against a mirror of the record on any host.
#pragma once

#include "ports/Spooler.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace sarnok {

// A text the spooler points to. Pointers into the buffer are read no further than its end, so a
// text without a terminator there cannot take the read past the buffer; a null pointer is the
// empty text.
inline std::string PrinterInfoText(const char* text, const unsigned char* buffer,
                                   std::size_t bufferSize) {
    if (text == nullptr) {
        return std::string();
    }
    const auto address = reinterpret_cast<std::uintptr_t>(text);
    const auto begin = reinterpret_cast<std::uintptr_t>(buffer);
    if (address >= begin && address < begin + bufferSize) {
        const std::size_t limit = static_cast<std::size_t>(begin + bufferSize - address);
        std::size_t length = 0;
        while (length < limit && text[length] != '\0') {
            ++length;
        }
        return std::string(text, length);
    }
    return std::string(text);
}

// Walks count records of type Record (which has pPrinterName and pPortName) from the start of
// the buffer, in order, and stops early at the first record that would not lie wholly inside the
// buffer. With 20-byte records and a 2000-byte buffer that is at most 100 records.
template <class Record>
std::vector<CPrinterEntry> WalkPrinterInfo5(const unsigned char* buffer, std::size_t bufferSize,
                                            std::uint32_t count) {
    std::vector<CPrinterEntry> printers;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t offset = static_cast<std::size_t>(i) * sizeof(Record);
        if (offset >= bufferSize || bufferSize - offset < sizeof(Record)) {
            break;
        }
        Record record;
        std::memcpy(&record, buffer + offset, sizeof(Record));
        CPrinterEntry entry;
        entry.m_name = PrinterInfoText(record.pPrinterName, buffer, bufferSize);
        entry.m_port = PrinterInfoText(record.pPortName, buffer, bufferSize);
        printers.push_back(std::move(entry));
    }
    return printers;
}

} // namespace sarnok
