#include "App.h"

#include "MainDialog.h"
#include "Win32Clock.h"
#include "Win32Digest.h"
#include "Win32EventLog.h"
#include "Win32FirmwareFile.h"
#include "Win32JournalStore.h"
#include "Win32LibraryLoader.h"
#include "Win32ProfileReader.h"
#include "Win32SecureFolders.h"
#include "Win32Spooler.h"
#include "Win32StatusLibrary.h"
#include "Win32SystemServices.h"
#include "Win32UpdateLock.h"
#include "Win32VersionApi.h"

#include "journal/UpdateJournal.h"

#include <commctrl.h>

#include <memory>

namespace sarnok::win32 {

CfuuApp theApp;

bool CfuuApp::InitInstance(HINSTANCE instance) {
    // Before any library is loaded by name: the maker's driver libraries come from this
    // program's folder or the system folder, never from the current folder or PATH.
    RestrictLibrarySearch();

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = 8; // the structure's size: two 32-bit fields
    controls.dwICC = 0xFF;
    ::InitCommonControlsEx(&controls);

    // Taken by each click for its runs and given back when the click ends, so that a dialog
    // left open does not hold back the deployment console.
    CUpdateLock lock;

    CWin32Spooler spooler;
    CWin32StatusLibrary statusLibrary;
    CWin32LibraryLoader loader;
    CWin32FirmwareFile files;
    CWin32Clock clock;
    CWin32SystemServices system;
    CWin32ProfileReader profile;
    CWin32VersionApi versionApi;
    CWin32Digest digest;
    CWin32EventLog events("Sarnok");
    // The journal is appended to only where the deployment console has made it, in a folder
    // SYSTEM can trust, and only by a dialog that may append to it: an elevated one, since only
    // SYSTEM and Administrators have any right there. This program never creates it, and an
    // unelevated dialog keeps no journal and reads none.
    const std::string history = ProgramDataFolder() + "\\Brelwin\\History";
    std::unique_ptr<CWin32JournalStore> journalStore;
    std::unique_ptr<CUpdateJournal> journal;
    CWin32SecureFolders folders;
    const bool elevated = folders.Elevated();
    const CPathFacts facts = folders.Inspect(history);
    if (elevated && facts.m_directory && !facts.m_reparsePoint &&
        OwnerTrusted(facts.m_owner, elevated)) {
        journalStore = std::make_unique<CWin32JournalStore>(history, false);
        if (journalStore->CanAppend()) {
            journal = std::make_unique<CUpdateJournal>(*journalStore, "Sarnok", false);
        } else {
            journalStore.reset();
        }
    }
    const CServices services{spooler, statusLibrary, loader, files, clock,         system,
                             profile, versionApi,    digest, &lock, journal.get(), &events};
    {
        CMainDialog dialog(instance, services);
        // The result does not matter: Cancel, Close, Escape and the close box all end the
        // program the same way. The dialog's destruction releases its library.
        dialog.DoModal();
    }
    return false;
}

} // namespace sarnok::win32
