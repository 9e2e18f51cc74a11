// Wire coding: the one place where overlay message fields become bytes and back.
// Integers are big-endian; strings are written without a length and end with one
// 0x00. Readers take a pointer the caller has already checked against the
// message end; string scans take the end explicitly and never pass it.
// Plain functions, any thread.
#pragma once

#include "base/BinaryId.h"
#include "base/IPv4Address.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace wire {

inline void PutU8(std::string& out, std::uint8_t value) {
    out.push_back(static_cast<char>(value));
}

inline void PutU16(std::string& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value >> 8));
    out.push_back(static_cast<char>(value));
}

inline void PutU32(std::string& out, std::uint32_t value) {
    out.push_back(static_cast<char>(value >> 24));
    out.push_back(static_cast<char>(value >> 16));
    out.push_back(static_cast<char>(value >> 8));
    out.push_back(static_cast<char>(value));
}

inline void PutId(std::string& out, const CBinaryId& id) {
    const auto& bytes = id.GetBytes();
    out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

inline void PutAddress(std::string& out, const CIPv4Address& address) {
    const auto& octets = address.GetOctets();
    out.append(reinterpret_cast<const char*>(octets.data()), octets.size());
}

// A wire string cannot hold 0x00: whatever follows one would be read as the
// next field, so only the part before it is ever written or counted.
inline std::string_view WireText(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

inline std::size_t WireTextSize(std::string_view text) {
    return WireText(text).size() + 1;
}

inline void PutText(std::string& out, std::string_view text) {
    out.append(WireText(text));
    out.push_back('\0');
}

inline std::uint8_t GetU8(const std::uint8_t* p) {
    return p[0];
}

inline std::uint16_t GetU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

inline std::uint32_t GetU32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

inline CBinaryId GetId(const std::uint8_t* p) {
    return CBinaryId::FromBytes(p);
}

inline CIPv4Address GetAddress(const std::uint8_t* p) {
    CIPv4Address address;
    address.SetOctets(p);
    return address;
}

// Up to three consecutive 0x00-terminated strings (title, name, category or
// category, reserved) found by scanning [from, end).
struct SStringRun {
    std::array<std::string, 3> texts;
    std::size_t terminators = 0; // 0x00 bytes found
    std::size_t next = 0;        // first byte after the scanned ones
};

// Scans for at most `count` (1 to 3) terminators. With none found every string
// is empty. A string whose start lies after a missing terminator is empty; a
// string that starts but has no terminator runs to `end`.
inline SStringRun ReadStrings(const std::uint8_t* data, std::size_t from, std::size_t end,
                              std::size_t count) {
    SStringRun run;
    std::array<std::size_t, 3> positions{};
    std::size_t at = from;
    while (run.terminators < count && at < end) {
        const void* hit = std::memchr(data + at, 0, end - at);
        if (!hit)
            break;
        const std::size_t position = static_cast<const std::uint8_t*>(hit) - data;
        positions[run.terminators++] = position;
        at = position + 1;
    }
    run.next = run.terminators == count ? at : end;
    if (run.terminators == 0)
        return run;
    std::size_t start = from;
    for (std::size_t i = 0; i < count && i <= run.terminators; ++i) {
        const std::size_t stop = i < run.terminators ? positions[i] : end;
        if (start < stop)
            run.texts[i].assign(reinterpret_cast<const char*>(data + start), stop - start);
        start = stop + 1;
    }
    return run;
}

} // namespace wire
