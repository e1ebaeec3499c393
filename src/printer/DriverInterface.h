// The maker's driver-interface library as the flash job calls it: the three entry points, their
// call forms and the process-wide slots a binding fills.
#pragma once

#include "ports/Handles.h"

#include <cstdint>

namespace sarnok {

// The spooler's level-1 document record (DOC_INFO_1A): the library reads it as that record, so
// the layout must stay exactly three 8-bit text pointers.
struct CDocInfo1 {
    char* m_docName;
    char* m_outputFile;
    char* m_dataType;
};

// Results are non-zero on success; the reason for a 0 is in the thread's last-error value.
using PFN_ZevStartDocPrinter = int(SARNOK_STDCALL*)(PrinterHandle printer, std::uint32_t level,
                                                    CDocInfo1* docInfo, std::uint32_t mode,
                                                    std::uint32_t* jobId);
using PFN_ZevEndDocPrinter = int(SARNOK_STDCALL*)(PrinterHandle printer, std::uint32_t jobId);
using PFN_ZevReadPrinter = int(SARNOK_STDCALL*)(PrinterHandle printer, void* buffer,
                                                std::uint32_t capacity, std::uint32_t* count);

// Names tried for each entry point: the plain export first, then the stdcall-decorated one
// (the number is the size of the arguments on the 32-bit stack).
inline constexpr const char* kStartDocName = "ZevStartDocPrinter";
inline constexpr const char* kStartDocDecorated = "ZevStartDocPrinter@20";
inline constexpr const char* kEndDocName = "ZevEndDocPrinter";
inline constexpr const char* kEndDocDecorated = "ZevEndDocPrinter@8";
inline constexpr const char* kReadName = "ZevReadPrinter";
inline constexpr const char* kReadDecorated = "ZevReadPrinter@16";

// What a failed binding shows on status line 1.
inline constexpr const char* kLibraryNotLoaded = "DLL did not load";
inline constexpr const char* kEntryPointMissing = "A DODAVED function pointer failed to load";

// The entry-point slots. Empty until the first binding, overwritten by every binding; after a
// failed binding they may still point into a released library and are not called.
extern PFN_ZevStartDocPrinter ZevStartDocPrinter;
extern PFN_ZevEndDocPrinter ZevEndDocPrinter;
extern PFN_ZevReadPrinter ZevReadPrinter;

} // namespace sarnok
