// Pings answered and flooded, pongs routed back along the ping's path, and the
// connections a node opens to the servents its own pings discover.
#include "ServentFixture.h"

#include "protocol/wire/LogText.h"

using PongRoutingTest = ServentFixture;

namespace {
// The id of the ping the node sends next on this peer.
std::string OwnPingId(RawPeer& peer) {
    const auto ping = peer.TakeMessage();
    return ping ? rawmsg::Decode(*ping).GetMessageIdText() : std::string();
}
} // namespace

TEST_F(PongRoutingTest, PongForOwnPingConnectsToTheNamedServent) {
    StartNode(16512);
    TestListener discovered(kServerB, nodePort);
    ASSERT_TRUE(discovered.listening);
    auto peer = Joined(kPeerA);
    node->doc->SendPing();
    const std::string ping = OwnPingId(*peer);
    ASSERT_FALSE(ping.empty());

    peer->Write(rawmsg::Pong(ping, kServerB, nodePort));
    ASSERT_TRUE(discovered.WaitForPeers(1));
    EXPECT_TRUE(discovered.peers[0]->WaitForText(ConnectBlock(kServerB)));
    EXPECT_TRUE(node->LogHas("receive pong message " + Who(*peer) + " MSGID=" + ping +
                             " LIVE=127.0.0.122 16512\n"));
    EXPECT_TRUE(node->LogHas("connect new servent 127.0.0.122 16512\n"));
    ASSERT_TRUE(Settle(*peer));
    EXPECT_TRUE(peer->Received().empty()); // not relayed back
}

TEST_F(PongRoutingTest, PongsNamingThisNodeOrAConnectedHostOpenNothing) {
    StartNode(16513);
    TestListener discovered(kServerC, nodePort);
    auto peer = Joined(kPeerA);
    node->doc->SendPing();
    const std::string ping = OwnPingId(*peer);
    ASSERT_FALSE(ping.empty());

    peer->Write(rawmsg::Pong(ping, kNode, nodePort)); // this node itself
    peer->Write(rawmsg::Pong(ping, kPeerA, 9999));    // connected host, other port
    ASSERT_TRUE(Settle(*peer));
    EXPECT_EQ(CountLog("receive pong message"), 2u);
    EXPECT_EQ(CountLog("connect new servent"), 0u);
    EXPECT_EQ(node->doc->GetConnections().size(), 1u);

    // Each pong of the ping is handled: a third one naming a new host connects.
    peer->Write(rawmsg::Pong(ping, kServerC, nodePort));
    EXPECT_TRUE(discovered.WaitForPeers(1));
    EXPECT_EQ(CountLog("connect new servent 127.0.0.123 16513\n"), 1u);

    // A host whose connect is still under way is not connected to twice.
    FullListener slow(kServerA, nodePort);
    ASSERT_TRUE(slow.ok);
    peer->Write(rawmsg::Pong(ping, kServerA, nodePort));
    peer->Write(rawmsg::Pong(ping, kServerA, nodePort + 1));
    ASSERT_TRUE(Settle(*peer));
    EXPECT_EQ(CountLog("connect new servent 127.0.0.121"), 1u);
}

