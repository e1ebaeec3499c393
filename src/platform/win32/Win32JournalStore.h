// The update journal's two files in a folder the caller has found trustworthy: updates.jsonl,
// appended to, and updates.1.jsonl, the one it replaced.
#pragma once

#include "ports/JournalStore.h"

#include <string>

namespace sarnok::win32 {

class CWin32JournalStore : public IJournalStore {
public:
    // create: the current file is made when missing (the deployment console); otherwise only
    // an existing one is appended to (the dialog, which must never own what SYSTEM reads).
    CWin32JournalStore(std::string folder, bool create)
        : m_folder(std::move(folder)), m_create(create) {}

    // The current file is there and this process may append to it.
    bool CanAppend();
    CJournalFile ReadFile(bool older) override;
    bool Append(const std::string& line, bool flush) override;
    std::uint64_t Size() override;
    bool Rotate() override;
    std::string UtcNow() override;
    std::string LocalMinute(const std::string& utc) override;
    std::uint32_t ProcessId() override;
    std::string ProcessStarted() override;
    std::string UserName() override;
    EProcessState ProcessState(std::uint32_t pid, const std::string& started) override;
    std::uint64_t BootTime() override;
    std::uint32_t TickCount() override;
    std::string ToUtf8(const std::string& text) override;
    std::string FromUtf8(const std::string& text) override;

private:
    std::string Current() const { return m_folder + "\\updates.jsonl"; }
    std::string Older() const { return m_folder + "\\updates.1.jsonl"; }

    std::string m_folder;
    bool m_create;
};

} // namespace sarnok::win32
