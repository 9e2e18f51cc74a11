// CServentSocket against raw peers: the handshake bytes in both directions,
// the own address learnt from "Reflect:", framing over split and merged
// chunks, the dispatcher's drop / close table, and the bounds that keep a
// hostile or stalled peer from hurting the node.
#include "ServentFixture.h"

#include "protocol/MessageHistory.h"
#include "protocol/wire/LogText.h"
#include "transfer/BlockingSocket.h"

#include <QHostInfo>
#include <QNetworkProxy>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using ServentSocketTest = ServentFixture;

TEST_F(ServentSocketTest, AcceptedHandshakeAnswersOkWithReflectAndSendsNoPing) {
    StartNode(16501);
    RawPeer peer(kPeerA);
    ASSERT_TRUE(peer.Connect(kNode, nodePort));
    peer.Write("PELMAR CONNECT/0.1\r\n");
    peer.Write("Reflect: 127.0.0.120\r\n\r\n");
    ASSERT_TRUE(peer.WaitForBytes(OkBlock(kPeerA).size()));
    RunEventsFor(300); // the answering side sends no ping after the block
    EXPECT_EQ(peer.Received(), "PELMAR OK\r\nReflect: 127.0.0.125\r\n\r\n");

    CConnection* connection = ConnectionOf(peer);
    ASSERT_NE(connection, nullptr);
    EXPECT_TRUE(connection->IsEstablished());
    EXPECT_FALSE(connection->IsClosed());
    EXPECT_EQ(node->doc->CountEstablished(), 1);
    EXPECT_EQ(node->ui.neighbours[0], kPeerA);
    EXPECT_TRUE(node->LogHas("receive PELMAR CONNECT/0.1 " + Who(peer) + "\n"));
    EXPECT_TRUE(node->LogHas("send PELMAR OK " + Who(peer) + "\n"));
    EXPECT_TRUE(node->LogHas("Reflect My IPaddress 127.0.0.120\n"));
    EXPECT_EQ(CountLog("ping message"), 0u);
}

TEST_F(ServentSocketTest, OpenedHandshakeSendsConnectAndPingsOnceOkArrives) {
    StartNode(16502);
    TestListener listener(kServerA, nodePort);
    ASSERT_TRUE(listener.listening);
    node->doc->ConnectToEntry(std::string(kServerA) + ":16502");
    ASSERT_TRUE(listener.WaitForPeers(1));
    RawPeer& peer = *listener.peers[0];
    const std::string opening = "PELMAR CONNECT/0.1\r\nReflect: 127.0.0.121\r\n\r\n";
    ASSERT_TRUE(peer.WaitForBytes(opening.size()));
    EXPECT_EQ(peer.Take(opening.size()), opening);
    EXPECT_TRUE(node->LogHas("connect entrypoint 127.0.0.121 16502\n"));
    EXPECT_TRUE(node->LogHas("send PELMAR CONNECT/0.1 127.0.0.121 16502\n"));
    CConnection* connection = ConnectionOf(kServerA, nodePort);
    ASSERT_NE(connection, nullptr);
    EXPECT_FALSE(connection->IsEstablished());

    peer.Write("PELMAR OK\r\nReflect: 127.0.0.120\r\n\r\n");
    const auto ping = peer.TakeMessage();
    ASSERT_TRUE(ping);
    const CMessageHeader header = rawmsg::Decode(*ping);
    EXPECT_EQ(ping->size(), 23u);
    EXPECT_EQ(header.GetType(), CMessageHeader::kTypePing);
    EXPECT_EQ(header.GetTtl(), 5);
    EXPECT_EQ(header.GetHops(), 0);
    EXPECT_TRUE(connection->IsEstablished());
    EXPECT_TRUE(node->LogHas("receive PELMAR OK 127.0.0.121 16502\n"));
    EXPECT_TRUE(node->LogHas(PingLogText(EWireEvent::Send, kServerA, 16502, header) + "\n"));
    CRouteEntry route;
    ASSERT_TRUE(node->doc->History().Lookup(header.GetMessageIdText(), route));
    EXPECT_TRUE(route.originatedHere);
    EXPECT_EQ(route.originSerial, connection->Serial());
    EXPECT_EQ(CountLog("send PELMAR OK"), 0u);
}

