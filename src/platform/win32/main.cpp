// Entry point of Sarnok.exe: the application object does all the work.
#include "App.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
    sarnok::win32::theApp.InitInstance(instance);
    return 0;
}
