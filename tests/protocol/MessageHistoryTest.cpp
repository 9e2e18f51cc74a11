// CMessageHistory: forgetting strictly by insertion order, the last recording
// of a key winning, and what a node does with a forgotten request or with a
// reply whose connection has gone.
#include "ServentFixture.h"

#include "protocol/MessageHistory.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace {
std::string Other(int i) {
    return "other" + std::to_string(i);
}
} // namespace

TEST(MessageHistoryTest, KeyIsForgottenExactlyAThousandInsertionsLaterWhateverTheLookups) {
    CMessageHistory history;
    CRouteEntry entry;
    history.Record("key", 7, false);
    for (int i = 0; i < 999; ++i) {
        history.Record(Other(i), 1, false);
        ASSERT_TRUE(history.Lookup("key", entry)); // lookups never refresh a key
    }
    EXPECT_EQ(entry.originSerial, 7u);
    EXPECT_FALSE(entry.originatedHere);
    history.Record(Other(999), 1, false);
    EXPECT_FALSE(history.Lookup("key", entry));
    EXPECT_TRUE(history.Lookup(Other(0), entry));
    EXPECT_TRUE(history.Lookup(Other(999), entry));
}

TEST(MessageHistoryTest, KeyRecordedTwiceLeavesWithItsFirstSlot) {
    CMessageHistory history;
    CRouteEntry entry;
    history.Record("key", 1, true);
    history.Record("key", 2, false);
    ASSERT_TRUE(history.Lookup("key", entry));
    EXPECT_EQ(entry.originSerial, 2u); // the last recording wins
    EXPECT_FALSE(entry.originatedHere);
    for (int i = 0; i < 999; ++i)
        history.Record(Other(i), 1, false);
    // The second recording's slot is not reused yet, but the key is gone.
    EXPECT_FALSE(history.Lookup("key", entry));
    history.Record(Other(999), 1, false); // reuses that slot: removes nothing else
    EXPECT_TRUE(history.Lookup(Other(1), entry));
}

TEST(MessageHistoryTest, OwnRecordingIsFoundAsOriginatedHere) {
    CMessageHistory history;
    CRouteEntry entry;
    EXPECT_FALSE(history.Lookup("mine", entry));
    history.Record("mine", 3, true);
    ASSERT_TRUE(history.Lookup("mine", entry));
    EXPECT_TRUE(entry.originatedHere);
    EXPECT_EQ(entry.originSerial, 3u);
}

// The history against a plain model of it (a ring of keys over a map, as it
// was first written) through thousands of recordings of keys of every form:
// message ids, short and long keys, the empty key, and keys recorded again.
TEST(MessageHistoryTest, AgreesWithAPlainRingAndMapOverManyKeysOfEveryForm) {
    struct Model {
        std::vector<std::string> ring = std::vector<std::string>(CMessageHistory::kKeys);
        std::size_t next = 0;
        std::map<std::string, CRouteEntry> map;
        void Record(const std::string& key, std::uint64_t serial, bool here) {
            std::string& slot = ring[next];
            if (!slot.empty())
                map.erase(slot);
            slot = key;
            map[key] = CRouteEntry{serial, here};
            next = (next + 1) % ring.size();
        }
    };
    std::mt19937 random(7);
    std::vector<std::string> keys;
    for (int i = 0; i < 1500; ++i)
        keys.push_back(rawmsg::NewId());
    for (int i = 0; i < 200; ++i)
        keys.push_back(Other(i));
    for (int i = 0; i < 50; ++i)
        keys.push_back("a key longer than sixteen bytes, number " + std::to_string(i));
    keys.push_back("");
    keys.push_back(std::string(32, 'A')); // 32 characters, but not lower-case hex

    CMessageHistory history;
    Model model;
    for (int step = 0; step < 20000; ++step) {
        const std::string& key = keys[random() % keys.size()];
        if (random() % 4 == 0) {
            history.NoteRelayed(key, static_cast<std::uint8_t>(step % 6));
            if (auto known = model.map.find(key); known != model.map.end()) {
                known->second.relayedTtl = static_cast<std::uint8_t>(step % 6);
            }
        } else {
            history.Record(key, static_cast<std::uint64_t>(step), step % 5 == 0);
            model.Record(key, static_cast<std::uint64_t>(step), step % 5 == 0);
        }
        const std::string& probe = keys[random() % keys.size()];
        CRouteEntry got;
        const auto want = model.map.find(probe);
        ASSERT_EQ(history.Lookup(probe, got), want != model.map.end()) << step << " " << probe;
        if (want == model.map.end())
            continue;
        ASSERT_EQ(got.originSerial, want->second.originSerial) << step;
        ASSERT_EQ(got.originatedHere, want->second.originatedHere) << step;
        ASSERT_EQ(got.relayedTtl, want->second.relayedTtl) << step;
    }
}

