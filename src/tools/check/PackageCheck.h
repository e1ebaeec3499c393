// The package checker: what a workstation would meet with a firmware folder, found before the
// folder goes out. It reads the catalogue through the same reader as the program and decides
// with the program's own rules; it never writes a file.
#pragma once

#include "catalogue/IniFile.h"
#include "ports/Digest.h"
#include "ports/PackageFiles.h"
#include "ports/SystemServices.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sarnok::check {

struct CFinding {
    std::string m_section;
    std::string m_key; // empty for a finding about the whole section
    std::string m_text;
};

// "[SECTION] KEY: text", or "[SECTION]: text" without a key.
std::string FormatFinding(const CFinding& finding);

struct CCheckPorts {
    IProfileReader& m_profile;
    IPackageFiles& m_files;
    IDigest& m_digest;
};

class CPackageCheck {
public:
    // folder: a full path, as IPackageFiles::FullFolderPath gives it.
    CPackageCheck(const CCheckPorts& ports, std::string folder);

    // Reads the catalogue's text; false when it cannot be read.
    bool Load();
    const std::string& CataloguePath() const { return m_cataloguePath; }

    // Every problem found, in the order of the file.
    std::vector<CFinding> Check();
    // The checksum lines for each section that names a file, as "[SECTION]" followed by
    // "Sha256=..." and "IntermediateSha256=..." lines. A file that cannot be read is a problem.
    std::vector<std::string> Sums(std::vector<CFinding>* problems);
    // What the dialog would decide for a printer of this model at this firmware version.
    std::string Decide(const std::string& model, std::int32_t major, std::int32_t minor,
                       bool wow64);

private:
    struct CEntry;
    CEntry ReadEntry(const std::string& section);
    std::string Read(const std::string& section, const char* key, std::uint32_t size);
    const CIniDocument::CSection* FirstSection(const std::string& name) const;
    void CheckKeys(const CIniDocument::CSection& section, std::vector<CFinding>* findings);
    void CheckSection(const std::string& section, std::vector<CFinding>* findings);
    void CheckFile(const std::string& section, const char* key, const std::string& name,
                   const char* sumKey, const std::string& sum, std::vector<CFinding>* findings);
    void CheckChain(const std::string& section, const CEntry& entry,
                    std::vector<CFinding>* findings);
    std::string FilePath(const std::string& name) const { return m_folder + "\\" + name; }

    CCheckPorts m_ports;
    std::string m_folder;
    std::string m_cataloguePath;
    CIniDocument m_document;
    bool m_byteOrderMark = false;
};

} // namespace sarnok::check
