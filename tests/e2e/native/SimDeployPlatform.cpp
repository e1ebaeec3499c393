#include "SimDeployPlatform.h"

#include <new>

#include <ctime>

namespace sarnok::e2e {

deploy::CDeployEnvironment CSimDeployPlatform::Environment() {
    if (m_outOfMemory) {
        throw std::bad_alloc();
    }
    return {[this](IMainView& view) {
                return CPorts{.m_view = view,
                              .m_spooler = *m_rig.m_spooler,
                              .m_statusLibrary = *m_rig.m_status,
                              .m_loader = m_rig.m_loader,
                              .m_files = m_rig.m_files,
                              .m_clock = m_rig.m_clock,
                              .m_system = m_rig.m_system,
                              .m_profile = m_profile,
                              .m_digest = &m_rig.m_digest,
                              .m_journal = Journal()};
            },
            [](unsigned id) {
                const auto& table = test::StringTable();
                const auto it = table.find(id);
                return it == table.end() ? std::string() : it->second;
            },
            m_rig.m_clock,
            [](const std::string& text) { return text; },
            m_version,
            Journal(),
            &m_events};
}

bool CSimDeployPlatform::CatalogueReadable(std::string* path) {
    *path = "firmwareInfo.ini";
    return m_catalogue.has_value();
}

std::optional<CSha256Digest> CSimDeployPlatform::CatalogueSha256() {
    CSha256Digest digest{};
    if (!m_catalogue ||
        !m_rig.m_digest.Sha256(reinterpret_cast<const std::uint8_t*>(m_catalogue->data()),
                               m_catalogue->size(), &digest)) {
        return std::nullopt;
    }
    return digest;
}

std::FILE* CSimDeployPlatform::OpenLog(const std::string& option, std::string* path,
                                       std::string* why) {
    *path = option;
    if (option.empty()) {
        return nullptr;
    }
    std::FILE* log = std::fopen(option.c_str(), "ab");
    if (log == nullptr) {
        *why = "cannot open the log " + option;
    }
    return log;
}

std::string CSimDeployPlatform::Now() {
    const std::time_t now = std::time(nullptr);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
    return text;
}

deploy::CLogStamp CSimDeployPlatform::LogStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    deploy::CLogStamp stamp;
    stamp.m_year = static_cast<unsigned>(local.tm_year + 1900);
    stamp.m_month = static_cast<unsigned>(local.tm_mon + 1);
    stamp.m_day = static_cast<unsigned>(local.tm_mday);
    stamp.m_hour = static_cast<unsigned>(local.tm_hour);
    stamp.m_minute = static_cast<unsigned>(local.tm_min);
    stamp.m_second = static_cast<unsigned>(local.tm_sec);
    // Windows' bias is UTC minus local time.
    stamp.m_biasMinutes = static_cast<int>(-local.tm_gmtoff / 60);
    stamp.m_thread = 1;
    return stamp;
}

} // namespace sarnok::e2e
