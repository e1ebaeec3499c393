// One firmware update at a time on a workstation, whichever program starts it.
#pragma once

#include <cstdint>
#include <string>

namespace sarnok {

enum class ELockState : std::uint8_t {
    Held,        // this process holds the lock (now or from before)
    Taken,       // another program holds it, or an object of another kind has its name
    Unavailable, // it could not be made at all
};

class IUpdateLock {
public:
    virtual ~IUpdateLock() = default;
    // Takes the lock unless this process holds it already.
    virtual ELockState Acquire() = 0;
    // Gives it back; nothing when it is not held.
    virtual void Release() = 0;
};

// What the system answers when the lock's namespace is made or opened.
enum class ENamespaceAnswer : std::uint8_t {
    Open,        // made, or opened as another administrator's process made it
    Denied,      // not an administrator's process (an unelevated one): it may not open it
    Unsupported, // the system has no private namespaces
    Failed,      // any other failure
};

// What the system answers when the lock's mutex is made, owned by this process.
enum class EMutexAnswer : std::uint8_t {
    Owned,  // made or opened, and now owned by this process
    Exists, // another process made it, or an object of another kind has its name
    Failed, // any other failure
};

// The system objects the lock is made of, each call one system answer.
class ILockObjects {
public:
    virtual ~ILockObjects() = default;
    // The namespace bounded by the Administrators group; why names the failing call.
    virtual ENamespaceAnswer OpenNamespace(std::string* why) = 0;
    // The mutex in that namespace, or under the Global\ name when inNamespace is false.
    virtual EMutexAnswer CreateOwnedMutex(bool inNamespace) = 0;
    // Releases and closes the mutex, then closes the namespace, each if open.
    virtual void CloseAll() = 0;
};

} // namespace sarnok
