// The commands from the command line to the exit code; the platform's main supplies what only
// it can: the ports, the texts, the catalogue's place, the one-update-at-a-time lock and the log.
#pragma once

#include "DeployTool.h"

#include <cstdio>
#include <string>
#include <vector>

namespace sarnok::deploy {

class IDeployPlatform {
public:
    virtual ~IDeployPlatform() = default;
    virtual const char* Program() = 0;
    virtual CDeployEnvironment Environment() = 0;
    // False when the catalogue beside the program cannot be read; path names it either way.
    virtual bool CatalogueReadable(std::string* path) = 0;
    // False when another update (or the dialog) holds the workstation's update lock. The lock
    // is held until the platform object goes.
    virtual bool AcquireUpdateLock() = 0;
    // The log file opened for appending, or null (option: --log's value, empty for the
    // default; path: the file tried, empty when there is no default).
    virtual std::FILE* OpenLog(const std::string& option, std::string* path) = 0;
    // A line for the log's header: the local date and time.
    virtual std::string Now() = 0;
};

int RunDeploy(const std::vector<std::string>& args, IDeployPlatform& platform);

} // namespace sarnok::deploy
