// A status library whose answers are scripted per printer and whose calls are counted.
#pragma once

#include "ports/StatusLibrary.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sarnok::test {

class CFakeStatusLibrary : public IStatusLibrary {
public:
    struct CPrinter {
        // Info type 2.
        std::uint32_t m_firmwareSize = 24;
        bool m_firmwareFetchFails = false;
        std::int32_t m_major = 0;
        std::int32_t m_minor = 0;
        // Info type 1.
        std::uint32_t m_infoSize = 0; // 0: the natural size of the record
        bool m_infoMissing = false;   // the size query reports 0
        bool m_infoFetchFails = false;
        std::string m_model;
        std::string m_libVersion;
        // Polling: states returned by successive reads; the last one repeats.
        std::deque<std::int32_t> m_pollingStates{0};
    };

    int GetCardPrinterInfo(const char* printerName, int infoType, void* buffer,
                           std::uint32_t bufferSize, std::uint32_t* requiredSize) override;
    int GetCardPrinterPollingState(const char* printerName, std::int32_t* state) override;
    int ResumePrinterPolling(const char* printerName, int flag) override;

    std::map<std::string, CPrinter> m_printers;
    // Called before every info-type-2 fetch; lets a test make the printer "restart".
    std::function<void(CPrinter&)> m_beforeFirmwareFetch;

    // Counters and call log ("size:NAME:TYPE", "fetch:NAME:TYPE", "resume:NAME:FLAG",
    // "state:NAME").
    std::vector<std::string> m_calls;
    int Count(const std::string& prefix) const;

private:
    // Keeps the texts alive for the pointers handed out in type 1 records.
    std::deque<std::string> m_texts;
};

} // namespace sarnok::test
