// Loads the stand-in DLLs beside this program (under Wine with winspool.drv=n) and checks the
// call forms, the record layouts and that all of them act on one shared printer.
#include "core/DemoFirmware.h"

#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

int g_failures = 0;

void Check(bool ok, const char* what, int line) {
    if (!ok) {
        std::printf("FAILED line %d: %s\n", line, what);
        ++g_failures;
    }
}
#define CHECK(x) Check((x), #x, __LINE__)

using PEnumPrinters = BOOL(WINAPI*)(DWORD, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);
using POpenPrinter = BOOL(WINAPI*)(LPSTR, LPHANDLE, LPPRINTER_DEFAULTSA);
using PGetPrinter = BOOL(WINAPI*)(HANDLE, DWORD, LPBYTE, DWORD, LPDWORD);
using PClosePrinter = BOOL(WINAPI*)(HANDLE);
using PWritePrinter = BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD);
using PReadPrinter = BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD);
using PInfo = int(WINAPI*)(const char*, int, void*, DWORD, DWORD*);
using PPolling = int(WINAPI*)(const char*, DWORD*);
using PResume = int(WINAPI*)(const char*, int);
using PStartDoc = int(WINAPI*)(HANDLE, DWORD, DOC_INFO_1A*, DWORD, DWORD*);
using PEndDoc = int(WINAPI*)(HANDLE, DWORD);
using PReadReply = int(WINAPI*)(HANDLE, void*, DWORD, DWORD*);

std::string Directory() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text = path;
    return text.substr(0, text.find_last_of('\\'));
}

std::string ModulePath(HMODULE module) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    return path;
}

template <typename T>
T Entry(HMODULE module, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::uint8_t> Header(std::uint32_t size) {
    std::vector<std::uint8_t> header(24, 0);
    std::memcpy(header.data(), "Flash update", 12);
    std::memcpy(header.data() + 20, &size, 4);
    return header;
}

} // namespace

