// Which lock a process takes: the mutex in the Administrators' private namespace, which no
// standard user can make or hold, and the Global\ name only where that namespace cannot be made
// at all (Windows without it, or failing, and Wine). A process that may not open the namespace
// is not an administrator's, and takes no lock: it could not flash a printer anyway.
#pragma once

#include "ports/UpdateLock.h"

#include <string>

namespace sarnok {

class CUpdateLockPath : public IUpdateLock {
public:
    explicit CUpdateLockPath(ILockObjects& objects) : m_objects(objects) {}
    ~CUpdateLockPath() override { Release(); }
    CUpdateLockPath(const CUpdateLockPath&) = delete;
    CUpdateLockPath& operator=(const CUpdateLockPath&) = delete;

    ELockState Acquire() override;
    void Release() override;

    // Why the last try took the Global\ name instead of the namespace; empty when it did not.
    const std::string& FallbackReason() const { return m_fallbackReason; }

private:
    ILockObjects& m_objects;
    bool m_held = false;
    std::string m_fallbackReason;
};

} // namespace sarnok
