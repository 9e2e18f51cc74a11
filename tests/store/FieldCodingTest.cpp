// Field primitives: exact bytes, bounds of the readers, cutting of long texts.
#include "store/FieldCoding.h"

#include <gtest/gtest.h>

using namespace field;

namespace {
// n double-byte Shift_JIS characters ("あ" is 82 a0).
std::string Kana(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
        s += "\x82\xa0";
    return s;
}
} // namespace

TEST(FieldCodingTest, PrimitivesHaveTheirExactBytesAndReadBack) {
    std::string out;
    PutU16(out, 0x1234);
    PutTime(out, 0x89abcdefu);
    PutId(out, CBinaryId());
    PutShortText(out, "");
    PutLongText(out, "");
    EXPECT_EQ(out, std::string("\x34\x12\xef\xcd\xab\x89", 6) + std::string(19, '\0'));

    CBinaryId id = CBinaryId::FromText("0123456789abcdef0123456789abcdef");
    std::uint16_t u = 0;
    std::uint32_t t = 0;
    std::string text = "x";
    CFieldReader reader(out);
    EXPECT_TRUE(reader.ReadU16(u) && reader.ReadTime(t) && reader.ReadId(id) &&
                reader.ReadShortText(text) && reader.ReadLongText(text));
    EXPECT_EQ(u, 0x1234);
    EXPECT_EQ(t, 0x89abcdefu);
    EXPECT_EQ(id.GetText(), ""); // the null identifier
    EXPECT_EQ(text, "");
    EXPECT_EQ(reader.Remaining(), 0u);
}

TEST(FieldCodingTest, LongTextOf300BytesHasLengthBytes2c01AndLongestReadBack) {
    std::string out;
    PutLongText(out, std::string(300, 'x'));
    EXPECT_EQ(out.substr(0, 2), "\x2c\x01");
    PutShortText(out, std::string(255, 's'));
    PutLongText(out, std::string(65535, 'l'));
    std::string first, second, third;
    CFieldReader reader(out);
    EXPECT_TRUE(reader.ReadLongText(first) && reader.ReadShortText(second) &&
                reader.ReadLongText(third));
    EXPECT_EQ(first.size(), 300u);
    EXPECT_EQ(second.size(), 255u);
    EXPECT_EQ(third.size(), 65535u);
}

TEST(FieldCodingTest, OverlongTextIsCutAtACharacterBoundary) {
    std::string out;
    // A double-byte character would straddle byte 255: it is left out.
    PutShortText(out, std::string(254, 'a') + Kana(3));
    EXPECT_EQ(out, "\xfe" + std::string(254, 'a'));
    out.clear();
    PutShortText(out, "a" + Kana(200));
    EXPECT_EQ(out, "\xff"
                   "a" +
                       Kana(127));
    // A trail byte that looks like a lead byte does not shift the walk.
    out.clear();
    PutShortText(out, std::string(253, 'a') + "\x81\x81" + "b");
    EXPECT_EQ(static_cast<unsigned char>(out[0]), 255u);
    out.clear();
    PutLongText(out, std::string(65534, 'a') + Kana(1));
    EXPECT_EQ(out.size(), 2u + 65534u);
    EXPECT_EQ(out.substr(0, 2), "\xfe\xff");
}

TEST(FieldCodingTest, ShortInputLeavesTheFieldAndEveryLaterFieldUnchanged) {
    CFieldReader reader(std::string_view("\x01\x00\x02\x03\x04", 5));
    std::uint16_t first = 9, third = 9;
    std::uint32_t second = 7;
    EXPECT_TRUE(reader.ReadU16(first));
    EXPECT_FALSE(reader.ReadTime(second));
    EXPECT_FALSE(reader.ReadU16(third)); // two bytes remain, but the record is broken
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 7u);
    EXPECT_EQ(third, 9);
    EXPECT_EQ(reader.Consumed(), 2u);

    // Lengths that run past the data read nothing.
    std::string text = "kept";
    EXPECT_FALSE(CFieldReader("\x05"
                              "ab")
                     .ReadShortText(text));
    EXPECT_FALSE(CFieldReader("\xff\xff"
                              "a")
                     .ReadLongText(text));
    EXPECT_FALSE(CFieldReader("\x05").ReadLongText(text));
    EXPECT_EQ(text, "kept");
}

TEST(FieldCodingTest, IdListIgnoresATrailingPartialId) {
    const CBinaryId a = CBinaryId::FromText("000102030405060708090a0b0c0d0e0f");
    const CBinaryId b = CBinaryId::FromText("f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff");
    std::string out;
    PutIdList(out, {a, b});
    std::vector<CBinaryId> ids;
    EXPECT_EQ(CFieldReader(out + "partial").ReadIdList(ids), 2u);
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(ids[0].GetText(), a.GetText());
    EXPECT_EQ(ids[1].GetText(), b.GetText());
}
