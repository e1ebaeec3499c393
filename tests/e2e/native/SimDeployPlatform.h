// The deployment console's platform over the virtual card printers: the ports of a CSimRig, a
// catalogue given as bytes, and the lock, the status library and the console's interrupts as
// the caller sets them. The native sarnok-deploy and the console's native runs both use it.
#pragma once

#include "DeployCommands.h"
#include "SimPorts.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sarnok::e2e {

class CSimDeployPlatform : public deploy::IDeployPlatform {
public:
    // profile answers the catalogue lookups; it must outlive the platform.
    CSimDeployPlatform(CSimRig& rig, IProfileReader& profile) : m_rig(rig), m_profile(profile) {}

    const char* Program() override { return "sarnok-deploy"; }
    std::string Version() override { return m_version; }
    deploy::CDeployEnvironment Environment() override;
    bool CatalogueReadable(std::string* path) override;
    std::optional<CSha256Digest> CatalogueSha256() override;
    deploy::ELockAnswer AcquireUpdateLock() override { return m_lock; }
    bool StatusLibraryLoaded() override { return m_statusLibrary; }
    // --log FILE only: there is no default log here.
    std::FILE* OpenLog(const std::string& option, std::string* path, std::string* why) override;
    std::string Now() override;
    deploy::CLogStamp LogStamp() override;
    std::string Account() override { return "SIM\\deploy"; }
    bool InterruptRequested() override { return m_interrupt && m_interrupt(); }
    void WatchConsoleClose(std::function<void(const std::string&)> note) override {
        m_closeNote = std::move(note);
    }
    void PrepareEventSource() override { ++m_registrations; }
    CUpdateJournal* Journal() override { return m_journalOn ? &m_journal : nullptr; }
    bool Elevated() override { return m_elevated; }
    std::optional<std::string> LogFolderProblem(const std::string&) override {
        return m_logFolderProblem;
    }
    std::vector<deploy::CSetAside> TakeSetAside() override { return std::exchange(m_setAside, {}); }
    std::FILE* Out() override { return m_out; }
    std::FILE* Err() override { return m_err; }

    // The catalogue's bytes; nothing: it cannot be read.
    std::optional<std::string> m_catalogue;
    std::string m_version = "0.0.0";
    deploy::ELockAnswer m_lock = deploy::ELockAnswer::Held;
    bool m_statusLibrary = true;
    std::function<bool()> m_interrupt;
    std::function<void(const std::string&)> m_closeNote;
    std::FILE* m_out = stdout;
    std::FILE* m_err = stderr;
    // The journal in memory: its files, and whether this run has one.
    test::CFakeJournalStore m_journalStore;
    bool m_journalOn = true;
    bool m_elevated = true;
    // The ports cannot be made: the program runs out of memory.
    bool m_outOfMemory = false;
    std::optional<std::string> m_logFolderProblem;
    std::vector<deploy::CSetAside> m_setAside;
    // The Event Log: every event reported, and whether it takes them.
    test::CFakeEventLog m_events;
    int m_registrations = 0;

private:
    CSimRig& m_rig;
    IProfileReader& m_profile;
    CUpdateJournal m_journal{m_journalStore, "SarnokDeploy", true};
};

} // namespace sarnok::e2e
