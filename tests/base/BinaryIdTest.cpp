// CBinaryId: the byte and text views of an identifier.
#include "base/BinaryId.h"

#include <gtest/gtest.h>

TEST(BinaryIdTest, BytesGiveLowerCaseZeroPaddedText) {
    std::uint8_t bytes[16] = {0x00, 0x0f, 0x10, 0xff, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const CBinaryId id = CBinaryId::FromBytes(bytes);
    EXPECT_EQ(id.GetText().substr(0, 8), "000f10ff");
    EXPECT_EQ(id.GetText().size(), 32u);
}

TEST(BinaryIdTest, AllZeroBytesGiveEmptyText) {
    std::uint8_t bytes[16] = {};
    EXPECT_EQ(CBinaryId::FromBytes(bytes).GetText(), "");
    EXPECT_TRUE(CBinaryId::FromBytes(bytes).IsNull());
}

TEST(BinaryIdTest, TextDecodesToBytes) {
    const CBinaryId id = CBinaryId::FromText("0123456789abcdef0123456789abcdef");
    const std::uint8_t expected[16] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef,
                                       0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(id.GetBytes()[i], expected[i]) << i;
}

TEST(BinaryIdTest, EmptyTextClearsAllBytes) {
    CBinaryId id = CBinaryId::FromText("ffffffffffffffffffffffffffffffff");
    id.SetText("");
    for (auto byte : id.GetBytes())
        EXPECT_EQ(byte, 0);
}

TEST(BinaryIdTest, ShortTextKeepsTheUndecodedBytes) {
    CBinaryId id = CBinaryId::FromText("ffffffffffffffffffffffffffffffff");
    id.SetText("0102");
    EXPECT_EQ(id.GetBytes()[0], 0x01);
    EXPECT_EQ(id.GetBytes()[1], 0x02);
    EXPECT_EQ(id.GetBytes()[2], 0xff);
}

TEST(BinaryIdTest, OnlyTheFirst32CharactersAreDecoded) {
    const CBinaryId id = CBinaryId::FromText("00000000000000000000000000000001ffff");
    EXPECT_EQ(id.GetBytes()[15], 0x01);
}

TEST(BinaryIdTest, NullIdsAreEqualWhateverTheirBytes) {
    CBinaryId a = CBinaryId::FromText("ffffffffffffffffffffffffffffffff");
    a.SetText("");
    CBinaryId b;
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(CBinaryId::FromText("0123456789abcdef0123456789abcdef") == b);
    EXPECT_FALSE(b == CBinaryId::FromText("0123456789abcdef0123456789abcdef"));
}

TEST(BinaryIdTest, OnlyThirtyTwoLowerCaseHexDigitsAreWellFormed) {
    EXPECT_TRUE(CBinaryId::IsWellFormedText("0123456789abcdef0123456789abcdef"));
    EXPECT_FALSE(CBinaryId::IsWellFormedText("0123456789ABCDEF0123456789abcdef"));
    EXPECT_FALSE(CBinaryId::IsWellFormedText("../../../../etc/passwd0123456789"));
    EXPECT_FALSE(CBinaryId::IsWellFormedText("0123456789abcdef0123456789abcde"));
}
