// The Windows Event Log, where a fleet's administrators collect what happened on every
// workstation. Reporting never holds up or fails an update.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sarnok {

enum class EEventType : std::uint8_t {
    Information,
    Warning,
    Error,
};

// The product's event ids; each one's insertion strings are documented with the message table.
inline constexpr unsigned kEventUpdateSucceeded = 1000;
inline constexpr unsigned kEventUpdateFailed = 1001;
inline constexpr unsigned kEventUpdateNotStarted = 1002;
inline constexpr unsigned kEventUpdateInterrupted = 1003;
inline constexpr unsigned kEventDeployRunEnded = 1004;
inline constexpr unsigned kEventFolderSetAside = 1005;

class IEventLog {
public:
    virtual ~IEventLog() = default;
    // False when the event was not written.
    virtual bool Report(unsigned id, EEventType type, const std::vector<std::string>& strings) = 0;
    // "Sarnok" or "SarnokDeploy", and the account it runs as: insertion strings of most events.
    virtual std::string Program() = 0;
    virtual std::string Account() = 0;
};

} // namespace sarnok
