// CBinaryId: conversion between the byte and text views of an identifier.
#include "base/BinaryId.h"

namespace {
int DigitValue(char x) {
    return static_cast<unsigned char>(x) < ':' ? x - '0' : x - 'a' + 10;
}
} // namespace

CBinaryId CBinaryId::FromBytes(const std::uint8_t* bytes) {
    CBinaryId id;
    id.SetBytes(bytes);
    return id;
}

CBinaryId CBinaryId::FromText(std::string_view text) {
    CBinaryId id;
    id.SetText(text);
    return id;
}

void CBinaryId::SetBytes(const std::uint8_t* bytes) {
    static const char kHex[] = "0123456789abcdef";
    // Every message header carries ids: the digits are made in place and the
    // text is set once.
    char text[32];
    unsigned anySet = 0;
    for (std::size_t i = 0; i < m_bytes.size(); ++i) {
        m_bytes[i] = bytes[i];
        anySet |= bytes[i];
        text[2 * i] = kHex[bytes[i] >> 4];
        text[2 * i + 1] = kHex[bytes[i] & 0x0f];
    }
    if (anySet == 0)
        m_text.clear();
    else
        m_text.assign(text, sizeof text);
}

void CBinaryId::SetText(std::string_view text) {
    m_text.assign(text);
    if (text.empty()) {
        m_bytes.fill(0);
        return;
    }
    for (std::size_t k = 0; k < 16 && 2 * k < text.size(); ++k) {
        const int high = DigitValue(text[2 * k]);
        const int low = 2 * k + 1 < text.size() ? DigitValue(text[2 * k + 1]) : DigitValue('\0');
        m_bytes[k] = static_cast<std::uint8_t>(16 * high + low);
    }
}

bool CBinaryId::operator==(const CBinaryId& other) const {
    if (other.m_text.empty())
        return m_text.empty();
    return m_bytes == other.m_bytes;
}

bool CBinaryId::IsWellFormedText(std::string_view text) {
    if (text.size() != 32)
        return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}
