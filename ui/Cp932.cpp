// cp932: glibc iconv with "CP932" (not "SHIFT_JIS", which maps some bytes
// differently).
#include "ui/Cp932.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace {
bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc); }

// Converts with iconv, replacing each sequence it cannot take by `fallback`
// (in the target encoding) and stepping over one input unit.
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
        // EILSEQ or EINVAL: skip one unit (a whole double-byte character when
        // the input is CP932 and this is a lead byte followed by a trail).
        std::size_t skip = unit;
        if (unit == 1 && inLeft >= 2 && IsLeadByte(static_cast<unsigned char>(*in)))
            skip = 2;
        skip = std::min(skip, inLeft);
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
    std::size_t end = 0;
    while (end < bytes.size()) {
        const std::size_t step = IsLeadByte(static_cast<unsigned char>(bytes[end])) ? 2 : 1;
        if (end + step > limit)
            break;
        end += step;
    }
    return bytes.substr(0, std::min(end, bytes.size()));
}
} // namespace cp932
