// CIPv4Address: four octets (wire order) with their dotted-decimal text.
// Plain value; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class CIPv4Address {
public:
    using Octets = std::array<std::uint8_t, 4>;

    CIPv4Address() = default;
    // Keeps the text; each of the four dot-separated parts is read as decimal
    // digits and wraps into 8 bits. Never fails.
    void SetText(std::string_view text);
    void SetOctets(const std::uint8_t* octets);

    const std::string& GetText() const { return m_text; }
    const Octets& GetOctets() const { return m_octets; }

    // 10/8, 172.16/12 and 192.168/16.
    bool IsPrivate() const;

private:
    Octets m_octets{};
    std::string m_text;
};
