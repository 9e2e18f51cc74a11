// The update handler: list rows, the randomised relay rule as the handler
// applies it, relaying to the other established connections and the cache
// servent's fetch. A node in the test process is joined by plain sockets
// that speak the handshake and record what the node sends them.
#include "app/IdGenerator.h"
#include "base/BinaryId.h"
#include "protocol/Connection.h"
#include "protocol/Handlers.h"
#include "protocol/ServentSocket.h"
#include "protocol/wire/UpdateMessage.h"
#include "support/InProcessNode.h"
#include "support/Wait.h"
#include "transfer/ThreadSourceTable.h"

#include <gtest/gtest.h>

#include <QHostAddress>
#include <QTcpSocket>

#include <deque>
#include <mutex>
#include <random>

namespace {

constexpr const char* kNodeAddress = "127.0.0.85";

// A servent made of one socket: joins with the handshake, then keeps every
// byte the node sends and splits it into messages.
class CFakePeer {
public:
    bool Join(const std::string& host, std::uint16_t port) {
        m_socket.connectToHost(QString::fromStdString(host), port);
        if (!WaitUntil([&] { return m_socket.state() == QAbstractSocket::ConnectedState; }, 5000))
            return false;
        m_socket.write("PELMAR CONNECT/0.1\r\n\r\n");
        return WaitUntil(
            [&] {
                Pump();
                const auto end = m_bytes.find("\r\n\r\n");
                if (end == std::string::npos)
                    return false;
                m_bytes.erase(0, end + 4);
                return true;
            },
            5000);
    }
    std::uint16_t LocalPort() const { return m_socket.localPort(); }
    void Write(const std::string& bytes) {
        m_socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
        m_socket.flush();
    }

    void Pump() { m_bytes += m_socket.readAll().toStdString(); }

    // The whole messages received so far, taken out of the buffer.
    std::vector<std::string> TakeMessages() {
        Pump();
        std::vector<std::string> messages;
        while (m_bytes.size() >= CMessageHeader::kSize) {
            const auto header = CMessageHeader::Decode(
                reinterpret_cast<const std::uint8_t*>(m_bytes.data()), m_bytes.size());
            const std::size_t size = CMessageHeader::kSize + header->GetPayloadLength();
            if (m_bytes.size() < size)
                break;
            messages.push_back(m_bytes.substr(0, size));
            m_bytes.erase(0, size);
        }
        return messages;
    }

private:
    QTcpSocket m_socket;
    std::string m_bytes;
};

CUpdateMessage DecodeUpdate(const std::string& bytes) {
    auto update =
        CUpdateMessage::Decode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    EXPECT_TRUE(update.has_value());
    return update ? *update : CUpdateMessage();
}

CBinaryId NewId() {
    return CBinaryId::FromText(CIdGenerator().GetText());
}

CUpdateMessage MakeUpdate(std::uint8_t ttl, std::uint8_t hops, const std::string& category) {
    CUpdateMessage update;
    update.Header() = CMessageHeader(NewId(), CMessageHeader::kTypeUpdate);
    update.Header().SetTtl(ttl);
    update.Header().SetHops(hops);
    update.SetThreadId(NewId());
    update.SetTime(1700000000);
    update.SetResCount(3);
    update.SetTitle("title");
    update.SetName("name");
    update.SetCategory(category);
    update.SetServentId(NewId());
    return update;
}

} // namespace

class UpdateHandlerTest : public ::testing::Test {
protected:
    // Each test has its own port, so the tests can run side by side.
    void StartNode(int port, const std::string& cacheMode, int peerCount) {
        node = std::make_unique<InProcessNode>(kNodeAddress, port, cacheMode);
        ASSERT_TRUE(node->Start());
        node->doc->SetCurrentCategory("news");
        for (int i = 0; i < peerCount; ++i) {
            peers.emplace_back();
            ASSERT_TRUE(peers.back().Join(kNodeAddress, static_cast<std::uint16_t>(port)));
        }
        ASSERT_TRUE(WaitUntil([&] { return node->doc->CountEstablished() == peerCount; }, 5000));
    }
    void TearDown() override {
        // A fetch the test started ends before the node goes.
        if (node)
            WaitUntil([&] { return !node->doc->IsFetchInProgress(); }, 10000);
    }

