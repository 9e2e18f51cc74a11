// Shift_JIS byte rules the store needs to keep double-byte characters whole
// (lower-casing category names, cutting texts to their field). Plain
// functions; any thread.
#pragma once

#include <cstddef>
#include <string_view>

namespace shiftjis {

// The first byte of a double-byte character; the byte after it is its trail
// byte, whatever its value.
inline bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc);
}

// The longest prefix of text, at most limit bytes, that does not end in the
// middle of a double-byte character.
inline std::size_t FitLength(std::string_view text, std::size_t limit) {
    if (text.size() <= limit)
        return text.size();
    std::size_t end = 0;
    while (end < limit) {
        const std::size_t step = IsLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
        if (end + step > limit)
            break;
        end += step;
    }
    return end;
}

} // namespace shiftjis
