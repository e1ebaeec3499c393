#include "App.h"

#include "MainDialog.h"
#include "Win32Clock.h"
#include "Win32Digest.h"
#include "Win32FirmwareFile.h"
#include "Win32LibraryLoader.h"
#include "Win32ProfileReader.h"
#include "Win32Spooler.h"
#include "Win32StatusLibrary.h"
#include "Win32SystemServices.h"
#include "Win32UpdateLock.h"
#include "Win32VersionApi.h"

#include <commctrl.h>

namespace sarnok::win32 {

CfuuApp theApp;

bool CfuuApp::InitInstance(HINSTANCE instance) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = 8; // the structure's size: two 32-bit fields
    controls.dwICC = 0xFF;
    ::InitCommonControlsEx(&controls);

    // Before any library is loaded by name: the current directory leaves the search path, so a
    // DLL planted in the working folder is never loaded in place of the maker's.
    ::SetDllDirectoryA("");

    // The deployment console does not update while the dialog is open. Whatever the lock
    // answers, the dialog opens as it always has: a technician is never kept out.
    CUpdateLock lock;
    lock.Acquire();

    CWin32Spooler spooler;
    CWin32StatusLibrary statusLibrary;
    CWin32LibraryLoader loader;
    CWin32FirmwareFile files;
    CWin32Clock clock;
    CWin32SystemServices system;
    CWin32ProfileReader profile;
    CWin32VersionApi versionApi;
    CWin32Digest digest;
    const CServices services{spooler, statusLibrary, loader,     files, clock,
                             system,  profile,       versionApi, digest};
    {
        CMainDialog dialog(instance, services);
        // The result does not matter: Cancel, Close, Escape and the close box all end the
        // program the same way. The dialog's destruction releases its library.
        dialog.DoModal();
    }
    return false;
}

} // namespace sarnok::win32
