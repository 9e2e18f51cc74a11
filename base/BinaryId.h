// CBinaryId: a 128-bit identifier (servent, message, thread, response) kept as
// its 16 bytes and as 32 lower-case hex digits. Plain value; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class CBinaryId {
public:
    using Bytes = std::array<std::uint8_t, 16>;

    CBinaryId() = default;
    static CBinaryId FromBytes(const std::uint8_t* bytes);
    static CBinaryId FromText(std::string_view text);

    // All-zero bytes give the empty text: the null identifier.
    void SetBytes(const std::uint8_t* bytes);
    // Decodes at most the first 32 characters; pairs beyond the text keep
    // their earlier bytes, and the empty text clears all 16.
    void SetText(std::string_view text);

    const Bytes& GetBytes() const { return m_bytes; }
    const std::string& GetText() const { return m_text; }
    bool IsNull() const { return m_text.empty(); }

    // Null ids are equal whatever bytes they keep; otherwise the bytes decide.
    bool operator==(const CBinaryId& other) const;

    // True for exactly 32 lower-case hex digits: the only text that may
    // become a file name.
    static bool IsWellFormedText(std::string_view text);

private:
    Bytes m_bytes{};
    std::string m_text;
};
