// Tests of CMessageFramer: whole messages out of split and merged chunks, and
// the payload bound.
#include "protocol/wire/MessageFramer.h"

#include "WireTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace wiretest;

namespace {

std::string Message(std::uint8_t type, const std::string& payload) {
    CMessageHeader header(Id(kMessageId), type);
    header.SetPayloadLength(static_cast<std::uint32_t>(payload.size()));
    return header.Encode() + payload;
}

// Feeds `input` in chunks of `chunk` bytes and collects every whole message.
struct SFramed {
    std::vector<std::string> messages;
    bool failed = false;
};

SFramed FeedAll(CMessageFramer& framer, const std::string& input, std::size_t chunk) {
    SFramed out;
    for (std::size_t start = 0; start < input.size() && !out.failed; start += chunk) {
        const std::size_t size = std::min(chunk, input.size() - start);
        std::size_t at = 0;
        while (at < size) {
            const auto result = framer.Feed(Bytes(input) + start + at, size - at);
            at += result.consumed;
            if (result.status == CMessageFramer::EStatus::Error) {
                out.failed = true;
                break;
            }
            if (result.status == CMessageFramer::EStatus::Complete)
                out.messages.emplace_back(reinterpret_cast<const char*>(framer.MessageData()),
                                          framer.MessageSize());
        }
    }
    return out;
}

TEST(MessageFramerTest, ZeroPayloadIsCompleteAfterTwentyThirdByte) {
    const std::string ping = Message(CMessageHeader::kTypePing, "");
    CMessageFramer framer;
    auto result = framer.Feed(Bytes(ping), 22);
    EXPECT_EQ(result.status, CMessageFramer::EStatus::NeedMore);
    EXPECT_EQ(result.consumed, 22u);
    result = framer.Feed(Bytes(ping) + 22, 1);
    EXPECT_EQ(result.status, CMessageFramer::EStatus::Complete);
    EXPECT_EQ(framer.MessageSize(), 23u);
    EXPECT_EQ(framer.Header().GetType(), CMessageHeader::kTypePing);
}

TEST(MessageFramerTest, TwoMessagesInOneChunkComeOutInOrder) {
    const std::string first = Message(CMessageHeader::kTypePong, "abcdef");
    const std::string second = Message(CMessageHeader::kTypePing, "");
    CMessageFramer framer;
    const SFramed framed = FeedAll(framer, first + second + "\x01\x02", 1000);
    ASSERT_EQ(framed.messages.size(), 2u);
    EXPECT_EQ(framed.messages[0], first);
    EXPECT_EQ(framed.messages[1], second);
    EXPECT_FALSE(framed.failed);
}

TEST(MessageFramerTest, EveryChunkSizeGivesTheSameMessages) {
    const std::string stream = Message(CMessageHeader::kTypeQuery, std::string(40, 'q')) +
                               Message(CMessageHeader::kTypePing, "") +
                               Message(CMessageHeader::kTypeUpdate, std::string(300, 'u'));
    for (std::size_t chunk = 1; chunk <= 70; ++chunk) {
        CMessageFramer framer;
        const SFramed framed = FeedAll(framer, stream, chunk);
        ASSERT_EQ(framed.messages.size(), 3u) << "chunk " << chunk;
        EXPECT_EQ(framed.messages[0] + framed.messages[1] + framed.messages[2], stream);
    }
}

TEST(MessageFramerTest, CompleteMessageStopsTakingBytes) {
    const std::string stream = Message(CMessageHeader::kTypePong, "abcdef") + "next";
    CMessageFramer framer;
    const auto result = framer.Feed(Bytes(stream), stream.size());
    EXPECT_EQ(result.status, CMessageFramer::EStatus::Complete);
    EXPECT_EQ(result.consumed, 29u);
}

TEST(MessageFramerTest, PayloadAtTheBoundIsAccepted) {
    const std::string big = Message(CMessageHeader::kTypeQueryHit, std::string(262144, 'x'));
    CMessageFramer framer;
    const SFramed framed = FeedAll(framer, big, 64000);
    ASSERT_EQ(framed.messages.size(), 1u);
    EXPECT_EQ(framed.messages[0].size(), 23u + 262144);
}

TEST(MessageFramerTest, PayloadOverTheBoundFailsAtTheHeaderAndStaysFailed) {
    CMessageHeader header(Id(kMessageId), CMessageHeader::kTypeQueryHit);
    header.SetPayloadLength(262145);
    const std::string bytes = header.Encode() + "more";
    CMessageFramer framer;
    auto result = framer.Feed(Bytes(bytes), bytes.size());
    EXPECT_EQ(result.status, CMessageFramer::EStatus::Error);
    EXPECT_EQ(result.consumed, 23u);
    EXPECT_TRUE(framer.HasFailed());
    result = framer.Feed(Bytes(bytes) + 23, 4);
    EXPECT_EQ(result.status, CMessageFramer::EStatus::Error);
    EXPECT_EQ(result.consumed, 0u);
}

TEST(MessageFramerTest, LargestAnnouncedLengthFailsWithoutBuffering) {
    std::string bytes = Message(CMessageHeader::kTypeQuery, "");
    bytes.replace(19, 4, "\xff\xff\xff\xff");
    CMessageFramer framer;
    EXPECT_EQ(framer.Feed(Bytes(bytes), bytes.size()).status, CMessageFramer::EStatus::Error);
}

} // namespace
