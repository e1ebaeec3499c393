// Opaque handles and the calling convention of the maker's libraries, without any platform
// header. The core only stores and passes these values; the adapters give them meaning.
#pragma once

#include <cstdint>

// The maker's libraries are 32-bit stdcall. Declaring their entry-point types with this macro
// lets the same core code call a real library on Win32 and a plain function in native tests.
#if defined(_WIN32) && !defined(_WIN64)
#define SARNOK_STDCALL __stdcall
#else
#define SARNOK_STDCALL
#endif

namespace sarnok {

using PrinterHandle = void*; // spooler printer handle (HANDLE)
using ModuleHandle = void*;  // loaded library (HMODULE)
using FileHandle = void*;    // open file; nullptr means "not opened"
using MappingHandle = void*; // file mapping object
using FarProc = void (*)();  // what a library lookup yields before it is cast

} // namespace sarnok
