// Tests of CPongMessage: size, field offsets, short input.
#include "protocol/wire/PongMessage.h"

#include "WireTestSupport.h"

#include <gtest/gtest.h>

using namespace wiretest;

namespace {

CPongMessage MakePong() {
    CPongMessage pong;
    pong.Header() = CMessageHeader(Id(kMessageId), CMessageHeader::kTypePong);
    pong.SetPort(6340);
    pong.SetAddress(Address("192.168.1.20"));
    return pong;
}

TEST(PongMessageTest, PongIsTwentyNineBytesWithPortThenAddress) {
    const std::string bytes = MakePong().Encode();
    ASSERT_EQ(bytes.size(), 29u);
    EXPECT_EQ(bytes.substr(19, 4), std::string("\x00\x00\x00\x06", 4));
    EXPECT_EQ(bytes.substr(23, 2), "\x18\xc4"); // 6340
    EXPECT_EQ(bytes.substr(25, 4), "\xc0\xa8\x01\x14");
}

TEST(PongMessageTest, DecodeReadsPortAndAddress) {
    const std::string bytes = MakePong().Encode();
    const auto pong = CPongMessage::Decode(Bytes(bytes), bytes.size());
    ASSERT_TRUE(pong);
    EXPECT_EQ(pong->GetPort(), 6340);
    EXPECT_EQ(pong->GetAddress().GetText(), "192.168.1.20");
    EXPECT_EQ(pong->Header().GetMessageIdText(), kMessageId);
    EXPECT_EQ(pong->Encode(), bytes);
}

TEST(PongMessageTest, MessageShorterThanSixPayloadBytesIsRejected) {
    std::string bytes = MakePong().Encode();
    bytes.resize(28);
    EXPECT_FALSE(CPongMessage::Decode(Bytes(bytes), bytes.size()));
}

TEST(PongMessageTest, ReencodingAnOverlongPongAnnouncesOnlyWhatItCarries) {
    std::string bytes = MakePong().Encode();
    bytes[22] = 10;
    bytes += "abcd";
    const auto pong = CPongMessage::Decode(Bytes(bytes), bytes.size());
    ASSERT_TRUE(pong);
    const std::string again = pong->Encode();
    EXPECT_EQ(again.size(), 29u);
    EXPECT_EQ(again[22], 6);
}

} // namespace
