#include "FirmwareConfirmation.h"

#include "app/FirmwareVersion.h"
#include "printer/StatusInfo.h"

namespace sarnok::deploy {

CConfirmation ConfirmFirmware(IStatusLibrary& library, IClock& clock, const std::string& printer,
                              const std::string& target, const std::string& old,
                              std::uint32_t limitMs) {
    CCardPrinterInfo info(library);
    const char* name = printer.c_str();
    const std::uint32_t start = clock.GetTickCount();
    std::uint32_t size = 0;
    CConfirmation result;
    for (;;) {
        // A printer that is restarting may not be identified at all; the size is asked again
        // until it is, and then serves every pass as in the restart wait.
        if (size == 0) {
            size = info.QuerySize(name, kInfoFirmwareVersion);
        }
        CFirmwareNumbers numbers;
        const bool known = size != 0 && info.FetchFirmwareNumbers(name, size, &numbers);
        result.m_found = known ? FormatFirmwareVersion(numbers.m_major, numbers.m_minor) : "";
        library.ResumePrinterPolling(name, 1);
        // A library that does not write the state must not make a restarting printer look back.
        std::int32_t state = 1;
        library.GetCardPrinterPollingState(name, &state);
        result.m_waitedMs = TicksSince(start, clock.GetTickCount());
        const bool back = known && state == 0;
        if (back && result.m_found == target) {
            result.m_end = EConfirmation::Confirmed;
            return result;
        }
        // The old version is what a printer reports until its restart has begun and ended;
        // only the limit ends waiting for it.
        if (back && result.m_found != old) {
            result.m_end = EConfirmation::NotTaken;
            return result;
        }
        if (result.m_waitedMs >= limitMs) {
            result.m_end = EConfirmation::Unconfirmed;
            return result;
        }
        clock.Sleep(kConfirmPassMs);
    }
}

} // namespace sarnok::deploy