TEST_F(ServentSocketTest, OutgoingConnectionGoesDirectWhateverTheApplicationProxy) {
    // Qt never proxies a loopback address or "localhost", in whatever case;
    // the machine's own name, which /etc/hosts maps to loopback, it does.
    const std::string name = QHostInfo::localHostName().toStdString();
    std::string address;
    if (!CBlockingSocket::ResolveHost(name, address) || address.rfind("127.", 0) != 0)
        GTEST_SKIP() << "the host name " << name << " is not a loopback name";
    StartNode(16519);
    TestListener peerSide(address, nodePort);
    TestListener fakeProxy(kServerB, nodePort);
    ASSERT_TRUE(peerSide.listening && fakeProxy.listening);
    const QNetworkProxy saved = QNetworkProxy::applicationProxy();
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, kServerB, static_cast<quint16>(nodePort)));
    // As a node started without --address connects (a bound socket happens
    // to skip the proxy).
    auto* opened = new CServentSocket(node->doc->Overlay());
    node->doc->AppendConnection(opened);
    opened->Connect(name, static_cast<std::uint16_t>(nodePort), "");
    // The proxy is taken when the connect starts; the test's own sockets
    // connect without it.
    QNetworkProxy::setApplicationProxy(saved);

    ASSERT_TRUE(peerSide.WaitForPeers(1));
    EXPECT_TRUE(peerSide.peers[0]->WaitForText(ConnectBlock(address)));
    RunEventsFor(200);
    EXPECT_TRUE(fakeProxy.peers.empty());
}

TEST_F(ServentSocketTest, HeaderBlockWithoutReflectStillCompletes) {
    StartNode(16503);
    RawPeer peer(kPeerA);
    ASSERT_TRUE(peer.Connect(kNode, nodePort));
    peer.Write("PELMAR CONNECT/0.1\r\n\r\n");
    ASSERT_TRUE(peer.WaitForText(OkBlock(kPeerA)));
    EXPECT_TRUE(ConnectionOf(peer)->IsEstablished());
    EXPECT_EQ(CountLog("Reflect My IPaddress"), 0u);
}

TEST_F(ServentSocketTest, ReflectReplacesOnlyAPrivateOwnAddressAndLogsEitherWay) {
    StartNode(16504);
    node->doc->OwnAddress().SetText("192.168.0.9");
    RawPeer first(kPeerA);
    ASSERT_TRUE(first.Connect(kNode, nodePort));
    first.Write("PELMAR CONNECT/0.1\r\nReflect:  203.0.113.7\r\n\r\n");
    ASSERT_TRUE(first.WaitForText(OkBlock(kPeerA)));
    EXPECT_EQ(node->doc->OwnAddress().GetText(), "203.0.113.7");

    // Now public: another peer's opinion changes nothing, but is logged.
    RawPeer second(kPeerB);
    ASSERT_TRUE(second.Connect(kNode, nodePort));
    second.Write("PELMAR CONNECT/0.1\r\nReflect: 198.51.100.1\r\n\r\n");
    ASSERT_TRUE(second.WaitForText(OkBlock(kPeerB)));
    EXPECT_EQ(node->doc->OwnAddress().GetText(), "203.0.113.7");
    EXPECT_EQ(CountLog("Reflect My IPaddress 203.0.113.7\n"), 2u);
    EXPECT_FALSE(node->LogHas("198.51.100.1"));

    // Pongs advertise the learnt address.
    second.Take(second.Received().size());
    second.Write(rawmsg::Ping(rawmsg::NewId()));
    const auto pong = second.TakeMessage();
    ASSERT_TRUE(pong);
    EXPECT_EQ(rawmsg::DecodePong(*pong).GetAddress().GetText(), "203.0.113.7");
    EXPECT_EQ(rawmsg::DecodePong(*pong).GetPort(), nodePort);
}

TEST_F(ServentSocketTest, OkOnAcceptedConnectionEstablishesWithoutReplyAndPings) {
    StartNode(16505);
    RawPeer peer(kPeerA);
    ASSERT_TRUE(peer.Connect(kNode, nodePort));
    peer.Write("PELMAR OK\r\n\r\n");
    const auto ping = peer.TakeMessage();
    ASSERT_TRUE(ping);
    EXPECT_EQ(rawmsg::Decode(*ping).GetType(), CMessageHeader::kTypePing);
    EXPECT_EQ(ping->size(), 23u); // nothing came before it: no "PELMAR OK" answer
    EXPECT_TRUE(ConnectionOf(peer)->IsEstablished());
    EXPECT_TRUE(node->LogHas("receive PELMAR OK " + Who(peer) + "\n"));
    EXPECT_EQ(CountLog("send PELMAR OK"), 0u);
}

