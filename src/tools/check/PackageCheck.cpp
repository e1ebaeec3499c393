#include "PackageCheck.h"

#include "app/FirmwareVersion.h"
#include "app/PathText.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/Checksum.h"
#include "catalogue/Eligibility.h"
#include "printer/FlashJob.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace sarnok::check {

namespace {

constexpr const char* kKnownKeys[] = {
    kFilenameKey, kVersionKey,           kIntermediateFileNameKey, kIntermediateVersionKey,
    kSha256Key,   kIntermediateSha256Key};

// Large enough for any value someone would write; the program itself reads 259 characters.
constexpr std::uint32_t kLongValueSize = 65536;

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Section and key names as the reader matches them: ASCII letters without regard to case.
bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            const std::size_t cost = AsciiLower(a[i - 1]) == AsciiLower(b[j - 1]) ? 0 : 1;
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + cost});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The known key a name was probably meant to be, or nullptr.
const char* LikelyKey(std::string_view name) {
    const char* best = nullptr;
    std::size_t bestDistance = 0;
    for (const char* known : kKnownKeys) {
        const std::size_t length = std::string_view(known).size();
        const std::size_t allowed = length >= 12 ? 3 : 2;
        const std::size_t distance = EditDistance(name, known);
        if (distance <= allowed && (best == nullptr || distance < bestDistance)) {
            best = known;
            bestDistance = distance;
        }
    }
    return best;
}

std::optional<std::int32_t> ParseNumber(std::string_view text) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

struct CVersionNumbers {
    std::int32_t m_major;
    std::int32_t m_minor;
};

// The two numbers a version text names, if it has the form major.minor at all.
std::optional<CVersionNumbers> ParseVersion(std::string_view text) {
    const std::size_t point = text.find('.');
    if (point == std::string_view::npos) {
        return std::nullopt;
    }
    const auto major = ParseNumber(text.substr(0, point));
    const auto minor = ParseNumber(text.substr(point + 1));
    if (!major || !minor) {
        return std::nullopt;
    }
    return CVersionNumbers{*major, *minor};
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

} // namespace

std::string FormatFinding(const CFinding& finding) {
    std::string line = "[" + finding.m_section + "]";
    if (!finding.m_key.empty()) {
        line += " " + finding.m_key;
    }
    return line + ": " + finding.m_text;
}

struct CPackageCheck::CEntry {
    std::string m_fileName;
    std::string m_version;
    std::string m_intermediateFileName;
    std::string m_intermediateVersion;
    std::string m_sha256;
    std::string m_intermediateSha256;
    bool TwoStep() const { return !m_intermediateFileName.empty(); }
};

CPackageCheck::CPackageCheck(const CCheckPorts& ports, std::string folder)
    : m_ports(ports), m_folder(std::move(folder)),
      m_cataloguePath(m_folder + "\\" + kCatalogueFileName) {}

bool CPackageCheck::Load() {
    const std::optional<std::string> text = CIniFile::ReadFile(m_cataloguePath.c_str());
    if (!text) {
        return false;
    }
    m_byteOrderMark = text->compare(0, 3, "\xEF\xBB\xBF") == 0;
    m_document = CIniDocument::Parse(*text);
    return true;
}

std::string CPackageCheck::Read(const std::string& section, const char* key, std::uint32_t size) {
    std::vector<char> buffer(size, '\0');
    const std::uint32_t length = m_ports.m_profile.GetString(section.c_str(), key, buffer.data(),
                                                             size, m_cataloguePath.c_str());
    return std::string(buffer.data(), std::min(length, size));
}

CPackageCheck::CEntry CPackageCheck::ReadEntry(const std::string& section) {
    return CEntry{Read(section, kFilenameKey, kCatalogueValueSize),
                  Read(section, kVersionKey, kCatalogueValueSize),
                  Read(section, kIntermediateFileNameKey, kCatalogueValueSize),
                  Read(section, kIntermediateVersionKey, kCatalogueValueSize),
                  Read(section, kSha256Key, kCatalogueValueSize),
                  Read(section, kIntermediateSha256Key, kCatalogueValueSize)};
}