int main() {
    const std::string dir = Directory();
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string scenario = std::string(temp) + "sarnok-sim-smoke.txt";
    const std::string log = std::string(temp) + "sarnok-sim-smoke.log";
    {
        std::ofstream out(scenario, std::ios::trunc);
        out << "[sim]\ntime-scale = 100\n"
               "[printer]\nname = Card A\nport = USB001\nmodel = CP-40\nfirmware = 32.29\n"
               "restart-ms = 20000\n"
               "[printer]\nname = Office\nport = LPT1:\nprocessor = winprint\n";
    }
    // The printers remember their firmware beside their scenario: each smoke run starts fresh.
    DeleteFileA((std::string(temp) + "sim-state.txt").c_str());
    SetEnvironmentVariableA("SARNOK_SIM_SCENARIO", scenario.c_str());
    SetEnvironmentVariableA("SARNOK_SIM_LOG", log.c_str());

    HMODULE spooler = LoadLibraryA("winspool.drv");
    CHECK(spooler != nullptr);
    CHECK(_stricmp(ModulePath(spooler).c_str(), (dir + "\\winspool.drv").c_str()) == 0);
    HMODULE status = LoadLibraryA("ORN_API.dll");
    HMODULE legacy = LoadLibraryA((dir + "\\ORN_API.bak").c_str());
    HMODULE driver = LoadLibraryA("DODAVED.DLL");
    HMODULE other = LoadLibraryA("VIZUVUV.DLL");
    if (spooler == nullptr || status == nullptr || legacy == nullptr || driver == nullptr ||
        other == nullptr) {
        std::printf("FAILED: a DLL did not load\n");
        return 1;
    }

    // Enumeration: size query with ERROR_INSUFFICIENT_BUFFER, then records and texts.
    auto enumPrinters = Entry<PEnumPrinters>(spooler, "EnumPrintersA");
    DWORD needed = 0;
    DWORD returned = 7;
    CHECK(!enumPrinters(PRINTER_ENUM_LOCAL, nullptr, 5, nullptr, 0, &needed, &returned));
    CHECK(GetLastError() == ERROR_INSUFFICIENT_BUFFER);
    CHECK(needed == 2 * sizeof(PRINTER_INFO_5A) + 7 + 7 + 7 + 6);
    CHECK(returned == 0);
    std::vector<BYTE> records(2000);
    CHECK(enumPrinters(PRINTER_ENUM_LOCAL, nullptr, 5, records.data(), 2000, &needed, &returned));
    CHECK(returned == 2);
    const auto* info5 = reinterpret_cast<const PRINTER_INFO_5A*>(records.data());
    CHECK(std::strcmp(info5[0].pPrinterName, "Card A") == 0);
    CHECK(std::strcmp(info5[0].pPortName, "USB001") == 0);
    CHECK(std::strcmp(info5[1].pPrinterName, "Office") == 0);
    CHECK(info5[1].pPortName > reinterpret_cast<char*>(records.data()) &&
          info5[1].pPortName < reinterpret_cast<char*>(records.data()) + 2000);

    // Discovery's open and level-2 query.
    auto openPrinter = Entry<POpenPrinter>(spooler, "OpenPrinterA");
    auto getPrinter = Entry<PGetPrinter>(spooler, "GetPrinterA");
    auto closePrinter = Entry<PClosePrinter>(spooler, "ClosePrinter");
    HANDLE printer = nullptr;
    char nobody[] = "Nobody";
    CHECK(!openPrinter(nobody, &printer, nullptr));
    CHECK(GetLastError() == ERROR_INVALID_PRINTER_NAME);
    char cardA[] = "Card A";
    CHECK(openPrinter(cardA, &printer, nullptr));
    CHECK(!getPrinter(printer, 2, nullptr, 0, &needed));
    CHECK(GetLastError() == ERROR_INSUFFICIENT_BUFFER);
    std::vector<BYTE> info2(needed);
    CHECK(getPrinter(printer, 2, info2.data(), needed, &needed));
    const auto* record2 = reinterpret_cast<const PRINTER_INFO_2A*>(info2.data());
    CHECK(std::strcmp(record2->pPrintProcessor, "Mox Print Processor") == 0);
    CHECK(std::strcmp(record2->pPrinterName, "Card A") == 0);
    CHECK(closePrinter(printer));
    CHECK(!closePrinter(printer));
    CHECK(GetLastError() == ERROR_INVALID_HANDLE);

    // Status library and its legacy copy.
    auto info = Entry<PInfo>(status, "GetCardPrinterInfoA");
    auto polling = Entry<PPolling>(status, "GetCardPrinterPollingStateA");
    auto resume = Entry<PResume>(status, "ResumePrinterPollingA");
    CHECK(info != nullptr && polling != nullptr && resume != nullptr);
    CHECK(Entry<PInfo>(legacy, "_GetCardPrinterInfoA@20") != nullptr);
    CHECK(Entry<PInfo>(legacy, "GetCardPrinterInfoA") == nullptr);
    DWORD required = 0;
    info("Card A", 2, nullptr, 0, &required);
    CHECK(required == 24);
    std::vector<BYTE> version(24);
    CHECK(info("Card A", 2, version.data(), 24, &required) != 0);
    CHECK(version[16] == 32 && version[20] == 29);
    Entry<PInfo>(legacy, "_GetCardPrinterInfoA@20")("Card A", 1, nullptr, 0, &required);
    std::vector<BYTE> model(required);
    CHECK(Entry<PInfo>(legacy, "_GetCardPrinterInfoA@20")("Card A", 1, model.data(), required,
                                                          &required) != 0);
    CHECK(std::strcmp(*reinterpret_cast<const char* const*>(model.data()), "CP-40") == 0);

    // A flash job: started and read back through DODAVED.DLL, written through winspool.drv.
    auto startDoc = Entry<PStartDoc>(driver, "ZevStartDocPrinter");
    auto endDoc = Entry<PEndDoc>(driver, "ZevEndDocPrinter");
    auto readReply = Entry<PReadReply>(driver, "ZevReadPrinter");
    auto writePrinter = Entry<PWritePrinter>(spooler, "WritePrinter");
    auto readPrinter = Entry<PReadPrinter>(spooler, "ReadPrinter");
    CHECK(startDoc != nullptr && endDoc != nullptr && readReply != nullptr);
    CHECK(Entry<PStartDoc>(other, "ZevStartDocPrinter") != nullptr);
    PRINTER_DEFAULTSA defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    CHECK(openPrinter(cardA, &printer, &defaults));
    char docName[] = "Flash Update";
    DOC_INFO_1A doc{docName, nullptr, nullptr};
    DWORD jobId = 0;
    CHECK(startDoc(printer, 1, &doc, 1, &jobId) != 0);
    CHECK(jobId != 0);
    std::vector<std::uint8_t> image;
    sarnok::sim::BuildDemoImage({"CP-40", 33, 1}, 4500, &image);
    std::vector<std::uint8_t> header = Header(4500);
    DWORD count = 0;
    CHECK(writePrinter(printer, header.data(), 24, &count) && count == 24);
    CHECK(readPrinter(printer, nullptr, 0, &count) && count == 0);
    for (std::size_t offset = 0; offset < image.size(); offset += 2000) {
        const DWORD length = static_cast<DWORD>(std::min<std::size_t>(2000, image.size() - offset));
        CHECK(writePrinter(printer, image.data() + offset, length, &count) && count == length);
    }
    CHECK(readPrinter(printer, nullptr, 0, &count));
    std::uint8_t reply[50] = {};
    count = 0;
    CHECK(readReply(printer, reply, 50, &count) != 0);
    const std::uint8_t success[12] = {1, 1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0xFD};
    CHECK(count == 12 && std::memcmp(reply, success, 12) == 0);
    CHECK(endDoc(printer, 0) != 0);
    CHECK(closePrinter(printer));

    // The restart, at a hundred times real speed: 20 s of printer time take 200 ms.
    DWORD state = 0;
    polling("Card A", &state);
    CHECK(state != 0);
    for (int i = 0; i < 100 && state != 0; ++i) {
        Sleep(50);
        resume("Card A", 1);
        polling("Card A", &state);
    }
    CHECK(state == 0);
    CHECK(info("Card A", 2, version.data(), 24, &required) != 0);
    CHECK(version[16] == 33 && version[20] == 1);

    // Variants with missing or decorated entry points.
    HMODULE decorated = LoadLibraryA((dir + "\\variants\\decorated\\DODAVED.DLL").c_str());
    HMODULE noRead = LoadLibraryA((dir + "\\variants\\no-read\\DODAVED.DLL").c_str());
    CHECK(decorated != nullptr && decorated != driver && noRead != nullptr && noRead != driver);
    if (decorated != nullptr && noRead != nullptr) {
        CHECK(GetProcAddress(decorated, "ZevStartDocPrinter") == nullptr);
        CHECK(GetProcAddress(decorated, "ZevStartDocPrinter@20") != nullptr);
        CHECK(GetProcAddress(decorated, "ZevEndDocPrinter@8") != nullptr);
        CHECK(GetProcAddress(decorated, "ZevReadPrinter@16") != nullptr);
        CHECK(GetProcAddress(noRead, "ZevStartDocPrinter") != nullptr);
        CHECK(GetProcAddress(noRead, "ZevReadPrinter") == nullptr);
        CHECK(GetProcAddress(noRead, "ZevReadPrinter@16") == nullptr);
    }

    const std::string text = ReadAll(log);
    const char* const expected[] = {
        "winspool EnumPrintersA(flags=2, name=NULL, level=5, size=0) -> 0 error=122",
        "DODAVED ZevStartDocPrinter(#2, level=1, doc=\"Flash Update\", output=NULL, "
        "datatype=NULL, mode=1) -> 1 job=41",
        "chunks=24,2000,2000,500 size-field=4500 body=4500",
        "reply=success problems=none",
        "ORN_API.bak GetCardPrinterInfoA(\"Card A\", type=1",
        "restarted firmware=33.1",
        "winspool ClosePrinter(#2) -> 1 open=0",
    };
    for (const char* line : expected) {
        if (text.find(line) == std::string::npos) {
            std::printf("FAILED: log lacks: %s\n", line);
            ++g_failures;
        }
    }
    if (g_failures != 0) {
        std::printf("--- job log ---\n%s", text.c_str());
    }
    std::printf("%s (%d failures)\n", g_failures == 0 ? "PASSED" : "FAILED", g_failures);
    return g_failures == 0 ? 0 : 1;
}
