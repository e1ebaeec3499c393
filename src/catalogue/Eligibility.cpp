#include "catalogue/Eligibility.h"

#include <array>
#include <span>

namespace sarnok {

namespace {

struct CLatestRow {
    std::span<const std::string_view> m_models;
    std::span<const std::string_view> m_versions;
};

constexpr std::string_view kRow1Models[] = {"Tavik Series", "Tavik"};
constexpr std::string_view kRow1Versions[] = {"32.29", "27.19", "24.49"};
constexpr std::string_view kRow2Models[] = {"Morrel Series"};
constexpr std::string_view kRow2Versions[] = {"30.9"};
constexpr std::string_view kRow3Models[] = {"Quennet Series"};
constexpr std::string_view kRow3Versions[] = {"31.22"};
constexpr std::string_view kRow4Models[] = {"Lisander Series", "Lisander", "Brisko Series"};
constexpr std::string_view kRow4Versions[] = {"33.36", "28.26", "25.84", "36.11"};
constexpr std::string_view kRow5Models[] = {"Vantrel"};
constexpr std::string_view kRow5Versions[] = {"36.11"};
constexpr std::string_view kRow6Models[] = {"Dorrin"};
constexpr std::string_view kRow6Versions[] = {"35.31"};
constexpr std::string_view kRow7Models[] = {"Hesket Series", "Hesket", "Palvo Series"};
constexpr std::string_view kRow7Versions[] = {"34.64", "29.23", "26.48"};

constexpr CLatestRow kLatestFirmware[] = {
    {kRow1Models, kRow1Versions}, {kRow2Models, kRow2Versions}, {kRow3Models, kRow3Versions},
    {kRow4Models, kRow4Versions}, {kRow5Models, kRow5Versions}, {kRow6Models, kRow6Versions},
    {kRow7Models, kRow7Versions},
};

constexpr std::array<std::string_view, 3> kExemptModels{"Hesket Series", "Palvo Series",
                                                        "Gremmet Series"};

bool Contains(std::span<const std::string_view> texts, std::string_view text) {
    for (std::string_view candidate : texts) {
        if (candidate == text) {
            return true;
        }
    }
    return false;
}

} // namespace

std::int32_t IsLatestFirmware(std::string_view model, std::string_view firmwareVersion) {
    for (const CLatestRow& row : kLatestFirmware) {
        if (Contains(row.m_models, model)) {
            // No model stands in two rows: the first row naming it decides.
            return Contains(row.m_versions, firmwareVersion) ? 1 : 0;
        }
    }
    return 0;
}

bool IsExemptModel(std::string_view model) {
    for (std::string_view exempt : kExemptModels) {
        if (exempt == model) {
            return true;
        }
    }
    return false;
}

std::int32_t NoUpdateFlag(std::string_view model, std::string_view firmwareVersion) {
    return IsExemptModel(model) ? 0 : IsLatestFirmware(model, firmwareVersion);
}

bool RefusesUpdate(std::int32_t noUpdatePossible, bool wow64, std::int32_t firmwareMajor) {
    return noUpdatePossible != 0 ||
           (wow64 && static_cast<std::uint32_t>(firmwareMajor) > kWow64MajorLimit);
}

} // namespace sarnok
