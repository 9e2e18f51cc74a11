// cp932text: glibc iconv with "CP932" (not "SHIFT_JIS", which maps some bytes
// differently). iconv_open is not cheap, so each thread keeps one converter
// per direction.
#include "base/Cp932Text.h"

#include "base/ShiftJis.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace {

// One iconv descriptor, opened on first use and kept for the thread's life.
class CConverter {
public:
    CConverter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~CConverter() {
        if (Valid())
            iconv_close(m_cd);
    }
    CConverter(const CConverter&) = delete;
    CConverter& operator=(const CConverter&) = delete;

    bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return m_cd; }

private:
    iconv_t m_cd;
};

// The length of the UTF-8 sequence that starts at in (1 for a stray byte).
std::size_t Utf8SequenceLength(const char* in, std::size_t inLeft) {
    const auto lead = static_cast<unsigned char>(*in);
    std::size_t length = 1;
    if (lead >= 0xf0 && lead <= 0xf4)
        length = 4;
    else if (lead >= 0xe0)
        length = 3;
    else if (lead >= 0xc2 && lead <= 0xdf)
        length = 2;
    if (length > inLeft)
        return 1;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(in[i]) & 0xc0) != 0x80)
            return 1;
    return length;
}

// Converts with iconv, replacing each character it cannot take by fallback
// and stepping over that one character.
template <typename BadLength>
std::string Convert(const CConverter& converter, std::string_view input, std::string_view fallback,
                    BadLength badLength) {
    std::string output;
    if (!converter.Valid())
        return output;
    iconv_t cd = converter.Get();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    output.reserve(input.size() * 3 / 2 + 8);
    char buffer[4096];
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    while (inLeft > 0) {
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
        output.append(buffer, sizeof buffer - outLeft);
        if (result != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL: one fallback for the one character skipped.
        const std::size_t skip = std::min<std::size_t>(badLength(in, inLeft), inLeft);
        in += skip;
        inLeft -= skip;
        output.append(fallback);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return output;
}

} // namespace

namespace cp932text {

std::string ToUtf8(std::string_view cp932) {
    // Plain ASCII is the same in both.
    if (std::all_of(cp932.begin(), cp932.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(cp932);
    thread_local CConverter converter("UTF-8", "CP932");
    return Convert(converter, cp932, "\xef\xbf\xbd", [](const char* in, std::size_t inLeft) {
        return inLeft >= 2 && shiftjis::IsLeadByte(static_cast<unsigned char>(*in)) ? 2 : 1;
    });
}

std::string FromUtf8(std::string_view utf8) {
    if (std::all_of(utf8.begin(), utf8.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(utf8);
    thread_local CConverter converter("CP932", "UTF-8");
    return Convert(converter, utf8, "?", Utf8SequenceLength);
}

std::size_t CountBytes(std::string_view utf8) {
    return FromUtf8(utf8).size();
}

} // namespace cp932text
