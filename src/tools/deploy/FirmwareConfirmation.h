// After a click whose final run said success, the console asks the printer what it runs before
// it calls the update done: a deployment system checks the firmware as soon as the install
// command returns, and a printer can accept an image and come back on its old one.
#pragma once

#include "app/RunOutcome.h"
#include "ports/Clock.h"
#include "ports/StatusLibrary.h"

#include <cstdint>
#include <string>

namespace sarnok::deploy {

// How long the console waits by default for the printer to report what it was sent.
inline constexpr std::uint32_t kDefaultConfirmSeconds = 300;
inline constexpr std::uint32_t kConfirmPassMs = 2000;

struct CConfirmation {
    EConfirmation m_end = EConfirmation::NotAsked;
    std::uint32_t m_waitedMs = 0;
    // The version the printer reported last; empty when it could not be identified.
    std::string m_found;
};

// Reads the printer's firmware version and polling state with the restart wait's reads, once
// every 2 s: Confirmed when it reports target with its polling settled, NotTaken when it is back
// (polling settled) with a version that is neither target nor old; Unconfirmed when limitMs
// have passed first. The last read decides at the limit, so a printer back on another version
// just then is NotTaken.
CConfirmation ConfirmFirmware(IStatusLibrary& library, IClock& clock, const std::string& printer,
                              const std::string& target, const std::string& old,
                              std::uint32_t limitMs);

} // namespace sarnok::deploy
