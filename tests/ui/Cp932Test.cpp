// cp932: the widgets' conversion of Shift_JIS bytes.
#include "ui/Cp932.h"

#include <gtest/gtest.h>

TEST(Cp932Test, JapaneseRoundTripsAndTildeStaysCp932) {
    const std::string bytes = "\x83\x58\x83\x8c\x83\x62\x83\x68"; // スレッド
    EXPECT_EQ(cp932::ToQString(bytes), QString::fromUtf8("スレッド"));
    EXPECT_EQ(cp932::FromQString(QString::fromUtf8("スレッド")), bytes);
    EXPECT_EQ(cp932::FromQString(QString::fromUtf8("～")), "\x81\x60");
}

TEST(Cp932Test, BadBytesShowAsReplacementAndUnmappableAsQuestionMark) {
    EXPECT_EQ(cp932::ToQString("a\xa0"
                               "b"),
              QString::fromUtf8("a\uFFFDb"));
    EXPECT_EQ(cp932::FromQString(QString::fromUtf8("a€b")), "a?b");
    // A character beyond the 16-bit range is one character, one "?".
    EXPECT_EQ(cp932::FromQString(QString::fromUtf8("a\U0001F600b")), "a?b");
}

TEST(Cp932Test, CutNeverSplitsADoubleByteCharacter) {
    const std::string bytes = "ab\x83\x58\x83\x8c";
    EXPECT_EQ(cp932::CutToBytes(bytes, 3), "ab");
    EXPECT_EQ(cp932::CutToBytes(bytes, 4), "ab\x83\x58");
    EXPECT_EQ(cp932::CutToBytes(bytes, 100), bytes);
}