TEST_F(PongRoutingTest, BurstOfPongsOpensNoMoreConnectionsThanTheTarget) {
    StartNode(16517);
    // Six hosts that accept but never answer the handshake: each connect the
    // node opens stays under way.
    std::vector<std::unique_ptr<TestListener>> hosts;
    std::string burst;
    auto peer = Joined(kPeerA);
    node->doc->SendPing();
    const std::string ping = OwnPingId(*peer);
    ASSERT_FALSE(ping.empty());
    for (int i = 0; i < 6; ++i) {
        const std::string host = "127.0.0." + std::to_string(130 + i);
        hosts.push_back(std::make_unique<TestListener>(host, nodePort));
        ASSERT_TRUE(hosts.back()->listening);
        burst += rawmsg::Pong(ping, host, nodePort);
    }
    peer->Write(burst);
    ASSERT_TRUE(Settle(*peer));
    // One established and three under way make the four.
    EXPECT_EQ(CountLog("connect new servent"), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(hosts[i]->WaitForPeers(1));

    // A connection that ends before its handshake gives its place back.
    hosts[0].reset();
    ASSERT_TRUE(WaitUntil([&] {
        const CConnection* gone = ConnectionOf("127.0.0.130", nodePort);
        return !gone || gone->IsClosed();
    }));
    peer->Write(rawmsg::Pong(ping, "127.0.0.134", nodePort));
    EXPECT_TRUE(hosts[4]->WaitForPeers(1));
    ASSERT_TRUE(Settle(*peer));
    EXPECT_EQ(CountLog("connect new servent"), 4u);
    EXPECT_TRUE(hosts[3]->peers.empty());
    EXPECT_TRUE(hosts[5]->peers.empty());
}

TEST_F(PongRoutingTest, WithFourEstablishedPongsOpenNothingUntilOneCloses) {
    StartNode(16514);
    TestListener discovered(kServerC, nodePort);
    std::vector<std::unique_ptr<RawPeer>> peers;
    for (const char* from : {kPeerA, kPeerB, kPeerC, kPeerD})
        peers.push_back(Joined(from));
    ASSERT_EQ(node->doc->CountEstablished(), 4);
    node->doc->SendPing();
    std::string ping;
    for (auto& peer : peers)
        ping = OwnPingId(*peer);
    ASSERT_FALSE(ping.empty());

    peers[0]->Write(rawmsg::Pong(ping, kServerC, nodePort));
    ASSERT_TRUE(Settle(*peers[0]));
    EXPECT_EQ(CountLog("receive pong message " + Who(*peers[0]) + " MSGID=" + ping), 1u);
    EXPECT_EQ(CountLog("connect new servent"), 0u);
    EXPECT_TRUE(discovered.peers.empty());

    // An established neighbour leaving brings a fresh ping; its pong connects.
    peers[3]->Close();
    const std::string fresh = OwnPingId(*peers[0]);
    ASSERT_FALSE(fresh.empty());
    EXPECT_NE(fresh, ping);
    peers[0]->Write(rawmsg::Pong(fresh, kServerC, nodePort));
    EXPECT_TRUE(discovered.WaitForPeers(1));
}

TEST_F(PongRoutingTest, RelayedPongGoesBackToTheOriginWithTtlAndHopsStepped) {
    StartNode(16515);
    auto origin = Joined(kPeerA);
    auto answerer = Joined(kPeerB);
    const std::string ping = rawmsg::NewId();
    origin->Write(rawmsg::Ping(ping));

    const auto ownPong = origin->TakeMessage();
    ASSERT_TRUE(ownPong);
    const CPongMessage answer = rawmsg::DecodePong(*ownPong);
    EXPECT_EQ(answer.Header().GetMessageIdText(), ping);
    EXPECT_EQ(answer.Header().GetTtl(), 5);
    EXPECT_EQ(answer.Header().GetHops(), 0);
    EXPECT_EQ(answer.GetAddress().GetText(), kNode);
    EXPECT_EQ(answer.GetPort(), nodePort);
    const auto relayedPing = answerer->TakeMessage();
    ASSERT_TRUE(relayedPing);
    EXPECT_EQ(rawmsg::Decode(*relayedPing).GetTtl(), 4);
    EXPECT_EQ(rawmsg::Decode(*relayedPing).GetHops(), 1);

    answerer->Write(rawmsg::Pong(ping, "127.0.0.99", 7000));
    const auto routed = origin->TakeMessage();
    ASSERT_TRUE(routed);
    const CPongMessage back = rawmsg::DecodePong(*routed);
    EXPECT_EQ(back.Header().GetMessageIdText(), ping);
    EXPECT_EQ(back.Header().GetTtl(), 4);
    EXPECT_EQ(back.Header().GetHops(), 1);
    EXPECT_EQ(back.GetAddress().GetText(), "127.0.0.99");
    EXPECT_EQ(back.GetPort(), 7000);
    EXPECT_TRUE(node->LogHas("relay pong message " + Who(*origin) + " MSGID=" + ping +
                             " LIVE=127.0.0.99 7000\n"));

    // A pong at its last TTL is handled but goes no further.
    answerer->Write(rawmsg::Pong(ping, "127.0.0.98", 7000, 1, 0));
    ASSERT_TRUE(Settle(*answerer));
    ASSERT_TRUE(Settle(*origin));
    EXPECT_EQ(CountLog("LIVE=127.0.0.98"), 1u); // the receive line only
    EXPECT_EQ(CountLog("connect new servent"), 0u);
}

TEST_F(PongRoutingTest, PingAtLastTtlOrHopsIsAnsweredButNotRelayed) {
    StartNode(16516);
    auto sender = Joined(kPeerA);
    auto neighbour = Joined(kPeerB);
    const std::string lastTtl = rawmsg::NewId(), lastHop = rawmsg::NewId();
    const std::string withPayload = rawmsg::NewId();
    sender->Write(rawmsg::Ping(lastTtl, 1, 0));
    sender->Write(rawmsg::Ping(lastHop, 9, 7));
    sender->Write(rawmsg::Ping(withPayload, 5, 0, 3));
    for (const std::string& id : {lastTtl, lastHop, withPayload}) {
        const auto pong = sender->TakeMessage();
        ASSERT_TRUE(pong);
        EXPECT_EQ(rawmsg::Decode(*pong).GetMessageIdText(), id);
    }
    // Only the third is relayed, whole, so the stream stays aligned.
    const auto relayed = neighbour->TakeMessage();
    ASSERT_TRUE(relayed);
    EXPECT_EQ(rawmsg::Decode(*relayed).GetMessageIdText(), withPayload);
    EXPECT_EQ(relayed->size(), 26u);
    ASSERT_TRUE(Settle(*neighbour));
    EXPECT_EQ(CountLog("relay ping message"), 2u); // withPayload and the marker
    EXPECT_EQ(CountLog("send pong message"), 4u);
}