    // The node's side of a fake peer's connection.
    CConnection& ConnectionOf(const CFakePeer& peer) {
        for (CConnection* connection : node->doc->GetConnections())
            if (connection->GetPeerPort() == peer.LocalPort())
                return *connection;
        ADD_FAILURE() << "no connection for the peer";
        return *node->doc->GetConnections().front();
    }

    // Draws answered from a script, in order.
    void ScriptDraws(std::deque<unsigned> draws) {
        script = std::move(draws);
        node->doc->SetRandom([this] {
            const unsigned value = script.empty() ? 0 : script.front();
            if (!script.empty())
                script.pop_front();
            ++drawsTaken;
            return value;
        });
    }

    // A holder is known for the thread, so a started fetch stays in progress
    // until the GUI thread has handled its end.
    void KnowHolder(const CBinaryId& threadId) {
        CIPv4Address holder;
        holder.SetText(kNodeAddress); // nothing listens on port 1
        node->doc->Sources().AddSource(threadId.GetText(), holder, 1, 1700000000, 1);
    }

    std::unique_ptr<InProcessNode> node;
    std::deque<CFakePeer> peers;
    std::deque<unsigned> script;
    int drawsTaken = 0;
};

TEST_F(UpdateHandlerTest, RelaysToOtherPeersWithOneMoreHopAndOneLessTtl) {
    StartNode(16481, "Disable", 3);
    CUpdateMessage update = MakeUpdate(2, 3, "news");
    const CUpdateMessage original = update;
    ScriptDraws({});
    HandleUpdate(node->doc->Overlay(), ConnectionOf(peers[0]), update);
    EXPECT_EQ(drawsTaken, 0); // neither value is fresh

    for (int i : {1, 2}) {
        std::vector<std::string> got;
        ASSERT_TRUE(WaitUntil([&] { return !(got = peers[i].TakeMessages()).empty(); }, 5000));
        ASSERT_EQ(got.size(), 1u);
        const CUpdateMessage relayed = DecodeUpdate(got[0]);
        EXPECT_EQ(relayed.Header().GetHops(), 4);
        EXPECT_EQ(relayed.Header().GetTtl(), 1);
        EXPECT_EQ(relayed.Header().GetMessageId(), original.Header().GetMessageId());
        EXPECT_EQ(relayed.GetThreadId(), original.GetThreadId());
        EXPECT_EQ(relayed.GetTime(), original.GetTime());
        EXPECT_EQ(relayed.GetResCount(), 3);
        EXPECT_EQ(relayed.GetTitle(), "title");
        EXPECT_EQ(relayed.GetName(), "name");
        EXPECT_EQ(relayed.GetCategory(), "news");
        EXPECT_EQ(relayed.GetServentId(), original.GetServentId());
        EXPECT_TRUE(node->LogHas(
            "relay update message 127.0.0.1 " + std::to_string(peers[i].LocalPort()) + " MSGID=" +
            original.Header().GetMessageIdText() + " TID=" + original.GetThreadId().GetText()));
    }
    RunEventsFor(200);
    EXPECT_TRUE(peers[0].TakeMessages().empty()); // never back where it came from
    EXPECT_TRUE(node->LogHas("receive update message 127.0.0.1 " +
                             std::to_string(peers[0].LocalPort()) +
                             " MSGID=" + original.Header().GetMessageIdText()));

    // The thread's row, marked new, since its category is the current one.
    ASSERT_EQ(node->ui.rows.size(), 1u);
    EXPECT_EQ(node->ui.rows[0].threadId, original.GetThreadId().GetText());
    EXPECT_EQ(node->ui.rows[0].title, "title");
    EXPECT_EQ(node->ui.rows[0].resCount, 3);
    EXPECT_EQ(node->ui.rows[0].time, 1700000000u);
    EXPECT_TRUE(node->ui.rows[0].isNew);
    // Nothing is stored for an announced thread.
    EXPECT_FALSE(std::filesystem::exists(node->ThreadDir() +
                                         original.GetThreadId().GetText().substr(0, 1) + "/" +
                                         original.GetThreadId().GetText()));
}

