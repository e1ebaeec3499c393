// Catalogue checksums: the optional keys that say which file a section expects.
#pragma once

#include "ports/Digest.h"

#include <optional>
#include <string>
#include <string_view>

namespace sarnok {

inline constexpr const char* kSha256Key = "Sha256";
inline constexpr const char* kIntermediateSha256Key = "IntermediateSha256";

// 64 hexadecimal digits in either case, nothing else; nothing for any other text.
std::optional<CSha256Digest> ParseSha256(std::string_view text);
// 64 lower-case hexadecimal digits.
std::string FormatSha256(const CSha256Digest& digest);

} // namespace sarnok
