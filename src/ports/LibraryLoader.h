// Loading libraries by name and looking up their entry points.
#pragma once

#include "ports/Handles.h"

namespace sarnok {

class ILibraryLoader {
public:
    virtual ~ILibraryLoader() = default;

    virtual ModuleHandle Load(const char* fileName) = 0;                    // nullptr on failure
    virtual FarProc Lookup(ModuleHandle module, const char* entryName) = 0; // nullptr if absent
    virtual void Release(ModuleHandle module) = 0;
};

} // namespace sarnok
