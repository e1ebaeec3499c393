// The catalogue reader on any file content, looked up under any section and key name.
// Input: section length, section, key length, key, buffer size, then the file's content.
#include "catalogue/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

using namespace sarnok;

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A name from the input: a length byte, then that many bytes (fewer at the end).
std::string TakeName(const std::uint8_t*& data, std::size_t& size) {
    if (size == 0) {
        return std::string();
    }
    std::size_t length = data[0];
    ++data;
    --size;
    if (length > size) {
        length = size;
    }
    std::string name(reinterpret_cast<const char*>(data), length);
    data += length;
    size -= length;
    return name;
}

// One file per process, in TMPDIR when set (scripts/fuzz gives a scratch folder there).
const std::string& TempPath() {
    static const std::string path = [] {
        const char* folder = std::getenv("TMPDIR");
        return std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") +
               "/sarnok-fuzz-ini-" + std::to_string(getpid()) + ".ini";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string section = TakeName(data, size);
    const std::string key = TakeName(data, size);
    std::uint32_t bufferSize = 260;
    if (size != 0) {
        bufferSize = data[0] == 0 ? 260 : data[0] + 1u;
        ++data;
        --size;
    }

    std::FILE* file = std::fopen(TempPath().c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    if (size != 0) {
        std::fwrite(data, 1, size, file);
    }
    std::fclose(file);

    // The buffer holds exactly bufferSize bytes: a copy past it is caught.
    const auto buffer = std::make_unique<char[]>(bufferSize);
    std::memset(buffer.get(), 'Z', bufferSize);
    CIniFile reader;
    const std::uint32_t copied = reader.GetString(section.c_str(), key.c_str(), buffer.get(),
                                                  bufferSize, TempPath().c_str());
    Check(copied < bufferSize);
    Check(buffer[copied] == '\0');
    Check(std::strlen(buffer.get()) <= copied);

    // The parsed document must agree with the file lookup.
    const CIniDocument document =
        CIniDocument::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (document.Find(section.c_str(), key.c_str()) == nullptr) {
        Check(copied == 0);
    }
    return 0;
}
