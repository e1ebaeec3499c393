// What the virtual printers remember between program runs: each printer's firmware, and a
// restart that was still running when the program that started it ended. Real printers keep
// their firmware when the program that flashed them exits; without this, the next program run
// (a detection rule right after an update, say) would meet them at the scenario's versions.
//
// The file lies beside the scenario, one line per printer, fields separated by tabs:
//
//   Card A<TAB>32.29
//   Card B<TAB>28.26<TAB>restart-ends=1765371234567<TAB>then=33.36
//
// restart-ends is wall-clock time (milliseconds since 1970, UTC): the program that started the
// restart may exit before it ends, and only the wall clock means the same in the next process.
// That run sees the printer restarting (polling busy, the old version) until then, and at the
// "then" version afterwards, as if it had watched the whole restart. The file is read once, when
// a simulator starts: two programs running at the same time do not see each other's updates.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <map>
#include <string>

namespace sarnok::sim {

struct CRememberedPrinter {
    std::int32_t m_major = 0;
    std::int32_t m_minor = 0;
    std::uint64_t m_restartEndsWallMs = 0; // 0: not restarting
    std::int32_t m_nextMajor = 0;          // the version once the restart has ended
    std::int32_t m_nextMinor = 0;
};
using CSimState = std::map<std::string, CRememberedPrinter>;

// A line that cannot be read is skipped and counted in ignored: a damaged file costs the
// printers it names their memory, and they start at the scenario's versions.
CSimState ParseSimState(std::istream& in, std::size_t* ignored);
std::string FormatSimState(const CSimState& state);

// The state file, replaced whole on each write: the text goes to PATH.tmp first, which then
// takes the file's place, so a program ended mid-write leaves the old state or the new one.
class CSimStateFile {
public:
    // Moves from over to, replacing to. The default, std::rename, replaces an existing file on
    // POSIX systems only; Windows needs MoveFileEx.
    using Replace = std::function<bool(const std::string& from, const std::string& to)>;

    explicit CSimStateFile(std::string path, Replace replace = {});

    const std::string& Path() const { return m_path; }
    // False when there is no file (or it cannot be read); state is then empty.
    bool Load(CSimState* state, std::size_t* ignored) const;
    bool Save(const CSimState& state) const;

private:
    std::string m_path;
    Replace m_replace;
};

} // namespace sarnok::sim