TEST_F(UpdateHandlerTest, SeventhHopIsNeitherRelayedNorFetched) {
    StartNode(16482, "CacheServent", 2);
    node->doc->SetCurrentThreadId("before");
    CUpdateMessage update = MakeUpdate(5, 7, "news");
    KnowHolder(update.GetThreadId());
    ScriptDraws({1, 1});
    HandleUpdate(node->doc->Overlay(), ConnectionOf(peers[0]), update);
    EXPECT_FALSE(node->doc->IsFetchInProgress());
    EXPECT_EQ(node->doc->GetCurrentThreadId(), "before");
    EXPECT_EQ(node->ui.rows.size(), 1u); // still listed
    RunEventsFor(200);
    EXPECT_TRUE(peers[1].TakeMessages().empty());
}

TEST_F(UpdateHandlerTest, TtlOneIsNotRelayedWhateverTheHopsDraw) {
    StartNode(16483, "CacheServent", 2);
    for (unsigned hopsDraw : {0u, 1u}) {
        CUpdateMessage update = MakeUpdate(1, 0, "news");
        ScriptDraws({hopsDraw, 1});
        HandleUpdate(node->doc->Overlay(), ConnectionOf(peers[0]), update);
        EXPECT_EQ(drawsTaken, 1) << "only the hops draw: TTL 1 is not fresh";
        drawsTaken = 0;
    }
    EXPECT_FALSE(node->doc->IsFetchInProgress());
    EXPECT_EQ(node->doc->GetCurrentThreadId(), "");
    RunEventsFor(200);
    EXPECT_TRUE(peers[1].TakeMessages().empty());
}

TEST_F(UpdateHandlerTest, FreshUpdateKeepsEachValueHalfTheTimeIndependently) {
    StartNode(16485, "Disable", 2);
    std::mt19937 generator(20240601);
    node->doc->SetRandom([&generator] { return static_cast<unsigned>(generator()); });
    constexpr int kTrials = 1000;
    for (int i = 0; i < kTrials; ++i) {
        CUpdateMessage update = MakeUpdate(5, 0, "other");
        HandleUpdate(node->doc->Overlay(), ConnectionOf(peers[0]), update);
    }
    std::vector<std::string> got;
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (std::string& message : peers[1].TakeMessages())
                got.push_back(std::move(message));
            return got.size() >= kTrials;
        },
        10000));
    ASSERT_EQ(got.size(), static_cast<std::size_t>(kTrials)); // a fresh update always goes on
    int counts[2][2] = {};
    for (const std::string& bytes : got) {
        const CUpdateMessage relayed = DecodeUpdate(bytes);
        ASSERT_LE(relayed.Header().GetHops(), 1);
        ASSERT_GE(relayed.Header().GetTtl(), 4);
        ++counts[relayed.Header().GetHops()][relayed.Header().GetTtl() - 4];
    }
    const int hopsKept = counts[0][0] + counts[0][1];
    const int ttlKept = counts[0][1] + counts[1][1];
    EXPECT_NEAR(hopsKept, kTrials / 2, 70);
    EXPECT_NEAR(ttlKept, kTrials / 2, 70);
    // Independent draws: each of the four combinations about a quarter.
    for (auto& row : counts)
        for (int count : row)
            EXPECT_NEAR(count, kTrials / 4, 60);
}

TEST_F(UpdateHandlerTest, DisabledCacheModeStartsNoFetch) {
    StartNode(16486, "Disable", 2);
    node->doc->SetCurrentThreadId("before");
    CUpdateMessage update = MakeUpdate(4, 2, "news");
    KnowHolder(update.GetThreadId());
    HandleUpdate(node->doc->Overlay(), ConnectionOf(peers[0]), update);
    EXPECT_FALSE(node->doc->IsFetchInProgress());
    EXPECT_EQ(node->doc->GetCurrentThreadId(), "before");
}

