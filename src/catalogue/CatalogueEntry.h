// What a catalogue entry's values mean to the program, shared by the dialog's lookup and the
// package checker so both decide alike.
#pragma once

#include <string_view>

namespace sarnok {

inline constexpr const char* kCatalogueFileName = "firmwareInfo.ini";

inline constexpr const char* kFilenameKey = "Filename";
inline constexpr const char* kVersionKey = "Version";
inline constexpr const char* kIntermediateFileNameKey = "IntermediateFileName";
inline constexpr const char* kIntermediateVersionKey = "IntermediateVersion";

// Every value is read into a buffer of this many characters, terminator included.
inline constexpr unsigned kCatalogueValueSize = 260;

enum class EEntryUse {
    None,        // neither version: no entry for this printer (lookup result -1)
    SameVersion, // "Version" is the section's own name: the user is asked first
    NoVersion,   // only an intermediate version: unusable, without a question (result 0)
    Usable,      // the lookup gives the length of "Version"
};

EEntryUse ClassifyEntry(std::string_view section, std::string_view version,
                        std::string_view intermediateVersion);

} // namespace sarnok
