// An initialisation-file reader that answers lookups the way the platform's
// GetPrivateProfileStringA does, so the catalogue reads the same on every build.
#pragma once

#include "ports/SystemServices.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sarnok {

// The parsed form of one file: sections in file order, keys in file order within them.
// Nothing is merged: a lookup takes the first section whose name matches and, within that
// section only, the first key whose name matches.
class CIniDocument {
public:
    struct CKey {
        std::string m_name;
        std::optional<std::string> m_value; // a line without '=' names a key without a value
    };
    struct CSection {
        std::string m_name;
        std::vector<CKey> m_keys;
    };

    static CIniDocument Parse(std::string_view text);

    // nullptr when the section or the key is missing. Names are matched without regard to
    // ASCII case, with surrounding blanks of the lookup names ignored.
    const CKey* Find(std::string_view section, std::string_view key) const;

    const std::vector<CSection>& Sections() const { return m_sections; }

private:
    // Keys above the first section header belong to a section with the empty name.
    std::vector<CSection> m_sections{CSection{}};
};

// Copies a value as the platform does: a value wholly enclosed in a matching pair of single
// or double quotes loses them; at most size - 1 characters are copied and the text is always
// terminated. Returns the number of characters copied.
std::uint32_t CopyProfileValue(std::string_view value, char* buffer, std::uint32_t size);

// IProfileReader over files on disk. Reads the file afresh at every lookup.
class CIniFile : public IProfileReader {
public:
    std::uint32_t GetString(const char* section, const char* key, char* buffer, std::uint32_t size,
                            const char* filePath) override;

    // The whole file, or nothing when it cannot be read.
    static std::optional<std::string> ReadFile(const char* filePath);
};

} // namespace sarnok
