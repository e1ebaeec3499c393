// Writes a demo firmware image that the virtual printer accepts:
//   sarnok_mkfw OUT MODEL MAJOR.MINOR SIZE
#include "core/DemoFirmware.h"
#include "core/Scenario.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: sarnok_mkfw OUT MODEL MAJOR.MINOR SIZE\n");
        return 2;
    }
    sarnok::sim::CDemoImageInfo info;
    info.m_model = argv[2];
    const std::string size = argv[4];
    std::size_t bytes = 0;
    const auto [end, ec] = std::from_chars(size.data(), size.data() + size.size(), bytes);
    std::vector<std::uint8_t> image;
    if (!sarnok::sim::ParseVersion(argv[3], &info.m_major, &info.m_minor) || ec != std::errc() ||
        end != size.data() + size.size() || !sarnok::sim::BuildDemoImage(info, bytes, &image)) {
        std::fprintf(stderr, "sarnok_mkfw: bad model, version or size (at least %u bytes)\n",
                     static_cast<unsigned>(sarnok::sim::kDemoHeaderSize));
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
    if (!out) {
        std::fprintf(stderr, "sarnok_mkfw: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
