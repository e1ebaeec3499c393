// Times the program from process start until its dialog is ready: the process is created, and
// the probe watches for the visible "Card Printer Firmware Update" window of that process. The
// dialog is shown only after its initialisation has walked the printers, so a visible dialog has
// its printer list filled (or its status lines saying why not). Then the dialog is closed and
// the time until the process has ended is taken too.
//
//   sarnok_startup_probe PROGRAM.exe RUNS
//   sarnok_startup_probe --console PROGRAM.exe RUNS [ARGUMENTS...]
//
// One line per run: "run N ready_ms=... exit_ms=... list=COUNT line1="..." line2="...""; for a
// console program, started in the same way with its output discarded, the time until it has
// ended: "run N done_ms=... code=..."
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr char kCaption[] = "Card Printer Firmware Update";
constexpr int kPrinterList = 1000;
constexpr int kStatusLine1 = 1004;
constexpr int kStatusLine2 = 1005;
constexpr DWORD kGiveUpMs = 30000;

struct CSearch {
    DWORD m_processId;
    HWND m_window;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<CSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char caption[128] = {};
    if (owner == search->m_processId && IsWindowVisible(window) &&
        GetWindowTextA(window, caption, sizeof caption) > 0 && std::string(caption) == kCaption) {
        search->m_window = window;
        return FALSE;
    }
    return TRUE;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

std::string ControlText(HWND dialog, int id) {
    char text[256] = {};
    GetWindowTextA(GetDlgItem(dialog, id), text, sizeof text);
    return text;
}

int RunOnce(const std::string& program, const std::string& folder, int run) {
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER now;
    QueryPerformanceFrequency(&frequency);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + program + "\"";
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
        std::printf("run %d error=cannot-start code=%lu\n", run, GetLastError());
        return 1;
    }

    CSearch search{process.dwProcessId, nullptr};
    for (;;) {
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
        QueryPerformanceCounter(&now);
        if (search.m_window != nullptr || Milliseconds(start, now, frequency) > kGiveUpMs ||
            WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
            break;
        }
        Sleep(1);
    }
    const double readyMs = Milliseconds(start, now, frequency);
    if (search.m_window == nullptr) {
        std::printf("run %d error=no-dialog after_ms=%.1f\n", run, readyMs);
        TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return 1;
    }

    DWORD_PTR count = 0;
    SendMessageTimeoutA(GetDlgItem(search.m_window, kPrinterList), CB_GETCOUNT, 0, 0,
                        SMTO_ABORTIFHUNG, 2000, &count);
    const std::string line1 = ControlText(search.m_window, kStatusLine1);
    const std::string line2 = ControlText(search.m_window, kStatusLine2);

    LARGE_INTEGER closeStart;
    QueryPerformanceCounter(&closeStart);
    PostMessageA(search.m_window, WM_CLOSE, 0, 0);
    const DWORD waited = WaitForSingleObject(process.hProcess, 10000);
    QueryPerformanceCounter(&now);
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
    }
    std::printf("run %d ready_ms=%.1f exit_ms=%.1f list=%lu line1=\"%s\" line2=\"%s\"%s\n", run,
                readyMs, Milliseconds(closeStart, now, frequency),
                static_cast<unsigned long>(count), line1.c_str(), line2.c_str(),
                waited == WAIT_OBJECT_0 ? "" : " error=did-not-close");
    std::fflush(stdout);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return waited == WAIT_OBJECT_0 ? 0 : 1;
}

// A console program from process start until it has ended, its output discarded.
int RunConsoleOnce(const std::string& program, const std::string& folder,
                   const std::string& arguments, int run) {
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER now;
    QueryPerformanceFrequency(&frequency);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + program + "\"" + arguments;
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
        std::printf("run %d error=cannot-start code=%lu\n", run, GetLastError());
        CloseHandle(nul);
        return 1;
    }
    const DWORD waited = WaitForSingleObject(process.hProcess, kGiveUpMs);
    QueryPerformanceCounter(&now);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
    }
    std::printf("run %d done_ms=%.1f code=%lu%s\n", run, Milliseconds(start, now, frequency),
                static_cast<unsigned long>(code), waited == WAIT_OBJECT_0 ? "" : " error=timeout");
    std::fflush(stdout);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(nul);
    return waited == WAIT_OBJECT_0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const bool console = argc >= 4 && std::string(argv[1]) == "--console";
    if (console) {
        ++argv;
        --argc;
    }
    if (argc < 3 || (!console && argc != 3)) {
        std::fprintf(stderr,
                     "usage: sarnok_startup_probe [--console] PROGRAM.exe RUNS [ARGS...]\n");
        return 2;
    }
    char full[MAX_PATH] = {};
    char* namePart = nullptr;
    if (GetFullPathNameA(argv[1], MAX_PATH, full, &namePart) == 0 || namePart == nullptr) {
        std::fprintf(stderr, "sarnok_startup_probe: bad program path %s\n", argv[1]);
        return 2;
    }
    const std::string program = full;
    const std::string folder(full, static_cast<std::size_t>(namePart - full));
    const int runs = std::atoi(argv[2]);
    int failures = 0;
    std::string arguments;
    for (int i = 3; i < argc; ++i) {
        arguments += std::string(" ") + argv[i];
    }
    for (int run = 1; run <= runs; ++run) {
        failures += console ? RunConsoleOnce(program, folder, arguments, run)
                            : RunOnce(program, folder, run);
    }
    return failures == 0 ? 0 : 1;
}
