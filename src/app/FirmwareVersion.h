// The firmware version text and the library version clean-up the selection step relies on.
#pragma once

#include <cstdint>
#include <string>

namespace sarnok {

// Decimal major, ".", decimal minor, no leading zeros ("32.29", "30.9"). Numbers from -99 to
// 999 give the short form every catalogue uses; numbers outside that range are written in full
// rather than cut, so two different firmware versions never share one text.
std::string FormatFirmwareVersion(std::int32_t major, std::int32_t minor);

// Removes, in place, every blank, tab, line feed, vertical tab, form feed and carriage return
// from a terminated text. Bytes from 0x80 upward are kept whatever the locale says of them.
void StripWhitespace(char* text);

} // namespace sarnok
