// Tests of CQueryMessage: sizes, string scanning bounded by the message end.
#include "protocol/wire/QueryMessage.h"

#include "WireTestSupport.h"

#include <gtest/gtest.h>

using namespace wiretest;

namespace {

CQueryMessage MakeQuery(const std::string& category) {
    CQueryMessage query;
    query.Header() = CMessageHeader(Id(kMessageId), CMessageHeader::kTypeQuery);
    query.SetCategory(category);
    return query;
}

std::string WithPayloadLength(std::string bytes) {
    const std::uint32_t length = static_cast<std::uint32_t>(bytes.size() - 23);
    bytes[19] = static_cast<char>(length >> 24);
    bytes[20] = static_cast<char>(length >> 16);
    bytes[21] = static_cast<char>(length >> 8);
    bytes[22] = static_cast<char>(length);
    return bytes;
}

TEST(QueryMessageTest, CategoryQueryWithThreeByteCategoryIsFortyFourBytes) {
    const CQueryMessage query = MakeQuery("abc");
    EXPECT_EQ(query.ComputePayloadLength(), 21u);
    const std::string bytes = query.Encode();
    ASSERT_EQ(bytes.size(), 44u);
    EXPECT_EQ(bytes.substr(19, 4), std::string("\x00\x00\x00\x15", 4));
    EXPECT_EQ(bytes.substr(23, 16), std::string(16, '\0'));
    EXPECT_EQ(bytes.substr(39), std::string("abc\0\0", 5));
}

TEST(QueryMessageTest, RoundTripKeepsThreadIdCategoryAndReserved) {
    CQueryMessage query =
        MakeQuery("\x83\x65\x83\x58\x83\x67"); // Shift_JIS bytes travel as they are
    query.SetThreadId(Id(kThreadId));
    query.SetReserved("r");
    const std::string bytes = query.Encode();
    const auto decoded = CQueryMessage::Decode(Bytes(bytes), bytes.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->GetThreadId().GetText(), kThreadId);
    EXPECT_EQ(decoded->GetCategory(), "\x83\x65\x83\x58\x83\x67");
    EXPECT_EQ(decoded->GetReserved(), "r");
    EXPECT_EQ(decoded->Encode(), bytes);
}

TEST(QueryMessageTest, QueryOfThirtyNineBytesHasEmptyCategory) {
    std::string bytes = MakeQuery("abc").Encode();
    bytes = WithPayloadLength(bytes.substr(0, 39));
    const auto decoded = CQueryMessage::Decode(Bytes(bytes), bytes.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->GetCategory(), "");
    EXPECT_EQ(decoded->GetReserved(), "");
}

TEST(QueryMessageTest, QueryWithoutWholeThreadIdIsRejected) {
    std::string bytes = MakeQuery("abc").Encode();
    bytes = WithPayloadLength(bytes.substr(0, 38));
    EXPECT_FALSE(CQueryMessage::Decode(Bytes(bytes), bytes.size()));
}

TEST(QueryMessageTest, StringsWithoutAnyTerminatorAreBothEmpty) {
    std::string bytes = MakeQuery("").Encode().substr(0, 39) + "abc";
    bytes = WithPayloadLength(bytes);
    const auto decoded = CQueryMessage::Decode(Bytes(bytes), bytes.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->GetCategory(), "");
    EXPECT_EQ(decoded->GetReserved(), "");
}

TEST(QueryMessageTest, UnterminatedReservedStringStopsAtMessageEnd) {
    std::string bytes = MakeQuery("").Encode().substr(0, 39) + std::string("cat\0res", 7);
    bytes = WithPayloadLength(bytes);
    const auto decoded = CQueryMessage::Decode(Bytes(bytes), bytes.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->GetCategory(), "cat");
    EXPECT_EQ(decoded->GetReserved(), "res");
}

TEST(QueryMessageTest, TextHoldingZeroByteIsSentOnlyUpToIt) {
    const CQueryMessage query = MakeQuery(std::string("ab\0cd", 5));
    const std::string bytes = query.Encode();
    EXPECT_EQ(bytes.size(), 23u + query.ComputePayloadLength());
    EXPECT_EQ(bytes.substr(39), std::string("ab\0\0", 4));
}

} // namespace
