#include "fakes/FakePlatform.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace sarnok::test {

namespace {
std::uint32_t g_lastError = 0;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}
} // namespace

void SetLastErrorValue(std::uint32_t code) {
    g_lastError = code;
}
std::uint32_t LastErrorValue() {
    return g_lastError;
}

// ---- CVirtualClock ----

std::uint32_t CVirtualClock::GetTickCount() {
    const std::uint32_t now = m_now;
    m_now += m_tickCost;
    return now;
}

void CVirtualClock::Sleep(std::uint32_t milliseconds) {
    m_sleeps.push_back(milliseconds);
    m_slept += milliseconds;
    m_now += milliseconds;
}

void CVirtualClock::KeepResponsive() {
    ++m_keepResponsiveCalls;
}

// ---- CFakeLoader ----

void CFakeLoader::AddModule(const std::string& fileName, std::map<std::string, FarProc> exports) {
    m_available[fileName] = CModule{fileName, std::move(exports)};
}

ModuleHandle CFakeLoader::Load(const char* fileName) {
    m_calls.push_back("load:" + std::string(fileName));
    if (!m_available.count(fileName)) {
        return nullptr;
    }
    const std::uintptr_t handle = m_next++;
    m_loaded[handle] = fileName;
    return reinterpret_cast<ModuleHandle>(handle);
}

FarProc CFakeLoader::Lookup(ModuleHandle module, const char* entryName) {
    const std::string name = NameOf(module);
    m_calls.push_back("lookup:" + name + ":" + entryName);
    const auto it = m_available.find(name);
    if (it == m_available.end()) {
        return nullptr;
    }
    const auto entry = it->second.m_exports.find(entryName);
    return entry == it->second.m_exports.end() ? nullptr : entry->second;
}

void CFakeLoader::Release(ModuleHandle module) {
    m_calls.push_back("release:" + NameOf(module));
    m_loaded.erase(reinterpret_cast<std::uintptr_t>(module));
}

std::string CFakeLoader::NameOf(ModuleHandle module) const {
    const auto it = m_loaded.find(reinterpret_cast<std::uintptr_t>(module));
    return it == m_loaded.end() ? std::string("?") : it->second;
}

// ---- CFakeFiles ----

void CFakeFiles::SetNormalAttributes(const std::string& path) {
    m_calls.push_back("attr:" + path);
    if (const auto it = m_files.find(path); it != m_files.end()) {
        it->second.m_readOnly = false;
    }
}

FileHandle CFakeFiles::OpenExclusive(const std::string& path) {
    m_calls.push_back("open:" + path);
    if (m_openFails) {
        return nullptr;
    }
    auto it = m_files.find(path);
    if (it == m_files.end()) {
        it = m_files.emplace(path, CFile{}).first; // created empty, as CreateFileA would
    }
    if (it->second.m_readOnly || it->second.m_locked) {
        return nullptr;
    }
    for (const auto& [handle, name] : m_handles) {
        if (name == path) {
            return nullptr; // already open without sharing
        }
    }
    const std::uintptr_t handle = m_next++;
    m_handles[handle] = path;
    ++m_openFiles;
    return reinterpret_cast<FileHandle>(handle);
}

std::uint64_t CFakeFiles::GetSize(FileHandle file) {
    m_calls.push_back("size");
    const CFile& data = m_files.at(m_handles.at(reinterpret_cast<std::uintptr_t>(file)));
    return data.m_sizeOverride.value_or(data.m_bytes.size());
}

MappingHandle CFakeFiles::CreateMapping(FileHandle file, std::uint32_t size) {
    m_calls.push_back("mapping:" + std::to_string(size));
    if (m_mappingFails) {
        return nullptr;
    }
    const std::uintptr_t handle = m_next++;
    m_mappings[handle] = m_handles.at(reinterpret_cast<std::uintptr_t>(file));
    ++m_openMappings;
    return reinterpret_cast<MappingHandle>(handle);
}

const std::uint8_t* CFakeFiles::MapView(MappingHandle mapping) {
    m_calls.push_back("view");
    if (m_viewFails) {
        return nullptr;
    }
    ++m_openViews;
    CFile& data = m_files.at(m_mappings.at(reinterpret_cast<std::uintptr_t>(mapping)));
    return data.m_bytes.data();
}

void CFakeFiles::UnmapView(const std::uint8_t* /*view*/) {
    m_calls.push_back("unmap");
    --m_openViews;
}

void CFakeFiles::CloseMapping(MappingHandle mapping) {
    m_calls.push_back("closeMapping");
    if (m_mappings.erase(reinterpret_cast<std::uintptr_t>(mapping)) != 0) {
        --m_openMappings;
    }
}

