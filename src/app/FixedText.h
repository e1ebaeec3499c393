// A fixed-size, always terminated 8-bit text member. Copies into it are cut to its capacity,
// so a text from a printer, a library or the catalogue can never overflow the member.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace sarnok {

template <std::size_t N>
class CFixedText {
    static_assert(N > 0);

public:
    static constexpr std::size_t kCapacity = N; // characters, terminator included

    CFixedText() { m_text[0] = '\0'; }
    explicit CFixedText(std::string_view text) { Assign(text); }

    // Copies at most N - 1 characters; the rest of a longer text is dropped.
    void Assign(std::string_view text) {
        const std::size_t count = text.size() < N - 1 ? text.size() : N - 1;
        if (count != 0) {
            std::memmove(m_text, text.data(), count);
        }
        m_text[count] = '\0';
    }
    // Copies a C text that may lack a terminator within limit bytes.
    void AssignBounded(const char* text, std::size_t limit) {
        std::size_t length = 0;
        while (length < limit && length < N - 1 && text[length] != '\0') {
            ++length;
        }
        Assign(std::string_view(text, length));
    }
    void Clear() { m_text[0] = '\0'; }

    const char* c_str() const { return m_text; }
    char* data() { return m_text; }
    std::size_t size() const { return std::strlen(m_text); }
    bool empty() const { return m_text[0] == '\0'; }
    std::string_view view() const { return std::string_view(m_text); }
    std::string str() const { return std::string(m_text); }

    friend bool operator==(const CFixedText& text, std::string_view other) {
        return text.view() == other;
    }

private:
    char m_text[N];
};

} // namespace sarnok
