// Fuzz target: the Shift_JIS byte rules and the CP932 conversions of the
// composition fields. A cut never splits a double-byte character and never
// passes its limit; a text fitted to a budget counts within it.
#include "FuzzSupport.h"

#include "base/ShiftJis.h"
#include "ui/ByteLimit.h"
#include "ui/Cp932.h"

namespace {

// The lead bytes of a cut prefix pair up with the bytes after them.
bool EndsOnBoundary(std::string_view text, std::size_t end) {
    std::size_t at = 0;
    while (at < end)
        at += shiftjis::IsLeadByte(static_cast<unsigned char>(text[at])) ? 2 : 1;
    return at == end;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > 4096)
        return 0;
    const std::size_t limit = data[0] * 17u % 4001u;
    const std::string_view bytes = fuzz::Text(data + 1, size - 1);

    const std::size_t fit = shiftjis::FitLength(bytes, limit);
    fuzz::Check(fit <= limit && fit <= bytes.size());
    fuzz::Check(fit == bytes.size() || EndsOnBoundary(bytes, fit));
    fuzz::Check(fit == bytes.size() || fit + 2 > limit); // nothing whole left out
    fuzz::Check(cp932::CutToBytes(std::string(bytes), limit) == bytes.substr(0, fit));

    const QString text = cp932::ToQString(bytes);
    const std::string back = cp932::FromQString(text);
    fuzz::Check(bytelimit::CountBytes(text) == back.size());
    const QString fitted = bytelimit::FitToBytes(text, limit);
    fuzz::Check(text.startsWith(fitted));
    fuzz::Check(bytelimit::CountBytes(fitted) <= limit);
    const QString fittedCrlf = bytelimit::FitToBytes(text, limit, true);
    fuzz::Check(bytelimit::CountBytes(fittedCrlf, true) <= limit);
    fuzz::Check(bytelimit::BodyBytes(fittedCrlf).size() <= limit);
    return 0;
}