const CIniDocument::CSection* CPackageCheck::FirstSection(const std::string& name) const {
    const auto& sections = m_document.Sections();
    // The first entry holds what stands above any header; it is no section of the file.
    for (auto it = sections.begin() + 1; it != sections.end(); ++it) {
        if (SameName(it->m_name, name)) {
            return &*it;
        }
    }
    return nullptr;
}

std::vector<CFinding> CPackageCheck::Check() {
    std::vector<CFinding> findings;
    const auto& sections = m_document.Sections();
    // Our reader skips the mark, but the workstation's profile reader may take it as part of
    // the first line, and then never finds the first section.
    if (m_byteOrderMark) {
        findings.push_back({sections.size() > 1 ? sections[1].m_name : "", "",
                            "the file starts with a UTF-8 byte-order mark, which a workstation "
                            "may read as part of the first line; save the file without a "
                            "byte-order mark"});
    }
    for (const CIniDocument::CKey& key : sections.front().m_keys) {
        if (!key.m_name.empty() && key.m_name.front() != ';') {
            findings.push_back({"", key.m_name, "stands above the first section; never read"});
        }
    }
    for (auto it = sections.begin() + 1; it != sections.end(); ++it) {
        if (FirstSection(it->m_name) != &*it) {
            findings.push_back({it->m_name, "",
                                "appears again further down; only the first section of this "
                                "name is read"});
            CheckKeys(*it, &findings);
            continue;
        }
        CheckKeys(*it, &findings);
        CheckSection(it->m_name, &findings);
    }
    return findings;
}

void CPackageCheck::CheckKeys(const CIniDocument::CSection& section,
                              std::vector<CFinding>* findings) {
    std::set<std::string> seen;
    for (const CIniDocument::CKey& key : section.m_keys) {
        if (key.m_name.empty() || key.m_name.front() == ';') {
            continue; // comments
        }
        std::string lower;
        for (const char c : key.m_name) {
            lower += AsciiLower(c);
        }
        const bool known = std::any_of(std::begin(kKnownKeys), std::end(kKnownKeys),
                                       [&](const char* k) { return SameName(key.m_name, k); });
        if (!key.m_value) {
            findings->push_back({section.m_name, key.m_name, "line without '='; nothing is read"});
        } else if (known && !seen.insert(lower).second) {
            findings->push_back({section.m_name, key.m_name,
                                 "appears twice in the section; only the first is read"});
        } else if (!known) {
            if (const char* likely = LikelyKey(key.m_name)) {
                findings->push_back(
                    {section.m_name, key.m_name,
                     std::string("unknown key, probably meant as ") + likely + "; it is ignored"});
            }
        }
    }
}

