// The walk over the records that a level-5 printer enumeration leaves in the fixed buffer,
// checked on mirrors of the record with the layouts of the 32-bit and 64-bit systems.
#include "printer/PrinterInfo5Walk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace sarnok::test {
namespace {

// 32-bit layout: two pointers and three 32-bit fields in 20 bytes (packed here, as 64-bit
// pointers would otherwise pad the record).
#pragma pack(push, 4)
struct CRecord20 {
    char* pPrinterName;
    char* pPortName;
    std::uint32_t Attributes;
};
#pragma pack(pop)

// A record whose size does not divide the buffer, as on 64-bit systems (32 bytes there).
struct CRecordOdd {
    char* pPrinterName;
    char* pPortName;
    std::uint32_t Attributes;
    std::uint32_t DeviceNotSelectedTimeout;
    std::uint32_t TransmissionRetryTimeout;
    std::uint8_t m_pad[4];
};

// Lays records out at the start of a buffer and their texts behind them, as the spooler does.
template <class Record>
class CEnumerationBuffer {
public:
    explicit CEnumerationBuffer(std::size_t size = kEnumerationBufferSize) : m_bytes(size, 0xCD) {}

    // Writes record index with texts placed at the given offsets (or null).
    void Put(std::size_t index, const char* name, const char* port, std::size_t textOffset) {
        Record record{};
        record.pPrinterName = name ? Text(name, textOffset) : nullptr;
        textOffset += name ? std::strlen(name) + 1 : 0;
        record.pPortName = port ? Text(port, textOffset) : nullptr;
        std::memcpy(m_bytes.data() + index * sizeof(Record), &record, sizeof(Record));
    }
    // A pointer to offset, with text copied there; the terminator only when it fits.
    char* Text(const char* text, std::size_t offset) {
        const std::size_t length = std::strlen(text);
        for (std::size_t i = 0; i <= length && offset + i < m_bytes.size(); ++i) {
            m_bytes[offset + i] = static_cast<unsigned char>(text[i]);
        }
        return reinterpret_cast<char*>(m_bytes.data() + offset);
    }
    std::vector<CPrinterEntry> Walk(std::uint32_t count) {
        return WalkPrinterInfo5<Record>(m_bytes.data(), m_bytes.size(), count);
    }
    std::vector<unsigned char> m_bytes;
};

std::vector<std::string> Names(const std::vector<CPrinterEntry>& printers) {
    std::vector<std::string> names;
    for (const CPrinterEntry& printer : printers) {
        names.push_back(printer.m_name);
    }
    return names;
}

TEST(PrinterInfo5WalkTest, ReadsNamesAndPortsInOrder) {
    CEnumerationBuffer<CRecord20> buffer;
    buffer.Put(0, "P2", "USB002", 1000);
    buffer.Put(1, "Office laser", "LPT1:", 1100);
    buffer.Put(2, "P1", "USB001", 1200);

    const auto printers = buffer.Walk(3);

    ASSERT_EQ(printers.size(), 3u);
    EXPECT_EQ(printers[0].m_name, "P2");
    EXPECT_EQ(printers[0].m_port, "USB002");
    EXPECT_EQ(printers[1].m_name, "Office laser");
    EXPECT_EQ(printers[1].m_port, "LPT1:");
    EXPECT_EQ(printers[2].m_name, "P1");
    EXPECT_EQ(printers[2].m_port, "USB001");
}

TEST(PrinterInfo5WalkTest, NoRecordsGivesNoPrinters) {
    CEnumerationBuffer<CRecord20> buffer;
    EXPECT_TRUE(buffer.Walk(0).empty());
}

TEST(PrinterInfo5WalkTest, TwentyByteRecordsStopAfterOneHundred) {
    static_assert(sizeof(CRecord20) == 20);
    CEnumerationBuffer<CRecord20> buffer;
    // The walk must not look beyond record 100, whatever the count claims.
    for (std::size_t i = 0; i < 100; ++i) {
        CRecord20 record{};
        std::memcpy(buffer.m_bytes.data() + i * sizeof record, &record, sizeof record);
    }
    EXPECT_EQ(buffer.Walk(100).size(), 100u);
    EXPECT_EQ(buffer.Walk(101).size(), 100u);
    EXPECT_EQ(buffer.Walk(0xFFFFFFFFu).size(), 100u);
    EXPECT_EQ(buffer.Walk(37).size(), 37u);
}

TEST(PrinterInfo5WalkTest, RecordThatWouldCrossTheBufferEndIsNotRead) {
    // 2000 / 32 = 62.5: record 62 would start inside the buffer but end 16 bytes past it.
    static_assert(kEnumerationBufferSize % sizeof(CRecordOdd) != 0);
    CEnumerationBuffer<CRecordOdd> buffer;
    for (std::size_t i = 0; i < 70; ++i) {
        CRecordOdd record{};
        if (i * sizeof record + sizeof record <= buffer.m_bytes.size()) {
            std::memcpy(buffer.m_bytes.data() + i * sizeof record, &record, sizeof record);
        }
    }
    EXPECT_EQ(buffer.Walk(70).size(), kEnumerationBufferSize / sizeof(CRecordOdd));
}

TEST(PrinterInfo5WalkTest, MissingTextsAreEmpty) {
    CEnumerationBuffer<CRecord20> buffer;
    buffer.Put(0, nullptr, "USB001", 1000);
    buffer.Put(1, "P1", nullptr, 1100);

    const auto printers = buffer.Walk(2);

    ASSERT_EQ(printers.size(), 2u);
    EXPECT_EQ(printers[0].m_name, "");
    EXPECT_EQ(printers[0].m_port, "USB001");
    EXPECT_EQ(printers[1].m_name, "P1");
    EXPECT_EQ(printers[1].m_port, "");
}

TEST(PrinterInfo5WalkTest, HugeNamesAndHighBytesAreKeptIntact) {
    CEnumerationBuffer<CRecord20> buffer;
    const std::string longName(900, 'x');
    const std::string highBytes = "Karten\xC4\xE9\xFF\x81\x40 drucker";
    buffer.Put(0, longName.c_str(), "USB\xA0", 100);
    buffer.Put(1, highBytes.c_str(), "\x82\xA0\x82\xA2", 1100);

    const auto printers = buffer.Walk(2);

    ASSERT_EQ(printers.size(), 2u);
    EXPECT_EQ(printers[0].m_name, longName);
    EXPECT_EQ(printers[0].m_port, "USB\xA0");
    EXPECT_EQ(printers[1].m_name, highBytes);
    EXPECT_EQ(printers[1].m_port, "\x82\xA0\x82\xA2");
}

TEST(PrinterInfo5WalkTest, TextWithoutTerminatorStopsAtTheBufferEnd) {
    CEnumerationBuffer<CRecord20> buffer;
    // The name runs to the last byte of the buffer with no terminator inside it.
    buffer.Put(0, "ABCDEFGHIJ", nullptr, kEnumerationBufferSize - 10);
    buffer.Put(1, "P1", "USB002", 1000);

    const auto printers = buffer.Walk(2);

    ASSERT_EQ(printers.size(), 2u);
    EXPECT_EQ(printers[0].m_name, "ABCDEFGHIJ");
    EXPECT_EQ(Names(printers), (std::vector<std::string>{"ABCDEFGHIJ", "P1"}));
}

} // namespace
} // namespace sarnok::test