using MessageHistoryNodeTest = ServentFixture;

TEST_F(MessageHistoryNodeTest, ForgottenPingIsHandledAsNewAndOwnPingNamesLastConnection) {
    StartNode(16517);
    auto peer = Joined(kPeerA);
    auto answered = [&](const std::string& id) {
        const auto pong = peer->TakeMessage();
        return pong && rawmsg::Decode(*pong).GetMessageIdText() == id;
    };
    const std::string ping = rawmsg::NewId();
    peer->Write(rawmsg::Ping(ping));
    ASSERT_TRUE(answered(ping));

    // 998 insertions, then the marker's own: the copy before it is still a repeat.
    for (int i = 0; i < 998; ++i)
        node->doc->History().Record(Other(i), 0, false);
    peer->Write(rawmsg::Ping(ping));
    const std::string marker = rawmsg::NewId();
    peer->Write(rawmsg::Ping(marker));
    ASSERT_TRUE(answered(marker));
    node->doc->History().Record(Other(998), 0, false); // the thousandth
    peer->Write(rawmsg::Ping(ping));
    EXPECT_TRUE(answered(ping));
    EXPECT_EQ(CountLog("receive ping message " + Who(*peer) + " MSGID=" + ping), 2u);

    // The node's own ping is recorded once per connection; the last one wins.
    auto second = Joined(kPeerB);
    node->doc->SendPing();
    const auto own = peer->TakeMessage();
    ASSERT_TRUE(own);
    ASSERT_TRUE(second->TakeMessage());
    CRouteEntry route;
    ASSERT_TRUE(node->doc->History().Lookup(rawmsg::Decode(*own).GetMessageIdText(), route));
    EXPECT_TRUE(route.originatedHere);
    EXPECT_EQ(route.originSerial, ConnectionOf(*second)->Serial());
}

TEST_F(MessageHistoryNodeTest, PongWhoseOriginHasClosedOrGoneIsNotForwarded) {
    StartNode(16518);
    auto origin = Joined(kPeerA);
    auto answerer = Joined(kPeerB);
    const std::string ping = rawmsg::NewId();
    origin->Write(rawmsg::Ping(ping));
    ASSERT_TRUE(answerer->TakeMessage()); // the relayed ping
    CConnection* originConnection = ConnectionOf(*origin);
    ASSERT_NE(originConnection, nullptr);
    const std::uint64_t originSerial = originConnection->Serial();
    origin->Close();
    ASSERT_TRUE(WaitUntil([&] { return originConnection->IsClosed(); }));

    answerer->Write(rawmsg::Pong(ping, "127.0.0.99", 7000));
    ASSERT_TRUE(Settle(*answerer));
    EXPECT_EQ(CountLog("receive pong message " + Who(*answerer) + " MSGID=" + ping), 1u);

    // A newcomer sweeps the closed origin away; its place is never taken.
    auto newcomer = Joined(kPeerC);
    EXPECT_EQ(node->doc->FindConnection(originSerial), nullptr);
    answerer->Write(rawmsg::Pong(ping, "127.0.0.99", 7000));
    ASSERT_TRUE(Settle(*answerer));
    ASSERT_TRUE(newcomer->TakeMessage()); // the marker, relayed
    RunEventsFor(200);
    EXPECT_TRUE(newcomer->Received().empty());
    EXPECT_EQ(CountLog("relay pong"), 0u);
    EXPECT_FALSE(ConnectionOf(*answerer)->IsClosed());
}