void CPackageCheck::CheckSection(const std::string& section, std::vector<CFinding>* findings) {
    const std::optional<CVersionNumbers> numbers = ParseVersion(section);
    if (!numbers) {
        findings->push_back({section, "",
                             "no printer can match this section: a firmware version is "
                             "major.minor in plain decimal"});
    } else if (const std::string text = FormatFirmwareVersion(numbers->m_major, numbers->m_minor);
               text != section) {
        findings->push_back({section, "",
                             "no printer can match this section: a printer at this version "
                             "reads [" +
                                 text + "] (no leading zeros, blanks or signs)"});
    }

    for (const char* key : kKnownKeys) {
        const std::string full = Read(section, key, kLongValueSize);
        if (full.size() >= kCatalogueValueSize) {
            findings->push_back({section, key,
                                 "value of " + std::to_string(full.size()) +
                                     " characters; the program reads only the first " +
                                     std::to_string(kCatalogueValueSize - 1)});
        }
    }

    const CEntry entry = ReadEntry(section);
    if (entry.m_version.empty()) {
        findings->push_back({section, kVersionKey,
                             entry.m_intermediateVersion.empty()
                                 ? "missing or empty; the entry is not found"
                                 : "missing or empty; the entry is refused"});
    } else if (ClassifyEntry(section, entry.m_version, entry.m_intermediateVersion) ==
               EEntryUse::SameVersion) {
        findings->push_back({section, kVersionKey,
                             "equals the section's name; the workstation asks whether to "
                             "send the same firmware again"});
    }
    if (entry.m_fileName.empty()) {
        findings->push_back({section, kFilenameKey, "missing or empty"});
    } else {
        CheckFile(section, kFilenameKey, entry.m_fileName, kSha256Key, entry.m_sha256, findings);
    }
    if (entry.TwoStep()) {
        CheckFile(section, kIntermediateFileNameKey, entry.m_intermediateFileName,
                  kIntermediateSha256Key, entry.m_intermediateSha256, findings);
        if (entry.m_intermediateVersion.empty()) {
            findings->push_back(
                {section, kIntermediateVersionKey, "missing or empty in a two-step entry"});
        }
    } else {
        if (!entry.m_intermediateVersion.empty()) {
            findings->push_back({section, kIntermediateFileNameKey,
                                 "missing or empty, but IntermediateVersion is set; the update "
                                 "takes one step"});
        }
        if (!entry.m_intermediateSha256.empty()) {
            findings->push_back({section, kIntermediateSha256Key,
                                 "set, but there is no IntermediateFileName to check"});
        }
    }
    if (entry.m_fileName.empty() && !entry.m_sha256.empty()) {
        findings->push_back({section, kSha256Key, "set, but there is no Filename to check"});
    }
    if (entry.TwoStep() && !entry.m_intermediateVersion.empty() && !entry.m_version.empty()) {
        CheckChain(section, entry, findings);
    }
}

void CPackageCheck::CheckFile(const std::string& section, const char* key, const std::string& name,
                              const char* sumKey, const std::string& sum,
                              std::vector<CFinding>* findings) {
    if (!StaysInFolder(name)) {
        findings->push_back({section, key,
                             Quoted(name) + " leaves the firmware folder; it is "
                                            "never opened"});
        return;
    }
    const CFileFacts facts = m_ports.m_files.Inspect(FilePath(name));
    const std::size_t separator = name.find_last_of("\\/");
    if (!facts.m_exists && separator != std::string::npos &&
        !m_ports.m_files.FullFolderPath(FilePath(name.substr(0, separator)))) {
        // The program opens the file creating it if need be, which fails without its folder.
        findings->push_back({section, key,
                             Quoted(name) + " is missing, and so is its folder " +
                                 Quoted(name.substr(0, separator)) +
                                 "; the update cannot open it and stops"});
    } else if (!facts.m_exists) {
        findings->push_back({section, key,
                             Quoted(name) + " is missing; the update would "
                                            "create it empty and stop"});
    } else if (facts.m_size == 0) {
        findings->push_back({section, key, Quoted(name) + " is empty"});
    } else if (facts.m_size > kLargestFlashFileSize) {
        findings->push_back({section, key,
                             Quoted(name) + " is 4 GiB or larger; it cannot be "
                                            "sent"});
    }
    if (sum.empty()) {
        return;
    }
    const std::optional<CSha256Digest> expected = ParseSha256(sum);
    if (!expected) {
        findings->push_back({section, sumKey,
                             "not 64 hexadecimal digits; the file would be "
                             "refused"});
        return;
    }
    if (!facts.m_exists || facts.m_size == 0 || facts.m_size > kLargestFlashFileSize) {
        return;
    }
    CSha256Digest actual{};
    if (!m_ports.m_files.DigestFile(FilePath(name), m_ports.m_digest, &actual)) {
        findings->push_back({section, sumKey, "cannot read " + Quoted(name) + " to check it"});
    } else if (actual != *expected) {
        findings->push_back({section, sumKey,
                             "does not match " + Quoted(name) + " (its SHA-256 is " +
                                 FormatSha256(actual) + "); the file would be refused"});
    }
}

