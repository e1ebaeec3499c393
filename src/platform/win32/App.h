// The application object: registers the common controls, makes the DLL search path safe,
// builds the adapters and runs the main dialog once.
#pragma once

#include <windows.h>

namespace sarnok::win32 {

// The settings root name the program has always carried. Nothing is read or written under it.
inline constexpr const char* kSettingsRoot = "Local AppWizard-Generated Applications";

class CfuuApp {
public:
    // Runs the whole program. False: the program ends when it returns (there is no message
    // loop of its own).
    bool InitInstance(HINSTANCE instance);
};

extern CfuuApp theApp;

} // namespace sarnok::win32
