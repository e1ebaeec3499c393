// sarnok-deploy: the deployment console over the virtual card printers described by the current
// folder's sim-scenario.txt, beside firmwareInfo.ini and the firmware files (the layout of
// sim/demo). Time is the native rig's virtual time, so the waits cost nothing and the seconds
// written are the printer's. There is no update lock (one process owns the virtual printers)
// and no default log: --log FILE writes one.
#include "DeployCommands.h"
#include "SimPorts.h"
#include "catalogue/IniFile.h"

#include <ctime>
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

class CNativeDeployPlatform : public deploy::IDeployPlatform {
public:
    CNativeDeployPlatform(e2e::CSimRig& rig, const std::filesystem::path& folder)
        : m_rig(rig), m_folder(folder), m_profile(folder) {}

    const char* Program() override { return "sarnok-deploy"; }

    deploy::CDeployEnvironment Environment() override {
        return {[this](IMainView& view) {
                    return CPorts{view,           *m_rig.m_spooler, *m_rig.m_status,
                                  m_rig.m_loader, m_rig.m_files,    m_rig.m_clock,
                                  m_rig.m_system, m_profile,        &m_rig.m_digest};
                },
                [](unsigned id) {
                    const auto& table = test::StringTable();
                    const auto it = table.find(id);
                    return it == table.end() ? std::string() : it->second;
                },
                m_rig.m_clock, [](const std::string& text) { return text; }};
    }

    bool CatalogueReadable(std::string* path) override {
        *path = (m_folder / "firmwareInfo.ini").string();
        return CIniFile::ReadFile(path->c_str()).has_value();
    }

    bool AcquireUpdateLock() override { return true; }

    std::FILE* OpenLog(const std::string& option, std::string* path) override {
        *path = option;
        return option.empty() ? nullptr : std::fopen(option.c_str(), "ab");
    }

    std::string Now() override {
        const std::time_t now = std::time(nullptr);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
        return text;
    }

private:
    e2e::CSimRig& m_rig;
    std::filesystem::path m_folder;
    CFolderProfile m_profile;
};

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder = std::filesystem::current_path();
    std::ifstream in(folder / "sim-scenario.txt");
    if (!in) {
        std::fprintf(stderr, "sarnok-deploy: no sim-scenario.txt in %s\n", folder.c_str());
        return deploy::kExitUsage;
    }
    std::stringstream scenario;
    scenario << in.rdbuf();
    try {
        e2e::CSimRig rig(scenario.str());
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
        CNativeDeployPlatform platform(rig, folder);
        return deploy::RunDeploy(std::vector<std::string>(argv + 1, argv + argc), platform);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "sarnok-deploy: %s\n", error.what());
        return deploy::kExitUsage;
    }
}
