// The maker's status library, ORN_API.dll, as the program imports it at load time. The import
// library is generated from ORN_API.def at build time; the DLL exports the plain names.
#pragma once

#include <windows.h>

extern "C" {

__declspec(dllimport) int __stdcall GetCardPrinterInfoA(const char* printer, int infoType,
                                                        void* buffer, DWORD size, DWORD* required);
__declspec(dllimport) int __stdcall GetCardPrinterPollingStateA(const char* printer, DWORD* state);
__declspec(dllimport) int __stdcall ResumePrinterPollingA(const char* printer, int flag);

} // extern "C"
