// Reads a file's version block and looks up its string values.
#pragma once

#include "ports/SystemServices.h"

#include <cstdint>
#include <memory>
#include <string>

namespace sarnok {

class CVersionReader {
public:
    explicit CVersionReader(IVersionApi& api) : m_api(api) {}

    // True when a version block is held afterwards (also when it has no translation).
    bool Load(const std::string& fileName);
    // The value of key in the string table of the first translation, or the empty text.
    std::string GetValue(const std::string& key) const;

    const std::string& Translation() const { return m_translation; }

private:
    IVersionApi& m_api;
    std::unique_ptr<std::uint8_t[]> m_block;
    std::string m_translation; // "%04x%04x": language, then code page
};

} // namespace sarnok