TEST_F(ServentSocketTest, LowerCaseHandshakeIsIgnoredAndVersionOneIsRefused) {
    StartNode(16506);
    RawPeer peer(kPeerA);
    ASSERT_TRUE(peer.Connect(kNode, nodePort));
    peer.Write("pelmar connect/0.1\r\n\r\n");
    RunEventsFor(300);
    CConnection* connection = ConnectionOf(peer);
    ASSERT_NE(connection, nullptr);
    EXPECT_TRUE(peer.Received().empty());
    EXPECT_FALSE(connection->IsEstablished());
    EXPECT_FALSE(connection->IsClosed());
    EXPECT_FALSE(peer.IsClosed());

    peer.Write("PELMAR CONNECT/1.0\r\n");
    EXPECT_TRUE(peer.WaitClosed());
    EXPECT_TRUE(peer.Received().empty());
    EXPECT_TRUE(connection->IsClosed());
    EXPECT_FALSE(connection->IsEstablished());
}

TEST_F(ServentSocketTest, MessagesAreFramedAcrossSplitAndMergedChunks) {
    StartNode(16507);
    auto peer = Joined(kPeerA);
    auto pongId = [&] {
        const auto message = peer->TakeMessage();
        return message ? rawmsg::Decode(*message).GetMessageIdText() : std::string("none");
    };

    // Two messages in one write: both, in order.
    const std::string first = rawmsg::NewId(), second = rawmsg::NewId();
    peer->Write(rawmsg::Ping(first) + rawmsg::Ping(second));
    EXPECT_EQ(pongId(), first);
    EXPECT_EQ(pongId(), second);
    const std::string log = node->Log();
    EXPECT_LT(log.find("MSGID=" + first), log.find("MSGID=" + second));

    // One message over three writes; a payload-less one is whole at byte 23.
    const std::string split = rawmsg::NewId();
    const std::string bytes = rawmsg::Ping(split);
    peer->Write(bytes.substr(0, 10));
    RunEventsFor(100);
    peer->Write(bytes.substr(10, 12));
    RunEventsFor(200);
    EXPECT_TRUE(peer->Received().empty());
    peer->Write(bytes.substr(22));
    EXPECT_EQ(pongId(), split);

    // A payload completes the message only with its last byte.
    const std::string withPayload = rawmsg::NewId();
    const std::string payloadBytes = rawmsg::Ping(withPayload, 5, 0, 5);
    peer->Write(payloadBytes.substr(0, 27));
    RunEventsFor(200);
    EXPECT_TRUE(peer->Received().empty());
    peer->Write(payloadBytes.substr(27));
    EXPECT_EQ(pongId(), withPayload);

    // A message in the same chunk as the blank line ending the handshake.
    RawPeer eager(kPeerB);
    ASSERT_TRUE(eager.Connect(kNode, nodePort));
    const std::string early = rawmsg::NewId();
    eager.Write(ConnectBlock(kNode) + rawmsg::Ping(early));
    const std::string ok = OkBlock(kPeerB);
    ASSERT_TRUE(eager.WaitForBytes(ok.size()));
    EXPECT_EQ(eager.Take(ok.size()), ok);
    const auto pong = eager.TakeMessage();
    ASSERT_TRUE(pong);
    EXPECT_EQ(rawmsg::Decode(*pong).GetMessageIdText(), early);
}

