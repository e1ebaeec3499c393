// One firmware update at a time per workstation: a named mutex in the Global namespace, held by
// the dialog while it is open and by the deployment console while it updates.
#pragma once

#include <windows.h>

namespace sarnok::win32 {

inline constexpr const char* kUpdateLockName = "Global\\Brelwin.CardPrinterFirmwareUpdate";

class CUpdateLock {
public:
    CUpdateLock() = default;
    ~CUpdateLock();
    CUpdateLock(const CUpdateLock&) = delete;
    CUpdateLock& operator=(const CUpdateLock&) = delete;

    enum class EResult {
        Held,        // this process holds the lock now
        Taken,       // another process holds it
        Unavailable, // the mutex could not be created or opened at all
    };
    EResult Acquire();

private:
    HANDLE m_hMutex = nullptr;
};

} // namespace sarnok::win32