void CFakeFiles::CloseFile(FileHandle file) {
    m_calls.push_back("closeFile");
    if (m_handles.erase(reinterpret_cast<std::uintptr_t>(file)) != 0) {
        --m_openFiles;
    }
}

void CFakeFiles::Delete(const char* fileName) {
    m_calls.push_back("delete:" + std::string(fileName));
    m_deleted.push_back(fileName);
}

// ---- CFakeSystem ----

bool CFakeSystem::GetExecutablePath(std::string* path) {
    if (!m_executablePath) {
        return false;
    }
    *path = *m_executablePath;
    return true;
}

CSystemText CFakeSystem::GetErrorText(std::uint32_t code, std::uint16_t /*language*/) {
    const std::string text = "System error " + std::to_string(code) + ".\r\n";
    char* block = static_cast<char*>(std::malloc(text.size() + 1));
    std::memcpy(block, text.c_str(), text.size() + 1);
    ++m_liveErrorTexts;
    return CSystemText(block, [this](const char* p) {
        std::free(const_cast<char*>(p));
        --m_liveErrorTexts;
    });
}

void* CFakeSystem::AllocateTaskMemory(std::size_t size) {
    if (m_allocationFails) {
        return nullptr;
    }
    ++m_taskAllocations;
    ++m_liveTaskBlocks;
    return std::malloc(size);
}

void CFakeSystem::FreeTaskMemory(void* block) {
    if (block != nullptr) {
        --m_liveTaskBlocks;
        std::free(block);
    }
}

void CFakeSystem::KeepSystemAwake(bool on) {
    m_awake = on;
    m_awakeCalls.push_back(on);
}

std::string CFakeSystem::UpperCaseAnsi(const std::string& text) {
    std::string upper = text;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

// ---- CFakeProfile ----

void CFakeProfile::Set(const std::string& section, const std::string& key,
                       const std::string& value) {
    m_sections[Lower(section)][Lower(key)] = value;
}

std::uint32_t CFakeProfile::GetString(const char* section, const char* key, char* buffer,
                                      std::uint32_t size, const char* filePath) {
    m_paths.push_back(filePath);
    m_lookups.push_back(std::string(section) + "/" + key + ":" + std::to_string(size));
    if (size == 0) {
        return 0;
    }
    std::string value;
    if (m_fileExists) {
        if (const auto s = m_sections.find(Lower(section)); s != m_sections.end()) {
            if (const auto k = s->second.find(Lower(key)); k != s->second.end()) {
                value = k->second;
            }
        }
    }
    const std::size_t count = std::min<std::size_t>(value.size(), size - 1);
    std::memcpy(buffer, value.data(), count);
    buffer[count] = '\0';
    return static_cast<std::uint32_t>(count);
}

// ---- CTestRig ----

CTestRig::CTestRig() {
    m_dlg = std::make_unique<CfuuDlg>(Ports());
}

CPorts CTestRig::Ports() {
    return CPorts{.m_view = m_view,
                  .m_spooler = m_spooler,
                  .m_statusLibrary = m_status,
                  .m_loader = m_loader,
                  .m_files = m_files,
                  .m_clock = m_clock,
                  .m_system = m_system,
                  .m_profile = m_profile,
                  .m_digest = &m_digest,
                  .m_lock = &m_lock};
}

CJournalFile CFakeJournalStore::ReadFile(bool older) {
    const std::optional<std::string>& text = older ? m_older : m_current;
    CJournalFile file;
    if (m_unreadable) {
        file.m_state = EJournalFileState::Unreadable;
    } else if (text) {
        file.m_state = EJournalFileState::Read;
        file.m_cut = text->size() > kJournalReadLimit;
        file.m_text = file.m_cut ? text->substr(text->size() - kJournalReadLimit) : *text;
    }
    return file;
}

bool CFakeJournalStore::Append(const std::string& line, bool flush) {
    if (!m_writable) {
        return false;
    }
    m_current = m_current.value_or("") + line;
    m_flushed.push_back(flush);
    return true;
}

bool CFakeJournalStore::Rotate() {
    m_older = std::exchange(m_current, std::nullopt);
    return true;
}

std::string CFakeJournalStore::UtcNow() {
    char text[32];
    std::snprintf(text, sizeof text, "2026-12-10T%02u:%02u:00Z", 8 + m_minute / 60, m_minute % 60);
    ++m_minute;
    return text;
}

std::string CFakeJournalStore::LocalMinute(const std::string& utc) {
    std::string local = utc.substr(0, 16);
    if (local.size() > 10) {
        local[10] = ' ';
    }
    return local;
}

} // namespace sarnok::test
