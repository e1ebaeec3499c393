#include "fakes/FakeStatusLibrary.h"

#include <cstring>

namespace sarnok::test {

namespace {

struct CInfo1Record {
    const char* m_model;
    const char* m_libVersion;
};

} // namespace

int CFakeStatusLibrary::Count(const std::string& prefix) const {
    int count = 0;
    for (const std::string& call : m_calls) {
        count += call.rfind(prefix, 0) == 0 ? 1 : 0;
    }
    return count;
}

int CFakeStatusLibrary::GetCardPrinterInfo(const char* printerName, int infoType, void* buffer,
                                           std::uint32_t bufferSize, std::uint32_t* requiredSize) {
    const std::string name = printerName;
    const bool sizeQuery = buffer == nullptr;
    m_calls.push_back(std::string(sizeQuery ? "size:" : "fetch:") + name + ":" +
                      std::to_string(infoType));
    const auto it = m_printers.find(name);
    if (it == m_printers.end()) {
        *requiredSize = 0;
        return 0;
    }
    CPrinter& printer = it->second;
    if (infoType == 2) {
        *requiredSize = printer.m_firmwareSize;
        if (sizeQuery) {
            return 0;
        }
        if (m_beforeFirmwareFetch) {
            m_beforeFirmwareFetch(printer);
        }
        if (printer.m_firmwareFetchFails || bufferSize < 24) {
            return 0;
        }
        std::memset(buffer, 0, bufferSize);
        std::memcpy(static_cast<char*>(buffer) + 16, &printer.m_major, 4);
        std::memcpy(static_cast<char*>(buffer) + 20, &printer.m_minor, 4);
        return 1;
    }
    if (infoType == 1) {
        *requiredSize = printer.m_infoMissing     ? 0
                        : printer.m_infoSize != 0 ? printer.m_infoSize
                                                  : sizeof(CInfo1Record);
        if (sizeQuery) {
            return 0;
        }
        if (printer.m_infoFetchFails || bufferSize < sizeof(CInfo1Record)) {
            return 0;
        }
        m_texts.push_back(printer.m_model);
        const char* model = m_texts.back().c_str();
        m_texts.push_back(printer.m_libVersion);
        const CInfo1Record record{model, m_texts.back().c_str()};
        std::memset(buffer, 0, bufferSize);
        std::memcpy(buffer, &record, sizeof record);
        return 1;
    }
    *requiredSize = 0;
    return 0;
}

int CFakeStatusLibrary::GetCardPrinterPollingState(const char* printerName, std::int32_t* state) {
    const std::string name = printerName;
    m_calls.push_back("state:" + name);
    const auto it = m_printers.find(name);
    if (it == m_printers.end()) {
        *state = 1;
        return 0;
    }
    auto& states = it->second.m_pollingStates;
    *state = states.front();
    if (states.size() > 1) {
        states.pop_front();
    }
    return 1;
}

int CFakeStatusLibrary::ResumePrinterPolling(const char* printerName, int flag) {
    m_calls.push_back("resume:" + std::string(printerName) + ":" + std::to_string(flag));
    return 1;
}

} // namespace sarnok::test