TEST_F(UpdateHandlerTest, CacheServentFetchesThreadOfAnotherCategory) {
    StartNode(16487, "CacheServent", 2);
    node->doc->SetCurrentThreadId("before");
    CUpdateMessage update = MakeUpdate(4, 2, "other");
    KnowHolder(update.GetThreadId());
    HandleUpdate(node->doc->Overlay(), ConnectionOf(peers[0]), update);
    EXPECT_TRUE(node->ui.rows.empty());                   // not the current category
    EXPECT_EQ(node->doc->GetCurrentThreadId(), "before"); // the user's selection stays
    EXPECT_TRUE(node->doc->IsFetchInProgress());
    EXPECT_TRUE(node->ui.messages.empty());
}

TEST_F(UpdateHandlerTest, LoneCacheServentRelaysNothingButFetches) {
    StartNode(16488, "CacheServent", 1);
    CUpdateMessage update = MakeUpdate(4, 2, "news");
    KnowHolder(update.GetThreadId());
    HandleUpdate(node->doc->Overlay(), ConnectionOf(peers[0]), update);
    EXPECT_TRUE(node->doc->IsFetchInProgress());
    EXPECT_EQ(node->doc->GetCurrentThreadId(), "");
    EXPECT_FALSE(node->LogHas("relay update message"));
    RunEventsFor(200);
    EXPECT_TRUE(peers[0].TakeMessages().empty());
}

TEST_F(UpdateHandlerTest, CacheServentIgnoresUpdateWithoutThreadId) {
    StartNode(16489, "CacheServent", 2);
    node->doc->SetCurrentThreadId("before");
    CUpdateMessage update = MakeUpdate(4, 2, "news");
    update.SetThreadId(CBinaryId());
    HandleUpdate(node->doc->Overlay(), ConnectionOf(peers[0]), update);
    EXPECT_FALSE(node->doc->IsFetchInProgress());
    EXPECT_EQ(node->doc->GetCurrentThreadId(), "before");
    // It is still passed on: only this node's own reaction is withheld.
    std::vector<std::string> got;
    EXPECT_TRUE(WaitUntil([&] { return !(got = peers[1].TakeMessages()).empty(); }, 5000));
}

TEST_F(UpdateHandlerTest, RepeatWithMoreTtlThanEveryRelayedCopyIsRelayed) {
    StartNode(16479, "Disable", 3);
    ScriptDraws({});
    const CUpdateMessage lastTtl = MakeUpdate(1, 3, "news");
    const CUpdateMessage relayed = MakeUpdate(3, 2, "news");
    const struct {
        const CUpdateMessage& update;
        int from;
        std::uint8_t ttl;
        int sentTtl; // of the copies to the two other peers; 0: none
    } copies[] = {
        {lastTtl, 0, 1, 0}, // the first copy goes no further
        {lastTtl, 1, 3, 2}, // a repeat that can: relayed
        {lastTtl, 2, 4, 3}, // and another that goes further still
        {lastTtl, 0, 4, 0}, // but none no better than the best relayed
        {relayed, 0, 3, 2}, // the first copy, relayed
        {relayed, 1, 3, 0}, // a repeat no better than it: dropped
        {relayed, 2, 4, 3}, // a repeat that goes further: relayed
    };
    for (const auto& c : copies) {
        CUpdateMessage copy = c.update;
        copy.Header().SetTtl(c.ttl);
        peers[c.from].Write(copy.Encode());
        RunEventsFor(300);
        for (int i = 0; i < 3; ++i) {
            const std::vector<std::string> got = peers[i].TakeMessages();
            const bool expected = c.sentTtl != 0 && i != c.from;
            ASSERT_EQ(got.size(), expected ? 1u : 0u) << c.from << " " << int(c.ttl) << " " << i;
            if (expected) {
                EXPECT_EQ(DecodeUpdate(got[0]).Header().GetTtl(), c.sentTtl);
            }
        }
    }
    // The list heard of each update once.
    EXPECT_EQ(node->ui.rows.size(), 2u);
}
