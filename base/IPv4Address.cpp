// CIPv4Address: reading dotted text and the private-range test.
#include "base/IPv4Address.h"

#include <cstdio>

void CIPv4Address::SetText(std::string_view text) {
    m_text.assign(text);
    std::size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        std::size_t end = part < 3 ? text.find('.', start) : std::string_view::npos;
        if (end == std::string_view::npos)
            end = text.size();
        unsigned value = 0;
        for (std::size_t i = start; i < end && i < text.size(); ++i)
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
        m_octets[part] = static_cast<std::uint8_t>(value);
        start = end < text.size() ? end + 1 : text.size();
    }
}

void CIPv4Address::SetOctets(const std::uint8_t* octets) {
    char buffer[32];
    for (int i = 0; i < 4; ++i)
        m_octets[i] = octets[i];
    std::snprintf(buffer, sizeof buffer, "%d.%d.%d.%d", octets[0], octets[1], octets[2],
                  octets[3]);
    m_text = buffer;
}

bool CIPv4Address::IsPrivate() const {
    return m_octets[0] == 10 || (m_octets[0] == 172 && m_octets[1] >= 16 && m_octets[1] <= 31) ||
           (m_octets[0] == 192 && m_octets[1] == 168);
}
