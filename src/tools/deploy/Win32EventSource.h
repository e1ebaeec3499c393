// The Event Log source's registration, which only the deployment console makes: the dialog
// writes no registry.
#pragma once

#include <string>

namespace sarnok::deploy {

// Names this program's file as the source's message file when the source's key is missing or
// names another file. Needs the rights to write HKLM (SYSTEM or an administrator); without
// them nothing changes and the events still go out, with Windows' "description cannot be
// found" text beside their strings. False when the key was to be written and could not be.
bool RegisterEventSourceFor(const std::string& programPath);

} // namespace sarnok::deploy
