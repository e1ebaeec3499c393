// Decoding of the status library's records: any required size, any fetch result, any record
// bytes, and text pointers into the record (terminated or not) or to texts of the library's
// own, up to huge ones.
// Input: info type bit, 4 bytes required size, fetch result, two text choices, record bytes.
#include "printer/StatusInfo.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

using namespace sarnok;

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The largest record this side is prepared to allocate while fuzzing; larger sizes behave as
// an allocator that has no memory, which the fetch must survive.
constexpr std::uint32_t kLargestBuffer = 1u << 20;

std::uint8_t* Allocate(std::uint32_t size) {
    return size > kLargestBuffer ? nullptr : new (std::nothrow) std::uint8_t[size];
}

struct CText {
    enum class EWhere { Null, InRecord, Library } m_where = EWhere::Null;
    std::size_t m_value = 0; // offset in the record, or length of the library's text
};

class CFuzzLibrary : public IStatusLibrary {
public:
    int GetCardPrinterInfo(const char*, int infoType, void* buffer, std::uint32_t bufferSize,
                           std::uint32_t* requiredSize) override {
        *requiredSize = m_required;
        if (buffer == nullptr) {
            return 0;
        }
        auto* bytes = static_cast<std::uint8_t*>(buffer);
        const std::size_t copy = m_record.size() < bufferSize ? m_record.size() : bufferSize;
        if (copy != 0) {
            std::memcpy(bytes, m_record.data(), copy);
        }
        if (infoType == kInfoModelAndLibraryVersion && bufferSize >= kModelRecordSize) {
            const char* pointers[2] = {Place(m_model, bytes, bufferSize, 0),
                                       Place(m_version, bytes, bufferSize, 1)};
            std::memcpy(bytes, pointers, sizeof pointers);
        }
        return m_result;
    }
    int GetCardPrinterPollingState(const char*, std::int32_t* state) override {
        *state = 0;
        return 1;
    }
    int ResumePrinterPolling(const char*, int) override { return 1; }

    // Texts of the library's own memory are exactly as long as asked: below the members'
    // capacity they carry a terminator, from it on they need none.
    const char* Place(const CText& text, std::uint8_t* bytes, std::uint32_t size, int which) {
        switch (text.m_where) {
        case CText::EWhere::Null:
            return nullptr;
        case CText::EWhere::InRecord:
            return reinterpret_cast<const char*>(bytes + text.m_value % size);
        case CText::EWhere::Library:
            break;
        }
        const std::size_t length = text.m_value;
        const bool terminated = length < CFixedText<80>::kCapacity;
        auto& storage = m_library[which];
        storage = std::make_unique<char[]>(length + (terminated ? 1 : 0));
        std::memset(storage.get(), 'T', length);
        if (terminated) {
            storage[length] = '\0';
        }
        return storage.get();
    }

    std::uint32_t m_required = 0;
    int m_result = 1;
    std::vector<std::uint8_t> m_record;
    CText m_model;
    CText m_version;
    std::unique_ptr<char[]> m_library[2];
};

CText TakeText(std::uint8_t choice, std::uint8_t value) {
    CText text;
    switch (choice % 3) {
    case 0:
        break;
    case 1:
        text.m_where = CText::EWhere::InRecord;
        text.m_value = value;
        break;
    default:
        text.m_where = CText::EWhere::Library;
        // Lengths around the members' capacity, and far beyond it.
        text.m_value = (choice & 0x80) != 0 ? 10000 + value : value % 100;
        break;
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 10) {
        return 0;
    }
    CFuzzLibrary library;
    const int infoType = (data[0] & 1) != 0 ? kInfoModelAndLibraryVersion : kInfoFirmwareVersion;
    std::memcpy(&library.m_required, data + 1, 4);
    library.m_result = static_cast<std::int8_t>(data[5]);
    library.m_model = TakeText(data[6], data[7]);
    library.m_version = TakeText(data[8], data[9]);
    library.m_record.assign(data + 10, data + size);

    CCardPrinterInfo info(library, &Allocate);
    const std::uint32_t required = info.QuerySize("P1", infoType);
    Check(required == library.m_required);
    if (infoType == kInfoFirmwareVersion) {
        CFirmwareNumbers numbers{-5, -6};
        const bool read = info.FetchFirmwareNumbers("P1", required, &numbers);
        Check(read || (numbers.m_major == -5 && numbers.m_minor == -6));
        Check(!read || required >= kFirmwareRecordSize);
        return 0;
    }
    CFixedText<80> model("old model");
    CFixedText<80> version("old version");
    const bool read = info.FetchModelAndVersion("P1", required, &model, &version);
    if (!read) {
        Check(model == "old model" && version == "old version");
    }
    Check(model.size() < CFixedText<80>::kCapacity && version.size() < CFixedText<80>::kCapacity);
    return 0;
}
