// CIdGenerator: makes one new identifier, the MD5 of a fresh GUID's 16 bytes.
// Used on the GUI thread.
#pragma once

#include <cstdint>
#include <string>

class CIdGenerator {
public:
    CIdGenerator();
    // 32 lower-case hex digits.
    const std::string& GetText() const { return m_text; }

    // The identifier text for given GUID bytes (laid out as the platform
    // delivers them: 32-bit LE, two 16-bit LE, 8 bytes).
    static std::string FromGuidBytes(const std::uint8_t (&guid)[16]);

private:
    std::string m_text;
};
