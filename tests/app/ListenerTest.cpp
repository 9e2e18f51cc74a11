// The listener and the connection list: every incoming connection accepted,
// closed ones kept until the next one sweeps them, and the status panes
// showing the first four established peers in list order.
#include "protocol/Connection.h"
#include "protocol/ServentSocket.h"
#include "support/InProcessNode.h"
#include "support/RawPeer.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace {

constexpr const char* kNode = "127.0.0.130";
constexpr std::array<const char*, 6> kPeers = {"127.0.0.131", "127.0.0.132", "127.0.0.133",
                                               "127.0.0.134", "127.0.0.135", "127.0.0.136"};
using Neighbours = std::array<std::string, 4>;

class ListenerTest : public ::testing::Test {
protected:
    void StartNode(int port) {
        nodePort = port;
        node = std::make_unique<InProcessNode>(kNode, port);
        ASSERT_TRUE(node->Start());
    }
    std::unique_ptr<RawPeer> Joined(const char* from) {
        auto peer = std::make_unique<RawPeer>(from);
        EXPECT_TRUE(JoinNode(*peer, kNode, nodePort));
        return peer;
    }
    // The peer's connection, once the node has accepted it.
    CConnection* ConnectionOf(const RawPeer& peer) {
        CConnection* found = nullptr;
        WaitUntil([&] {
            for (CConnection* connection : node->doc->GetConnections())
                if (connection->GetPeerAddress() == peer.LocalAddress() &&
                    connection->GetPeerPort() == peer.LocalPort())
                    found = connection;
            return found != nullptr;
        });
        return found;
    }
    std::size_t ListSize() const { return node->doc->GetConnections().size(); }

    std::unique_ptr<InProcessNode> node;
    int nodePort = 0;
};

} // namespace

TEST_F(ListenerTest, ClosedConnectionStaysListedUntilTheNextIncomingOneSweepsIt) {
    StartNode(16530);
    auto leaving = Joined(kPeers[0]);
    CConnection* closed = ConnectionOf(*leaving);
    ASSERT_NE(closed, nullptr);
    const std::uint64_t serial = closed->Serial();
    EXPECT_EQ(node->ui.neighbours, (Neighbours{kPeers[0], "", "", ""}));

    leaving->Close();
    ASSERT_TRUE(WaitUntil([&] { return closed->IsClosed(); }));
    RunEventsFor(200);
    EXPECT_EQ(node->doc->FindConnection(serial), closed);
    EXPECT_EQ(ListSize(), 1u);
    EXPECT_EQ(node->ui.neighbours, Neighbours{});
    EXPECT_EQ(node->doc->CountEstablished(), 0);

    RawPeer arriving(kPeers[1]); // no handshake needed: accepting sweeps
    ASSERT_TRUE(arriving.Connect(kNode, nodePort));
    ASSERT_NE(ConnectionOf(arriving), nullptr);
    EXPECT_EQ(node->doc->FindConnection(serial), nullptr);
    EXPECT_EQ(ListSize(), 1u);
}

TEST_F(ListenerTest, SweepSparesAConnectUnderWayAndTakesItOnceItFailed) {
    StartNode(16531);
    auto unanswering = std::make_unique<FullListener>(kPeers[5], 16531);
    ASSERT_TRUE(unanswering->ok);
    RunEventsFor(100);
    CConnection* pending = node->doc->OpenConnection(kPeers[5], 16531);
    const std::uint64_t serial = pending->Serial();
    RunEventsFor(300);
    ASSERT_TRUE(pending->IsClosed());
    ASSERT_TRUE(pending->IsConnecting());

    // An incoming connection while the connect is under way leaves it alone.
    auto arriving = Joined(kPeers[0]);
    EXPECT_EQ(node->doc->FindConnection(serial), pending);
    EXPECT_TRUE(pending->IsConnecting());

    // Refused at its next attempt: closed, silent, and swept by the next arrival.
    unanswering.reset();
    ASSERT_TRUE(WaitUntil([&] { return !pending->IsConnecting(); }, 8000));
    EXPECT_TRUE(pending->IsClosed());
    EXPECT_FALSE(pending->IsEstablished());
    auto next = Joined(kPeers[1]);
    EXPECT_EQ(node->doc->FindConnection(serial), nullptr);
    EXPECT_EQ(ListSize(), 2u);
    EXPECT_EQ(node->doc->CountEstablished(), 2);
    EXPECT_FALSE(node->LogHas("send PELMAR CONNECT/0.1"));
}

TEST_F(ListenerTest, FifthAndSixthIncomingAreAcceptedButOnlyFourShown) {
    StartNode(16532);
    std::vector<std::unique_ptr<RawPeer>> peers;
    for (const char* from : kPeers)
        peers.push_back(Joined(from));
    EXPECT_EQ(ListSize(), 6u);
    EXPECT_EQ(node->doc->CountEstablished(), 6);
    EXPECT_EQ(node->ui.neighbours, (Neighbours{kPeers[0], kPeers[1], kPeers[2], kPeers[3]}));
}

TEST_F(ListenerTest, KnownPeerIsThisNodeOrAnyListedConnectionWhateverItsFlags) {
    StartNode(16533);
    EXPECT_TRUE(node->doc->GetConnections().empty());
    EXPECT_TRUE(node->doc->IsKnownPeer(kNode, 16533));
    EXPECT_FALSE(node->doc->IsKnownPeer(kNode, 16534));
    EXPECT_FALSE(node->doc->IsKnownPeer(kPeers[0], 16533));

    RawPeer peer(kPeers[0]);
    ASSERT_TRUE(peer.Connect(kNode, nodePort));
    CConnection* connection = ConnectionOf(peer);
    ASSERT_NE(connection, nullptr);
    const int port = peer.LocalPort();
    EXPECT_TRUE(node->doc->IsKnownPeer(kPeers[0], static_cast<std::uint16_t>(port)));
    EXPECT_FALSE(node->doc->IsKnownPeer(kPeers[0], static_cast<std::uint16_t>(port + 1)));
    peer.Close();
    ASSERT_TRUE(WaitUntil([&] { return connection->IsClosed(); }));
    EXPECT_TRUE(node->doc->IsKnownPeer(kPeers[0], static_cast<std::uint16_t>(port)));
}

TEST_F(ListenerTest, StatusShowsEstablishedPeersOnlyInListOrder) {
    StartNode(16534);
    RawPeer late(kPeers[0]); // first in the list, established last
    ASSERT_TRUE(late.Connect(kNode, nodePort));
    ASSERT_NE(ConnectionOf(late), nullptr);
    auto second = Joined(kPeers[1]);
    auto third = Joined(kPeers[2]);
    EXPECT_EQ(node->ui.neighbours, (Neighbours{kPeers[1], kPeers[2], "", ""}));

    second->Close();
    EXPECT_TRUE(WaitUntil([&] {
        return node->ui.neighbours == Neighbours{kPeers[2], "", "", ""};
    }));
    late.Write(ConnectBlock(kNode));
    EXPECT_TRUE(late.WaitForText(OkBlock(kPeers[0])));
    EXPECT_EQ(node->ui.neighbours, (Neighbours{kPeers[0], kPeers[2], "", ""}));
}
