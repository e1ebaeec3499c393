// One firmware update at a time per workstation: a named mutex in the Global namespace, held by
// the dialog while it is open and by the deployment console while it updates.
#pragma once

#include "ports/UpdateLock.h"

#include <windows.h>

namespace sarnok::win32 {

inline constexpr const char* kUpdateLockName = "Global\\Brelwin.CardPrinterFirmwareUpdate";

class CUpdateLock : public IUpdateLock {
public:
    CUpdateLock() = default;
    ~CUpdateLock() override;
    CUpdateLock(const CUpdateLock&) = delete;
    CUpdateLock& operator=(const CUpdateLock&) = delete;

    using EResult = ELockState;
    ELockState Acquire() override;

private:
    HANDLE m_hMutex = nullptr;
};

} // namespace sarnok::win32
