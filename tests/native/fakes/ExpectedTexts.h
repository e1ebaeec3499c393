// The program's messages as the tests expect to see them, written out here rather than read
// from the resource script, so a changed text in the program fails the tests.
#pragma once

namespace sarnok::test {

inline constexpr const char* kNotResponding = "The printer is not responding.";
inline constexpr const char* kCheckPrinter = "Check the printer, the cables, and try again.";
inline constexpr const char* kClickUpdate = "Click \"Update\" to begin.";
inline constexpr const char* kConnecting = "Connecting to the printer \xE2\x80\xA6";
inline constexpr const char* kSelectPrinter =
    "Select the printer to update or click \"Cancel\" to exit.";
inline constexpr const char* kLatest =
    "The printer contains the latest firmware. No further update is possible.";
inline constexpr const char* kNoMatch =
    "The application did not find a firmware file or version  that matches your printer.";
inline constexpr const char* kContact = "Contact your printer service provider for assistance.";
inline constexpr const char* kIncorrectData =
    "The application found incorrect data. Click \"Cancel\" to exit.";
inline constexpr const char* kStepOne = "Step 1 of 2 for this flash update";

} // namespace sarnok::test
