#include "Win32LoadedStatusLibrary.h"

#include "Win32LibraryLoader.h"

namespace sarnok::win32 {

namespace {

template <typename Function>
Function Bind(HMODULE module, const char* name) {
    // A FARPROC is cast to the entry point's own type, through void* as GCC asks.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

} // namespace

CWin32LoadedStatusLibrary::CWin32LoadedStatusLibrary() {
    // The program's own folder, then the system's, as the dialog's load-time import finds it;
    // a copy found only on PATH is not the maker's software on this workstation.
    m_hModule = LoadProgramLibrary("ORN_API.dll");
    if (m_hModule == nullptr) {
        return;
    }
    m_info = Bind<PFN_Info>(m_hModule, "GetCardPrinterInfoA");
    m_state = Bind<PFN_State>(m_hModule, "GetCardPrinterPollingStateA");
    m_resume = Bind<PFN_Resume>(m_hModule, "ResumePrinterPollingA");
}

CWin32LoadedStatusLibrary::~CWin32LoadedStatusLibrary() {
    if (m_hModule != nullptr) {
        ::FreeLibrary(m_hModule);
    }
}

// The out values go through DWORD locals, as the load-time adapter passes them.
int CWin32LoadedStatusLibrary::GetCardPrinterInfo(const char* printerName, int infoType,
                                                  void* buffer, std::uint32_t bufferSize,
                                                  std::uint32_t* requiredSize) {
    if (!Loaded()) {
        return 0;
    }
    DWORD required = requiredSize != nullptr ? *requiredSize : 0;
    const int result = m_info(printerName, infoType, buffer, bufferSize,
                              requiredSize != nullptr ? &required : nullptr);
    if (requiredSize != nullptr) {
        *requiredSize = static_cast<std::uint32_t>(required);
    }
    return result;
}

int CWin32LoadedStatusLibrary::GetCardPrinterPollingState(const char* printerName,
                                                          std::int32_t* state) {
    if (!Loaded()) {
        return 0;
    }
    DWORD value = state != nullptr ? static_cast<DWORD>(*state) : 0;
    const int result = m_state(printerName, state != nullptr ? &value : nullptr);
    if (state != nullptr) {
        *state = static_cast<std::int32_t>(value);
    }
    return result;
}

int CWin32LoadedStatusLibrary::ResumePrinterPolling(const char* printerName, int flag) {
    return Loaded() ? m_resume(printerName, flag) : 0;
}

} // namespace sarnok::win32
