// Driver-interface entry points for the binding tests. The plain and the decorated exports lead
// to different functions, so a test can tell which spelling a binding took: each start-document
// function returns, and stores as the job identifier, its own marker.
#include <windows.h>

#include <cstdint>

extern "C" {

int __stdcall PlainStartDoc(void* printer, DWORD level, void* docInfo, DWORD mode, DWORD* jobId) {
    (void)printer;
    (void)level;
    (void)docInfo;
    (void)mode;
    *jobId = 101;
    return 101;
}

int __stdcall DecoratedStartDoc(void* printer, DWORD level, void* docInfo, DWORD mode,
                                DWORD* jobId) {
    (void)printer;
    (void)level;
    (void)docInfo;
    (void)mode;
    *jobId = 202;
    return 202;
}

// Succeeds only for the identifier it is told to expect, so argument order is checked too.
int __stdcall TestEndDoc(void* printer, DWORD jobId) {
    (void)printer;
    if (jobId != 7) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return 1;
}

int __stdcall ReadReply(void* printer, void* buffer, DWORD capacity, DWORD* count) {
    (void)printer;
    const std::uint8_t reply[2] = {0xA5, 0x5A};
    const DWORD n = capacity < 2 ? capacity : 2;
    for (DWORD i = 0; i < n; ++i) {
        static_cast<std::uint8_t*>(buffer)[i] = reply[i];
    }
    *count = n;
    return 1;
}

} // extern "C"
