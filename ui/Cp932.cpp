// cp932: glibc iconv with "CP932" (not "SHIFT_JIS", which maps some bytes
// differently).
#include "ui/Cp932.h"

#include "base/ShiftJis.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {
bool IsHighSurrogate(const char* unit) {
    const unsigned high = static_cast<unsigned char>(unit[1]);
    return high >= 0xd8 && high <= 0xdb;
}

bool IsLowSurrogate(const char* unit) {
    const unsigned high = static_cast<unsigned char>(unit[1]);
    return high >= 0xdc && high <= 0xdf;
}

// What one character that cannot be converted takes of the input: a whole
// double-byte character of CP932, a whole surrogate pair of UTF-16LE.
std::size_t BadCharacterLength(const char* in, std::size_t inLeft, std::size_t unit) {
    if (unit == 1 && inLeft >= 2 && shiftjis::IsLeadByte(static_cast<unsigned char>(*in)))
        return 2;
    if (unit == 2 && inLeft >= 4 && IsHighSurrogate(in) && IsLowSurrogate(in + 2))
        return 4;
    return std::min(unit, inLeft);
}

// Converts with iconv, replacing each sequence it cannot take by `fallback`
// (in the target encoding) and stepping over that one character.
std::string Convert(const char* to, const char* from, std::string_view input,
                    std::string_view fallback, std::size_t unit) {
    std::string output;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return output;
    std::vector<char> buffer(input.size() * 4 + 16);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    while (inLeft > 0) {
        char* out = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
        output.append(buffer.data(), buffer.size() - outLeft);
        if (result != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL: one fallback for the one character skipped.
        const std::size_t skip = BadCharacterLength(in, inLeft, unit);
        in += skip;
        inLeft -= skip;
        output.append(fallback);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return output;
}
} // namespace

namespace cp932 {
QString ToQString(std::string_view bytes) {
    const std::string utf16 =
        Convert("UTF-16LE", "CP932", bytes, std::string_view("\xfd\xff", 2), 1);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(utf16.data()),
                              static_cast<qsizetype>(utf16.size() / 2));
}

std::string FromQString(const QString& text) {
    const auto* data = reinterpret_cast<const char*>(text.utf16());
    return Convert("CP932", "UTF-16LE",
                   std::string_view(data, static_cast<std::size_t>(text.size()) * 2), "?", 2);
}

std::string CutToBytes(const std::string& bytes, std::size_t limit) {
    return bytes.substr(0, shiftjis::FitLength(bytes, limit));
}
} // namespace cp932
