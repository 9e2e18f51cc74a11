// Tests of CThreadSourceTable and CThreadSources: the two bounds, the ring of
// holders and the newest-first hand-out order.
#include "transfer/ThreadSourceTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string ThreadKey(int n) {
    char text[33];
    std::snprintf(text, sizeof text, "%032x", n * 2654435761u);
    return text;
}

CIPv4Address Address(const char* text) {
    CIPv4Address address;
    address.SetText(text);
    return address;
}

// Entries written in order with the given times (port = slot number + 1000).
CThreadSources SourcesWithTimes(const std::vector<std::uint32_t>& times) {
    CThreadSourceTable table;
    for (std::size_t i = 0; i < times.size(); ++i)
        table.AddSource("t", Address("10.0.0.1"), static_cast<std::uint16_t>(1000 + i), times[i],
                        0);
    CThreadSources sources;
    EXPECT_TRUE(table.Lookup("t", sources));
    return sources;
}

std::vector<int> HandedOutSlots(CThreadSources sources) {
    std::vector<int> slots;
    CSourceEntry entry;
    for (int guard = 0; guard < 20 && sources.NextSource(entry); ++guard)
        slots.push_back(entry.port - 1000);
    return slots;
}

} // namespace

TEST(ThreadSourceTableTest, UnknownThreadIsNotFound) {
    CThreadSourceTable table;
    CThreadSources sources;
    EXPECT_FALSE(table.Lookup(ThreadKey(1), sources));
}

TEST(ThreadSourceTableTest, LookupCopiesTheHolder) {
    CThreadSourceTable table;
    table.AddSource(ThreadKey(1), Address("192.168.1.9"), 6340, 1234, 17);
    CThreadSources sources;
    ASSERT_TRUE(table.Lookup(ThreadKey(1), sources));
    EXPECT_EQ(sources.CountSources(), 1);
    const CSourceEntry& entry = sources.Entries()[0];
    EXPECT_EQ(entry.address.GetText(), "192.168.1.9");
    EXPECT_EQ(entry.port, 6340);
    EXPECT_EQ(entry.time, 1234u);
    EXPECT_EQ(entry.resCount, 17);
}

TEST(ThreadSourceTableTest, ThousandAndFirstThreadEvictsTheFirst) {
    CThreadSourceTable table;
    for (int i = 0; i <= CThreadSourceTable::kKeys; ++i)
        table.AddSource(ThreadKey(i), Address("10.0.0.1"), 6340, 100, 0);
    CThreadSources sources;
    EXPECT_FALSE(table.Lookup(ThreadKey(0), sources));
    for (int i = 1; i <= CThreadSourceTable::kKeys; ++i)
        EXPECT_TRUE(table.Lookup(ThreadKey(i), sources)) << i;
}

TEST(ThreadSourceTableTest, EvictionFollowsFirstArrivalOverManyRounds) {
    CThreadSourceTable table;
    const int total = 2 * CThreadSourceTable::kKeys + 357;
    for (int i = 0; i < total; ++i)
        table.AddSource(ThreadKey(i), Address("10.0.0.1"), 6340, 100, 0);
    CThreadSources sources;
    for (int i = 0; i < total; ++i)
        EXPECT_EQ(table.Lookup(ThreadKey(i), sources), i >= total - CThreadSourceTable::kKeys) << i;
}

TEST(ThreadSourceTableTest, NewHolderForKnownThreadKeepsItsTurnInTheRing) {
    CThreadSourceTable table;
    for (int i = 0; i < CThreadSourceTable::kKeys; ++i)
        table.AddSource(ThreadKey(i), Address("10.0.0.1"), 6340, 100, 0);
    table.AddSource(ThreadKey(0), Address("10.0.0.2"), 6340, 200, 0);
    table.AddSource(ThreadKey(CThreadSourceTable::kKeys), Address("10.0.0.1"), 6340, 100, 0);
    CThreadSources sources;
    EXPECT_FALSE(table.Lookup(ThreadKey(0), sources));
    EXPECT_TRUE(table.Lookup(ThreadKey(1), sources));
}

TEST(ThreadSourceTableTest, EmptyThreadIdIsKeptLikeAnyOther) {
    CThreadSourceTable table;
    table.AddSource("", Address("10.0.0.1"), 6340, 100, 0);
    for (int i = 0; i < 10; ++i)
        table.AddSource(ThreadKey(i), Address("10.0.0.1"), 6340, 100, 0);
    CThreadSources sources;
    EXPECT_TRUE(table.Lookup("", sources));
}

TEST(ThreadSourcesTest, EleventhHolderOverwritesTheFirst) {
    std::vector<std::uint32_t> times{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    CThreadSources sources = SourcesWithTimes(times);
    EXPECT_EQ(sources.CountSources(), 10);
    EXPECT_EQ(sources.Entries()[0].time, 11u);
    EXPECT_EQ(sources.Entries()[0].port, 1010);
    EXPECT_EQ(sources.WriteIndex(), 1);
}

TEST(ThreadSourcesTest, TenHoldersAreHandedOutNewestFirstStoppingAtNine) {
    CThreadSources sources = SourcesWithTimes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    ASSERT_TRUE(sources.SelectNewest());
    EXPECT_EQ(HandedOutSlots(sources), (std::vector<int>{9, 8, 7, 6, 5, 4, 3, 2, 1}));
}

TEST(ThreadSourcesTest, TieGoesToTheLaterSlotAndHandOutStopsAtEmpty) {
    CThreadSources sources = SourcesWithTimes({5, 5});
    ASSERT_TRUE(sources.SelectNewest());
    EXPECT_EQ(HandedOutSlots(sources), (std::vector<int>{1, 0}));
}

TEST(ThreadSourcesTest, WrappedRingStartsAtNewestAndGoesBackThroughSlotZero) {
    // Slots after 12 writes: 0->11, 1->12, 2..9 -> 3..10.
    CThreadSources sources = SourcesWithTimes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    ASSERT_TRUE(sources.SelectNewest());
    EXPECT_EQ(HandedOutSlots(sources), (std::vector<int>{11, 10, 9, 8, 7, 6, 5, 4, 3}));
}

TEST(ThreadSourcesTest, RecordWithoutEntriesSelectsNothing) {
    CThreadSources empty;
    EXPECT_FALSE(empty.SelectNewest());
    EXPECT_EQ(empty.CountSources(), 0);
}
