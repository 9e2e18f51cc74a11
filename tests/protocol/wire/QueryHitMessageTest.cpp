// Tests of CQueryHitMessage: the entry walk, dropped entries, trailing servent id.
#include "protocol/wire/QueryHitMessage.h"

#include "WireTestSupport.h"

#include <gtest/gtest.h>

using namespace wiretest;
using namespace std::string_literals;

namespace {

CHitEntry MakeEntry(const char* threadId, const std::string& title) {
    CHitEntry entry;
    entry.SetThreadId(Id(threadId));
    entry.SetTime(0x5f000001);
    entry.SetResCount(12);
    entry.SetTitle(title);
    entry.SetName("name");
    entry.SetCategory("cat");
    return entry;
}

CQueryHitMessage MakeHit() {
    CQueryHitMessage hit;
    hit.Header() = CMessageHeader(Id(kMessageId), CMessageHeader::kTypeQueryHit);
    hit.SetPort(6341);
    hit.SetAddress(Address("10.0.0.7"));
    hit.SetServentId(Id(kServentId));
    return hit;
}

void SetPayloadLength(std::string& bytes) {
    const std::uint32_t length = static_cast<std::uint32_t>(bytes.size() - 23);
    for (int i = 0; i < 4; ++i)
        bytes[19 + i] = static_cast<char>(length >> (24 - 8 * i));
}

TEST(QueryHitMessageTest, NoEntriesHasPayloadTwentyThreeAndStillCarriesServentId) {
    const CQueryHitMessage hit = MakeHit();
    EXPECT_EQ(hit.ComputePayloadLength(), 23u);
    const std::string bytes = hit.Encode();
    ASSERT_EQ(bytes.size(), 46u);
    const auto decoded = CQueryHitMessage::Decode(Bytes(bytes), bytes.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->GetServentId().GetText(), kServentId);
    EXPECT_EQ(decoded->GetPort(), 6341);
    EXPECT_EQ(decoded->GetAddress().GetText(), "10.0.0.7");
    EXPECT_TRUE(decoded->GetEntries().empty());
}

TEST(QueryHitMessageTest, EntriesRoundTripInOrder) {
    CQueryHitMessage hit = MakeHit();
    hit.AddEntry(MakeEntry(kThreadId, "first"));
    hit.AddEntry(MakeEntry(kServentId, ""));
    hit.SetHitCount(2);
    EXPECT_EQ(hit.ComputePayloadLength(), 23u + (25 + 5 + 4 + 3) + (25 + 0 + 4 + 3));
    const std::string bytes = hit.Encode();
    const auto decoded = CQueryHitMessage::Decode(Bytes(bytes), bytes.size());
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->GetEntries().size(), 2u);
    const CHitEntry& first = decoded->GetEntries()[0];
    EXPECT_EQ(first.GetThreadId().GetText(), kThreadId);
    EXPECT_EQ(first.GetTime(), 0x5f000001u);
    EXPECT_EQ(first.GetResCount(), 12);
    EXPECT_EQ(first.GetTitle(), "first");
    EXPECT_EQ(first.GetName(), "name");
    EXPECT_EQ(first.GetCategory(), "cat");
    EXPECT_EQ(decoded->GetEntries()[1].GetTitle(), "");
    EXPECT_EQ(decoded->GetServentId().GetText(), kServentId);
    EXPECT_EQ(decoded->Encode(), bytes);
}

TEST(QueryHitMessageTest, EntryWithoutTerminatorIsDroppedWhileOthersRemain) {
    CQueryHitMessage hit = MakeHit();
    hit.AddEntry(MakeEntry(kThreadId, "kept"));
    hit.SetHitCount(2);
    std::string bytes = hit.Encode();
    // A second entry whose strings never end, then a servent id without 0x00.
    const std::string servent = bytes.substr(bytes.size() - 16);
    bytes.resize(bytes.size() - 16);
    bytes += std::string(16, '\x22');
    bytes += std::string("\x00\x00\x00\x01\x00\x02", 6) + "no terminator" + servent;
    SetPayloadLength(bytes);
    const auto decoded = CQueryHitMessage::Decode(Bytes(bytes), bytes.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->GetHitCount(), 2);
    ASSERT_EQ(decoded->GetEntries().size(), 1u);
    EXPECT_EQ(decoded->GetEntries()[0].GetTitle(), "kept");
    EXPECT_EQ(decoded->GetServentId().GetText(), kServentId);
    // Relayed, it keeps the count it came with but carries only what was read.
    const std::string again = decoded->Encode();
    EXPECT_EQ(static_cast<std::uint8_t>(again[23]), 2);
    EXPECT_EQ(again.size(), 23u + 23 + 25 + 4 + 4 + 3);
}

TEST(QueryHitMessageTest, CountBeyondTheEntriesPresentStopsAtMessageEnd) {
    CQueryHitMessage hit = MakeHit();
    hit.AddEntry(MakeEntry(kThreadId, "only"));
    hit.SetHitCount(255);
    const std::string bytes = hit.Encode();
    const auto decoded = CQueryHitMessage::Decode(Bytes(bytes), bytes.size());
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->GetEntries().size(), 1u);
    EXPECT_EQ(decoded->GetEntries()[0].GetTitle(), "only");
}

TEST(QueryHitMessageTest, EntryWithOneTerminatorKeepsTitleAndLeavesCategoryEmpty) {
    CQueryHitMessage hit = MakeHit();
    hit.SetHitCount(1);
    std::string bytes = hit.Encode();
    bytes.resize(30);
    bytes += std::string(16, '\x33') + std::string("\x00\x00\x00\x01\x00\x02", 6);
    bytes += std::string("title\0name", 10);
    bytes += std::string(16, '\x44');
    SetPayloadLength(bytes);
    const auto decoded = CQueryHitMessage::Decode(Bytes(bytes), bytes.size());
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->GetEntries().size(), 1u);
    EXPECT_EQ(decoded->GetEntries()[0].GetTitle(), "title");
    EXPECT_EQ(decoded->GetEntries()[0].GetName(), "name" + std::string(16, '\x44'));
    EXPECT_EQ(decoded->GetEntries()[0].GetCategory(), "");
}

TEST(QueryHitMessageTest, MessageShorterThanFixedPartIsRejected) {
    std::string bytes = MakeHit().Encode();
    bytes.resize(45);
    SetPayloadLength(bytes);
    EXPECT_FALSE(CQueryHitMessage::Decode(Bytes(bytes), bytes.size()));
}

} // namespace
