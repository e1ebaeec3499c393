#include "app/VersionReader.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace sarnok {

bool CVersionReader::Load(const std::string& fileName) {
    m_block.reset();
    // A translation left over from another file would look values up in the wrong table.
    m_translation.clear();

    const std::uint32_t size = m_api.GetInfoSize(fileName.c_str());
    if (size == 0) {
        return false;
    }
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[size]);
    if (!block) {
        return false;
    }
    if (!m_api.GetInfo(fileName.c_str(), size, block.get())) {
        return false;
    }
    m_block = std::move(block);

    const void* value = nullptr;
    std::uint32_t length = 0;
    if (m_api.QueryValue(m_block.get(), "\\VarFileInfo\\Translation", &value, &length) &&
        value != nullptr && length >= 4) {
        std::uint32_t entry = 0;
        std::memcpy(&entry, value, sizeof entry);
        char text[9];
        std::snprintf(text, sizeof text, "%04x%04x", static_cast<unsigned>(entry & 0xFFFFu),
                      static_cast<unsigned>(entry >> 16));
        m_translation = text;
    }
    return true;
}

std::string CVersionReader::GetValue(const std::string& key) const {
    if (!m_block || m_translation.empty()) {
        return std::string();
    }
    const std::string subBlock = "\\StringFileInfo\\" + m_translation + "\\" + key;
    const void* value = nullptr;
    std::uint32_t length = 0;
    if (!m_api.QueryValue(m_block.get(), subBlock.c_str(), &value, &length) || value == nullptr ||
        length == 0) {
        return std::string();
    }
    // The length counts characters and may include the terminator; never read past it.
    const char* text = static_cast<const char*>(value);
    std::size_t count = 0;
    while (count < length && text[count] != '\0') {
        ++count;
    }
    return std::string(text, count);
}

} // namespace sarnok
