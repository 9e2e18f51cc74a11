// CEscapedName: lowering and percent-escaping of category names. Plain code;
// any thread.
#include "store/EscapedName.h"

#include "base/ShiftJis.h"

#include <cstdint>
#include <cstdio>

namespace {

// FNV-1a: a fixed hash, the same on every run and every build, since the
// names it makes stay on disk.
std::uint64_t NameHash(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

} // namespace

std::string CEscapedName::Lowercase(std::string_view category) {
    std::string lowered(category);
    for (std::size_t i = 0; i < lowered.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(lowered[i]);
        if (shiftjis::IsLeadByte(c))
            ++i; // the trail byte is part of the character, not a letter
        else if (c >= 'A' && c <= 'Z')
            lowered[i] = static_cast<char>(c - 'A' + 'a');
    }
    return lowered;
}

CEscapedName::CEscapedName(std::string_view category) {
    const std::string lowered = Lowercase(category);
    m_text.reserve(lowered.size() * 3);
    char digits[4];
    for (char c : lowered) {
        std::snprintf(digits, sizeof digits, "%%%02x", static_cast<unsigned char>(c));
        m_text += digits;
    }
    if (m_text.size() > kMaxLength) {
        // 77 whole "%xx" groups, "~" and 16 hex digits: 248 characters.
        char hash[20];
        std::snprintf(hash, sizeof hash, "~%016llx",
                      static_cast<unsigned long long>(NameHash(lowered)));
        m_text.resize(77 * 3);
        m_text += hash;
    }
}
