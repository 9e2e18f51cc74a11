// EscapeAngleBrackets: only "<" and ">" change, and raw Shift_JIS bytes pass.
#include "base/TextEscaping.h"

#include <gtest/gtest.h>

TEST(TextEscapingTest, AngleBracketsBecomeEntities) {
    EXPECT_EQ(EscapeAngleBrackets("x<y>z"), "x&lt;y&gt;z");
    EXPECT_EQ(EscapeAngleBrackets("<<>>"), "&lt;&lt;&gt;&gt;");
    EXPECT_EQ(EscapeAngleBrackets("<script>"), "&lt;script&gt;");
}

TEST(TextEscapingTest, AmpersandAndTypedEntitiesAreLeftAsTyped) {
    EXPECT_EQ(EscapeAngleBrackets("a & b"), "a & b");
    EXPECT_EQ(EscapeAngleBrackets("&lt;"), "&lt;");
    EXPECT_EQ(EscapeAngleBrackets(""), "");
}

TEST(TextEscapingTest, ShiftJisBytesAndLineBreaksPassUnchanged) {
    // "表" (95 5C: its trail byte is a backslash) and "ソ" (83 5C), then a
    // bracket and a CR LF.
    const std::string text = "\x95\x5c\x83\x5c<\r\n\x82\xa0";
    EXPECT_EQ(EscapeAngleBrackets(text), "\x95\x5c\x83\x5c&lt;\r\n\x82\xa0");
}
