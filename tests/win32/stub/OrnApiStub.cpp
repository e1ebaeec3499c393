// A status library that knows no printers: enough for the program and the Windows tests to
// load against ORN_API.dll. Every printer is unknown (record size 0) and never polling.
#include <windows.h>

extern "C" {

int __stdcall StubGetCardPrinterInfo(const char* printer, int infoType, void* buffer, DWORD size,
                                     DWORD* required) {
    (void)printer;
    (void)infoType;
    (void)buffer;
    (void)size;
    if (required != nullptr) {
        *required = 0;
    }
    ::SetLastError(ERROR_INVALID_PRINTER_NAME);
    return 0;
}

int __stdcall StubGetCardPrinterPollingState(const char* printer, DWORD* state) {
    (void)printer;
    if (state != nullptr) {
        *state = 0;
    }
    return 1;
}

int __stdcall StubResumePrinterPolling(const char* printer, int flag) {
    (void)printer;
    (void)flag;
    return 1;
}

} // extern "C"
