// The job log: one line per call the program makes into the virtual printer, with its arguments
// and results, so end-to-end tests can assert on exactly what was sent.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sarnok::sim {

class CJobLog {
public:
    // Every line goes to the sink (a file in the DLLs) and is kept for tests in m_lines.
    explicit CJobLog(std::function<void(const std::string&)> sink = {});

    void Write(const std::string& line);
    const std::vector<std::string>& Lines() const { return m_lines; }
    // Lines that contain text.
    std::vector<std::string> Matching(const std::string& text) const;

    // NULL for a null text, otherwise the text in double quotes with control characters and
    // quotes escaped, so a line never breaks and stays greppable.
    static std::string Quote(const char* text);
    static std::string Hex(std::uint64_t value, int digits);

private:
    std::function<void(const std::string&)> m_sink;
    std::vector<std::string> m_lines;
};

// FNV-1a, 64 bits: the body hash in the log. Simple enough to recompute in any test script.
class CFnv1a64 {
public:
    void Add(const std::uint8_t* data, std::size_t size);
    std::uint64_t Value() const { return m_value; }

private:
    std::uint64_t m_value = 0xcbf29ce484222325ULL;
};

} // namespace sarnok::sim
