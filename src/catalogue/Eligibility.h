// Whether a printer may be updated at all, before the catalogue is asked.
#pragma once

#include <cstdint>
#include <string_view>

namespace sarnok {

// 1 when the model stands in a row of the latest firmware table together with this exact
// version text, 0 otherwise. Exact, case-sensitive comparisons of whole texts.
std::int32_t IsLatestFirmware(std::string_view model, std::string_view firmwareVersion);

// Models whose table verdict never counts.
bool IsExemptModel(std::string_view model);

// The table's verdict with the exemption applied: what m_noUpdatePossible holds.
std::int32_t NoUpdateFlag(std::string_view model, std::string_view firmwareVersion);

// A 32-bit process on 64-bit Windows cannot update firmware above this major number.
inline constexpr std::uint32_t kWow64MajorLimit = 40;

// True when the update is refused: the flag is set, or the program runs under WOW64 and the
// major number, taken as unsigned, is above the limit.
bool RefusesUpdate(std::int32_t noUpdatePossible, bool wow64, std::int32_t firmwareMajor);

} // namespace sarnok