TEST_F(ServentSocketTest, DispatcherDropsRepeatsAndClosesOnOutOfStepMessages) {
    StartNode(16508);
    auto peer = Joined(kPeerA);
    // A marker ping answered proves that everything sent before it was read.
    auto nextPongIs = [](RawPeer& on, const std::string& id) {
        const auto message = on.TakeMessage();
        return message && rawmsg::Decode(*message).GetMessageIdText() == id;
    };

    const std::string seen = rawmsg::NewId();
    peer->Write(rawmsg::Ping(seen));
    ASSERT_TRUE(nextPongIs(*peer, seen));
    // A second copy, a reserved 0x40 and an unknown type with a known id: dropped.
    const std::string reserved = rawmsg::NewId();
    peer->Write(rawmsg::Ping(seen));
    peer->Write(rawmsg::Header(reserved, 0x40, 5, 0, 0).Encode());
    peer->Write(rawmsg::Header(seen, 0x33, 5, 0, 0).Encode());
    const std::string marker = rawmsg::NewId();
    peer->Write(rawmsg::Ping(marker));
    EXPECT_TRUE(nextPongIs(*peer, marker));
    EXPECT_EQ(CountLog("receive ping message " + Who(*peer) + " MSGID=" + seen + "\n"), 1u);
    EXPECT_EQ(CountLog(reserved), 0u);
    CConnection* connection = ConnectionOf(*peer);
    ASSERT_NE(connection, nullptr);
    EXPECT_FALSE(connection->IsClosed());

    // An unknown type never seen: the peer is out of step.
    peer->Write(rawmsg::Header(rawmsg::NewId(), 0x33, 5, 0, 0).Encode());
    EXPECT_TRUE(peer->WaitClosed());
    EXPECT_TRUE(connection->IsClosed());

    // So are a pong and a queryhit answering nothing this node knows.
    auto pongPeer = Joined(kPeerB);
    CConnection* pongConnection = ConnectionOf(*pongPeer);
    ASSERT_NE(pongConnection, nullptr);
    pongPeer->Write(rawmsg::Pong(rawmsg::NewId(), "127.0.0.1", 6340));
    EXPECT_TRUE(pongPeer->WaitClosed());
    EXPECT_TRUE(pongConnection->IsClosed());
    auto hitPeer = Joined(kPeerC);
    hitPeer->Write(
        rawmsg::Header(rawmsg::NewId(), CMessageHeader::kTypeQueryHit, 5, 0, 0).Encode());
    EXPECT_TRUE(hitPeer->WaitClosed());
    EXPECT_EQ(node->doc->CountEstablished(), 0);
}

TEST_F(ServentSocketTest, OversizedPayloadOrOverlongLineCloses) {
    StartNode(16509);
    // The largest payload allowed is answered; one byte more closes.
    auto fits = Joined(kPeerA);
    const std::string largest = rawmsg::NewId();
    fits->Write(rawmsg::Ping(largest, 5, 0, 262144));
    const auto pong = fits->TakeMessage(10000);
    ASSERT_TRUE(pong);
    EXPECT_EQ(rawmsg::Decode(*pong).GetMessageIdText(), largest);
    auto tooBig = Joined(kPeerB);
    CConnection* tooBigConnection = ConnectionOf(*tooBig);
    ASSERT_NE(tooBigConnection, nullptr);
    tooBig->Write(
        rawmsg::Header(rawmsg::NewId(), CMessageHeader::kTypePing, 5, 0, 262145).Encode());
    EXPECT_TRUE(tooBig->WaitClosed());
    EXPECT_TRUE(tooBigConnection->IsClosed());

    // A line of 8,192 bytes is read (and ignored); one of 8,193 closes.
    RawPeer longLine(kPeerC);
    ASSERT_TRUE(longLine.Connect(kNode, nodePort));
    longLine.Write(std::string(8192, 'a') + "\r\n" + ConnectBlock(kNode));
    EXPECT_TRUE(longLine.WaitForText(OkBlock(kPeerC)));
    RawPeer tooLong(kPeerD);
    ASSERT_TRUE(tooLong.Connect(kNode, nodePort));
    tooLong.Write(std::string(8193, 'b'));
    EXPECT_TRUE(tooLong.WaitClosed());
    EXPECT_TRUE(tooLong.Received().empty());
    EXPECT_FALSE(longLine.IsClosed());
}

