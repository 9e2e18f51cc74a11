// Tests of CUpdateMessage: sizes, round trip, tolerant string reading.
#include "protocol/wire/UpdateMessage.h"

#include "WireTestSupport.h"

#include <gtest/gtest.h>

using namespace wiretest;
using namespace std::string_literals;

namespace {

CUpdateMessage MakeUpdate() {
    CUpdateMessage update;
    update.Header() = CMessageHeader(Id(kMessageId), CMessageHeader::kTypeUpdate);
    update.SetThreadId(Id(kThreadId));
    update.SetTime(0x61000000);
    update.SetResCount(3);
    update.SetServentId(Id(kServentId));
    return update;
}

// Header, thread id, time, count, then `strings` and a 16-byte servent id.
std::string RawUpdate(const std::string& strings) {
    std::string bytes = MakeUpdate().Encode().substr(0, 45) + strings + std::string(16, '\x55');
    const std::uint32_t length = static_cast<std::uint32_t>(bytes.size() - 23);
    for (int i = 0; i < 4; ++i)
        bytes[19 + i] = static_cast<char>(length >> (24 - 8 * i));
    return bytes;
}

TEST(UpdateMessageTest, EmptyStringsGivePayloadFortyOne) {
    const CUpdateMessage update = MakeUpdate();
    EXPECT_EQ(update.ComputePayloadLength(), 41u);
    const std::string bytes = update.Encode();
    ASSERT_EQ(bytes.size(), 64u);
    EXPECT_EQ(bytes.substr(39, 4), "\x61\x00\x00\x00"s);
    EXPECT_EQ(bytes.substr(43, 2), std::string("\x00\x03", 2));
    EXPECT_EQ(bytes.substr(45, 3), std::string(3, '\0'));
}

TEST(UpdateMessageTest, RoundTripKeepsEveryField) {
    CUpdateMessage update = MakeUpdate();
    update.SetTitle("title");
    update.SetName("\x96\xbc\x96\xb3\x82\xb5"); // Shift_JIS, kept as bytes
    update.SetCategory("cat");
    EXPECT_EQ(update.ComputePayloadLength(), 41u + 5 + 6 + 3);
    const std::string bytes = update.Encode();
    const auto decoded = CUpdateMessage::Decode(Bytes(bytes), bytes.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->GetThreadId().GetText(), kThreadId);
    EXPECT_EQ(decoded->GetTime(), 0x61000000u);
    EXPECT_EQ(decoded->GetResCount(), 3);
    EXPECT_EQ(decoded->GetTitle(), "title");
    EXPECT_EQ(decoded->GetName(), "\x96\xbc\x96\xb3\x82\xb5");
    EXPECT_EQ(decoded->GetCategory(), "cat");
    EXPECT_EQ(decoded->GetServentId().GetText(), kServentId);
    EXPECT_EQ(decoded->Encode(), bytes);
}

TEST(UpdateMessageTest, MissingTerminatorsLeaveLaterStringsEmpty) {
    // Two terminators: the category has a start but runs to the message end.
    const std::string two = RawUpdate("t\0n\0"s);
    auto decoded = CUpdateMessage::Decode(Bytes(two), two.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->GetTitle(), "t");
    EXPECT_EQ(decoded->GetName(), "n");
    EXPECT_EQ(decoded->GetCategory(), std::string(16, '\x55'));

    // One terminator: the category has no start.
    const std::string one = RawUpdate("t\0n"s);
    decoded = CUpdateMessage::Decode(Bytes(one), one.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->GetTitle(), "t");
    EXPECT_EQ(decoded->GetCategory(), "");

    // None at all: every string is empty.
    const std::string none = RawUpdate("tn");
    decoded = CUpdateMessage::Decode(Bytes(none), none.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->GetTitle(), "");
    EXPECT_EQ(decoded->GetName(), "");
    EXPECT_EQ(decoded->GetCategory(), "");
    EXPECT_EQ(decoded->GetServentId().GetText(), std::string(32, '5'));
}

TEST(UpdateMessageTest, MessageShorterThanFixedPartIsRejected) {
    std::string bytes = RawUpdate("");
    bytes.resize(60);
    EXPECT_FALSE(CUpdateMessage::Decode(Bytes(bytes), bytes.size()));
    bytes = RawUpdate("");
    EXPECT_TRUE(CUpdateMessage::Decode(Bytes(bytes), bytes.size()));
}

} // namespace
