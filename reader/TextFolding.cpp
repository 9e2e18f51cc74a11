// textfold: per-character NFKC case folding and kana folding over ICU.
#include "reader/TextFolding.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace {

const icu::Normalizer2* FoldingNormalizer() {
    static const icu::Normalizer2* normalizer = [] {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2* made = icu::Normalizer2::getNFKCCasefoldInstance(status);
        return U_SUCCESS(status) ? made : nullptr;
    }();
    return normalizer;
}

// Katakana (and its iteration marks) to hiragana; ヷ-ヺ and ヵヶ have their own
// hiragana only from U+3095, the rest lie 0x60 below.
UChar32 FoldKana(UChar32 c) {
    if ((c >= 0x30A1 && c <= 0x30F6) || c == 0x30FD || c == 0x30FE)
        return c - 0x60;
    return c;
}

void AppendUtf8(std::string& out, UChar32 c) {
    char bytes[U8_MAX_LENGTH];
    std::int32_t length = 0;
    UBool error = false;
    U8_APPEND(reinterpret_cast<std::uint8_t*>(bytes), length, U8_MAX_LENGTH, c, error);
    if (!error)
        out.append(bytes, static_cast<std::size_t>(length));
}

} // namespace

namespace textfold {

std::string Fold(std::string_view utf8, std::vector<std::uint32_t>* origins) {
    std::string out;
    out.reserve(utf8.size());
    if (origins) {
        origins->clear();
        origins->reserve(utf8.size() + 1);
    }
    const icu::Normalizer2* normalizer = FoldingNormalizer();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(utf8.data());
    const auto length = static_cast<std::int32_t>(utf8.size());
    std::int32_t at = 0;
    while (at < length) {
        const std::int32_t start = at;
        UChar32 c = 0;
        U8_NEXT(bytes, at, length, c);
        const std::size_t before = out.size();
        if (c < 0) {
            AppendUtf8(out, 0xFFFD);
        } else if (c < 0x80) {
            out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : static_cast<char>(c));
        } else if (!normalizer || normalizer->isInert(c)) {
            AppendUtf8(out, FoldKana(c));
        } else {
            UErrorCode status = U_ZERO_ERROR;
            const icu::UnicodeString folded = normalizer->normalize(icu::UnicodeString(c), status);
            if (U_FAILURE(status)) {
                AppendUtf8(out, FoldKana(c));
            } else {
                for (std::int32_t i = 0; i < folded.length();) {
                    const UChar32 part = folded.char32At(i);
                    AppendUtf8(out, FoldKana(part));
                    i += U16_LENGTH(part);
                }
            }
        }
        if (origins)
            origins->insert(origins->end(), out.size() - before, static_cast<std::uint32_t>(start));
    }
    if (origins)
        origins->push_back(static_cast<std::uint32_t>(utf8.size()));
    return out;
}

} // namespace textfold
