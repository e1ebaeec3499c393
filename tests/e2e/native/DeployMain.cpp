// sarnok-deploy: the deployment console over the virtual card printers described by the current
// folder's sim-scenario.txt, beside firmwareInfo.ini and the firmware files (the layout of
// sim/demo). Time is the native rig's virtual time, so the waits cost nothing and the seconds
// written are the printer's. One process owns the virtual printers, so the update lock is always
// this program's, and there is no default log: --log FILE writes one.
#include "SimDeployPlatform.h"
#include "catalogue/IniFile.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace sarnok;

constexpr const char* kProgramFolder = "C:\\Tools\\Sarnok\\";

// The catalogue the core asks for beside its program is the file of that name in this folder.
class CFolderProfile : public IProfileReader {
public:
    explicit CFolderProfile(std::filesystem::path folder) : m_folder(std::move(folder)) {}
    std::uint32_t GetString(const char* section, const char* key, char* buffer, std::uint32_t size,
                            const char* filePath) override {
        std::string name = filePath == nullptr ? "" : filePath;
        name = name.substr(name.find_last_of('\\') + 1);
        return m_ini.GetString(section, key, buffer, size, (m_folder / name).string().c_str());
    }

private:
    std::filesystem::path m_folder;
    CIniFile m_ini;
};

std::optional<std::string> ReadWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder = std::filesystem::current_path();
    const auto scenario = ReadWhole(folder / "sim-scenario.txt");
    if (!scenario) {
        std::fprintf(stderr, "sarnok-deploy: no sim-scenario.txt in %s\n", folder.c_str());
        return deploy::kExitUsage;
    }
    try {
        e2e::CSimRig rig(*scenario);
        // The folder's files as the program's folder holds them.
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (!entry.is_regular_file()) {
                continue;
            }
            std::ifstream file(entry.path(), std::ios::binary);
            auto& bytes = rig.m_files.m_files[kProgramFolder + entry.path().filename().string()];
            bytes.m_bytes.assign(std::istreambuf_iterator<char>(file), {});
        }
        rig.m_system.m_executablePath = std::string(kProgramFolder) + "sarnok-deploy.exe";
        CFolderProfile profile(folder);
        e2e::CSimDeployPlatform platform(rig, profile);
        platform.m_version = SARNOK_VERSION_TEXT;
        platform.m_catalogue = ReadWhole(folder / "firmwareInfo.ini");
        return deploy::RunDeploy(std::vector<std::string>(argv + 1, argv + argc), platform);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "sarnok-deploy: %s\n", error.what());
        return deploy::kExitUsage;
    }
}
