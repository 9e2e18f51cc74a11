// textfold: the folding NG words and the search share, and the map back to
// the original characters that snippets are cut by.
#include "reader/TextFolding.h"

#include <gtest/gtest.h>

namespace {

TEST(TextFoldingTest, WidthCaseAndKanaFoldAlike) {
    const std::pair<const char*, const char*> cases[] = {
        {"ＡＢＣabcAbC", "abcabcabc"},
        {"ｶﾀｶﾅ", "かたかな"},
        {"カタカナ", "かたかな"},
        {"ひらがな", "ひらがな"},
        {"①２", "12"},
        {"Straße", "strasse"},
        {"漢字", "漢字"},
        {"\xff", "\xef\xbf\xbd"},
    };
    for (const auto& [text, folded] : cases)
        EXPECT_EQ(textfold::Fold(text), folded) << text;
}

TEST(TextFoldingTest, EveryFoldedByteLeadsBackToItsCharacter) {
    std::vector<std::uint32_t> origins;
    const std::string text = "aＢ①ｶ";
    const std::string folded = textfold::Fold(text, &origins);
    ASSERT_EQ(folded, "ab1か");
    ASSERT_EQ(origins.size(), folded.size() + 1);
    EXPECT_EQ(origins[0], 0u); // a
    EXPECT_EQ(origins[1], 1u); // Ｂ (3 bytes)
    EXPECT_EQ(origins[2], 4u); // ① (3 bytes)
    EXPECT_EQ(origins[3], 7u); // ｶ, three bytes of か
    EXPECT_EQ(origins[5], 7u);
    EXPECT_EQ(origins.back(), text.size());
}

} // namespace