// After the first step the printer reports the intermediate version; if the update stops there
// it is selected again at that version, so that section must lead on to the same target.
void CPackageCheck::CheckChain(const std::string& section, const CEntry& entry,
                               std::vector<CFinding>* findings) {
    std::vector<std::string> path{section};
    std::string current = entry.m_intermediateVersion;
    for (;;) {
        if (current == entry.m_version) {
            return;
        }
        std::string route;
        for (const std::string& step : path) {
            route += step + " -> ";
        }
        route += current;
        if (std::find(path.begin(), path.end(), current) != path.end()) {
            findings->push_back(
                {section, kIntermediateVersionKey, "the chain " + route + " loops back on itself"});
            return;
        }
        if (FirstSection(current) == nullptr) {
            findings->push_back({section, kIntermediateVersionKey,
                                 path.size() == 1 ? current + " has no section of its own"
                                                  : "the chain " + route + " stops: " + current +
                                                        " has no section of its own"});
            return;
        }
        const CEntry next = ReadEntry(current);
        const std::string& onward = next.TwoStep() ? next.m_intermediateVersion : next.m_version;
        if (onward.empty() || onward == current) {
            findings->push_back(
                {section, kIntermediateVersionKey,
                 "the chain " + route + " ends at " + current + ", not at " + entry.m_version});
            return;
        }
        path.push_back(current);
        current = onward;
    }
}

std::vector<std::string> CPackageCheck::Sums(std::vector<CFinding>* problems) {
    std::vector<std::string> lines;
    const auto& sections = m_document.Sections();
    for (auto it = sections.begin() + 1; it != sections.end(); ++it) {
        if (FirstSection(it->m_name) != &*it) {
            continue;
        }
        const CEntry entry = ReadEntry(it->m_name);
        std::vector<std::string> sums;
        const auto sumOf = [&](const char* key, const std::string& name, const char* fileKey) {
            CSha256Digest digest{};
            if (!StaysInFolder(name) ||
                !m_ports.m_files.DigestFile(FilePath(name), m_ports.m_digest, &digest)) {
                problems->push_back({it->m_name, fileKey, "cannot read " + Quoted(name)});
                return;
            }
            sums.push_back(std::string(key) + "=" + FormatSha256(digest));
        };
        if (!entry.m_fileName.empty()) {
            sumOf(kSha256Key, entry.m_fileName, kFilenameKey);
        }
        if (entry.TwoStep()) {
            sumOf(kIntermediateSha256Key, entry.m_intermediateFileName, kIntermediateFileNameKey);
        }
        if (!sums.empty()) {
            lines.push_back("[" + it->m_name + "]");
            lines.insert(lines.end(), sums.begin(), sums.end());
        }
    }
    return lines;
}

std::string CPackageCheck::Decide(const std::string& model, std::int32_t major, std::int32_t minor,
                                  bool wow64) {
    const std::string version = FormatFirmwareVersion(major, minor);
    const std::string printer = Quoted(model) + " at " + version + ": ";
    const std::int32_t latest = NoUpdateFlag(model, version);
    if (RefusesUpdate(latest, wow64, major)) {
        return printer + (latest != 0
                              ? "refused, it already has the latest firmware"
                              : "refused as having the latest firmware: a 32-bit program on "
                                "64-bit Windows updates no major version above " +
                                    std::to_string(kWow64MajorLimit));
    }
    const CEntry entry = ReadEntry(version);
    std::string steps;
    if (entry.TwoStep()) {
        steps = "two steps, through " + entry.m_intermediateVersion + " with file " +
                entry.m_intermediateFileName + ", then to " + entry.m_version + " with file " +
                entry.m_fileName;
    } else {
        steps = "one step, to version " + entry.m_version + " with file " + entry.m_fileName;
    }
    switch (ClassifyEntry(version, entry.m_version, entry.m_intermediateVersion)) {
    case EEntryUse::None:
        return printer + "no catalogue entry [" + version + "]";
    case EEntryUse::NoVersion:
        return printer + "the entry [" + version + "] has no Version; no update is offered";
    case EEntryUse::SameVersion:
        return printer + "asks whether to send the same firmware again; if Yes: " + steps;
    case EEntryUse::Usable:
        break;
    }
    return printer + steps;
}

} // namespace sarnok::check
