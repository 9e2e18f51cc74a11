// textfold: the one folding that NG words and the search share, so that a
// reader finds ＡＢＣ by abc and カタカナ by かたかな: NFKC with case folding
// (ICU's nfkc_cf, which also makes half-width kana full width), then katakana
// to hiragana. Folded character by character, so every byte of the result
// can be traced back to the character it came from (for marking a match in
// the original text). Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace textfold {
// The folded form of UTF-8 text. When origins is given it receives, for each
// byte of the result, the offset in utf8 of the character the byte came from,
// and one last entry utf8.size(). Malformed UTF-8 folds to U+FFFD.
std::string Fold(std::string_view utf8, std::vector<std::uint32_t>* origins = nullptr);
} // namespace textfold
