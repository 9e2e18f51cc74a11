// Category names as index directory names.
#include "store/EscapedName.h"

#include <gtest/gtest.h>

TEST(EscapedNameTest, BytesAreEscapedAfterLoweringAsciiOnly) {
    EXPECT_EQ(CEscapedName("News").GetText(), "%6e%65%77%73");
    EXPECT_EQ(CEscapedName("nEWS").GetText(), "%6e%65%77%73");
    EXPECT_EQ(CEscapedName("a/b").GetText(), "%61%2f%62");
    // "ア" is 83 41: its trail byte is the code of "A" and stays.
    EXPECT_EQ(CEscapedName("\x83\x41"
                           "A")
                  .GetText(),
              "%83%41%61");
    EXPECT_EQ(CEscapedName("A\x83").GetText(), "%61%83"); // lone lead byte at the end
}

TEST(EscapedNameTest, LongCategoryStaysAFileNameAndKeepsItsOwnDirectory) {
    const std::string escaped = CEscapedName(std::string(200, 'x')).GetText();
    EXPECT_LE(escaped.size(), CEscapedName::kMaxLength);
    EXPECT_NE(escaped, CEscapedName(std::string(199, 'x') + "y").GetText());
    EXPECT_EQ(escaped, CEscapedName(std::string(200, 'X')).GetText());
    EXPECT_EQ(CEscapedName(std::string(83, 'x')).GetText().size(), 249u); // still whole
}