TEST_F(ServentSocketTest, PeerThatStopsReadingIsClosedWhileOthersAreServed) {
    StartNode(16510);
    auto talker = Joined(kPeerA);

    // The stalled peer: a tiny receive window, and it never reads after the handshake.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    const int window = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
    sockaddr_in local{}, remote{};
    local.sin_family = remote.sin_family = AF_INET;
    ::inet_pton(AF_INET, kPeerB, &local.sin_addr);
    ::inet_pton(AF_INET, kNode, &remote.sin_addr);
    remote.sin_port = htons(static_cast<std::uint16_t>(nodePort));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote), 0);
    const std::string opening = ConnectBlock(kNode);
    ASSERT_EQ(::send(fd, opening.data(), opening.size(), 0), static_cast<ssize_t>(opening.size()));
    std::string answer;
    ASSERT_TRUE(WaitUntil([&] {
        char buffer[256];
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0)
            answer.append(buffer, static_cast<std::size_t>(got));
        return answer.size() >= OkBlock(kPeerB).size();
    }));
    CConnection* stalled = nullptr;
    for (CConnection* connection : node->doc->GetConnections())
        if (connection->GetPeerAddress() == kPeerB)
            stalled = connection;
    ASSERT_NE(stalled, nullptr);
    ASSERT_TRUE(stalled->IsEstablished());

    // Big pings from the talker are relayed to the stalled peer until its
    // queue passes the bound; the talker keeps getting its pongs.
    const int pings = 48; // 12 MiB: more than kernel buffers and the bound together
    static_assert(48LL * 262144 > 2 * CServentSocket::kMaxQueuedBytes);
    for (int i = 0; i < pings; ++i)
        talker->Write(rawmsg::Ping(rawmsg::NewId(), 5, 0, 262144));
    EXPECT_TRUE(WaitUntil([&] { return stalled->IsClosed(); }, 20000));
    const std::string marker = rawmsg::NewId();
    talker->Write(rawmsg::Ping(marker));
    bool answered = false;
    for (int i = 0; i <= pings && !answered; ++i) {
        const auto message = talker->TakeMessage(10000);
        if (!message)
            break;
        answered = rawmsg::Decode(*message).GetMessageIdText() == marker;
    }
    EXPECT_TRUE(answered);
    EXPECT_FALSE(ConnectionOf(*talker)->IsClosed());
    ::close(fd);
}

TEST_F(ServentSocketTest, ConnectionWithoutHandshakeOrRequestIsClosedWhenIdle) {
    CServentSocket::SetIdleTimeoutMs(500);
    StartNode(16511);
    RawPeer client(kPeerC);
    ASSERT_TRUE(client.Connect(kNode, nodePort));
    client.Write("GET /nothing HTTP/1.0\r\n");
    RawPeer chatty(kPeerB); // lines, but none that counts
    ASSERT_TRUE(chatty.Connect(kNode, nodePort));
    chatty.Write("hello there\r\n");
    auto servent = Joined(kPeerD);
    // Accepted last, so no later sweep takes its connection away.
    RawPeer silent(kPeerA);
    ASSERT_TRUE(silent.Connect(kNode, nodePort));
    CConnection* silentConnection = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (silentConnection = ConnectionOf(silent)) != nullptr; }));

    EXPECT_TRUE(silent.WaitClosed(5000));
    EXPECT_TRUE(chatty.WaitClosed(5000));
    RunEventsFor(500);
    EXPECT_FALSE(client.IsClosed());
    EXPECT_FALSE(servent->IsClosed());
    EXPECT_TRUE(silentConnection->IsClosed());
    EXPECT_FALSE(ConnectionOf(client)->IsClosed());
    EXPECT_TRUE(ConnectionOf(*servent)->IsEstablished());
}

TEST_F(ServentSocketTest, OwnMessagesWaitForTheHandshakeAndSkipTransferClients) {
    StartNode(16538);
    RawPeer servent(kPeerA);
    RawPeer client(kPeerB);
    ASSERT_TRUE(servent.Connect(kNode, nodePort));
    ASSERT_TRUE(client.Connect(kNode, nodePort));
    client.Write("GET /get_thread/?threadid=0123456789abcdef0123456789abcdef HTTP/1.0\r\n");
    ASSERT_TRUE(WaitUntil([&] { return ConnectionOf(servent) && ConnectionOf(client); }));
    RunEventsFor(100);

    // Sent to both connections that are not closed, yet neither sees binary
    // bytes before its text exchange is over.
    node->doc->SendPing();
    EXPECT_EQ(CountLog("send ping message"), 2u);
    RunEventsFor(200);
    EXPECT_FALSE(servent.WaitForBytes(1, 100));
    client.Write("\r\n");
    ASSERT_TRUE(client.WaitForText("HTTP/1.0 404 Not Found\r\n\r\n"));

    servent.Write("PELMAR CONNECT/0.1\r\n\r\n");
    const std::string answer = "PELMAR OK\r\nReflect: 127.0.0.125\r\n\r\n";
    ASSERT_TRUE(servent.WaitForBytes(answer.size()));
    EXPECT_EQ(servent.Take(answer.size()), answer);
    const auto ping = servent.TakeMessage();
    ASSERT_TRUE(ping);
    EXPECT_EQ(rawmsg::Decode(*ping).GetType(), CMessageHeader::kTypePing);
    RunEventsFor(100);
    EXPECT_EQ(client.Take(1000), "HTTP/1.0 404 Not Found\r\n\r\n");
}
