// Tests of CMessageHeader: byte layout, wrap-around of TTL and hops.
#include "protocol/wire/MessageHeader.h"

#include "WireTestSupport.h"

#include <gtest/gtest.h>

using wiretest::Bytes;

namespace {

const char* const kId = "00112233445566778899aabbccddeeff";

TEST(MessageHeaderTest, FreshHeaderHasTtlFiveAndHopsZero) {
    CMessageHeader header(CBinaryId::FromText(kId), CMessageHeader::kTypeQuery);
    EXPECT_EQ(header.GetTtl(), 5);
    EXPECT_EQ(header.GetHops(), 0);
    EXPECT_EQ(header.GetPayloadLength(), 0u);
    EXPECT_EQ(header.GetMessageIdText(), kId);
}

TEST(MessageHeaderTest, PingIsTwentyThreeBytesInFieldOrder) {
    CMessageHeader header(CBinaryId::FromText(kId), CMessageHeader::kTypePing);
    const std::string bytes = header.Encode();
    ASSERT_EQ(bytes.size(), 23u);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[0]), 0x00);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[15]), 0xff);
    EXPECT_EQ(bytes[16], 0x00); // type
    EXPECT_EQ(bytes[17], 5);    // TTL
    EXPECT_EQ(bytes[18], 0);    // hops
}

TEST(MessageHeaderTest, PayloadLengthIsBigEndian) {
    CMessageHeader header(CBinaryId::FromText(kId), CMessageHeader::kTypePong);
    header.SetPayloadLength(6);
    std::string bytes = header.Encode();
    EXPECT_EQ(bytes.substr(19), std::string("\x00\x00\x00\x06", 4));

    header.SetPayloadLength(0x01020304);
    bytes = header.Encode();
    EXPECT_EQ(bytes.substr(19), "\x01\x02\x03\x04");
    EXPECT_EQ(CMessageHeader::Decode(Bytes(bytes), bytes.size())->GetPayloadLength(), 0x01020304u);
}

TEST(MessageHeaderTest, DecodeRoundTripsEveryField) {
    CMessageHeader header(CBinaryId::FromText(kId), CMessageHeader::kTypeQueryHit);
    header.SetTtl(200);
    header.SetHops(9);
    header.SetPayloadLength(262144);
    const std::string bytes = header.Encode();
    const auto decoded = CMessageHeader::Decode(Bytes(bytes), bytes.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->GetMessageIdText(), kId);
    EXPECT_EQ(decoded->GetType(), CMessageHeader::kTypeQueryHit);
    EXPECT_EQ(decoded->GetTtl(), 200);
    EXPECT_EQ(decoded->GetHops(), 9);
    EXPECT_EQ(decoded->GetPayloadLength(), 262144u);
}

TEST(MessageHeaderTest, ShortInputDecodesToNothing) {
    const std::string bytes(22, '\x01');
    EXPECT_FALSE(CMessageHeader::Decode(Bytes(bytes), bytes.size()));
}

TEST(MessageHeaderTest, HopsAndTtlWrapModulo256) {
    CMessageHeader header;
    header.SetHops(255);
    header.SetTtl(0);
    EXPECT_EQ(header.IncrementHops(), 0);
    EXPECT_EQ(header.DecrementTtl(), 255);
    EXPECT_EQ(header.GetHops(), 0);
    EXPECT_EQ(header.GetTtl(), 255);
}

} // namespace
