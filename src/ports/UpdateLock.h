// One firmware update at a time on a workstation, whichever program starts it.
#pragma once

#include <cstdint>

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
};

} // namespace sarnok
