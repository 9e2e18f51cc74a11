// COverlay without sockets: the real handlers over connections that only
// record what they are given, as an overlay simulator drives them. The send
// loops, the route back and the joining rule.
#include "protocol/Overlay.h"
#include "protocol/Connection.h"
#include "protocol/ServentHost.h"
#include "protocol/ServentTransport.h"
#include "support/RawPeer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class CRecordingConnection : public CConnection {
public:
    CRecordingConnection(std::string address, bool established, bool closed = false)
        : address(std::move(address)), established(established), closed(closed) {}
    bool IsEstablished() const override { return established; }
    bool IsClosed() const override { return closed; }
    bool IsConnecting() const override { return false; }
    bool IsHeld() const override { return established && !closed; }
    const std::string& GetPeerAddress() const override { return address; }
    std::uint16_t GetPeerPort() const override { return 6340; }
    void Send(std::string_view bytes) override { sent.emplace_back(bytes); }
    void SendMessage(std::string_view bytes) override { sent.emplace_back(bytes); }
    void CloseConnection() override { closed = true; }

    std::string address;
    bool established;
    bool closed;
    std::vector<std::string> sent;
};

class CQuietHost : public IServentHost {
public:
    const CIPv4Address& OwnAddress() const override { return own; }
    std::uint16_t GetListenPort() const override { return 6340; }
    const std::string& GetServentId() const override { return id; }
    void LearnReflectedAddress(const std::string&) override {}
    const std::string& GetThreadDir() const override { return root; }
    void ConnectionStateChanged() override {}
    void ConnectFailed(const std::string&, std::uint16_t) override {}
    void HolderHeard(const std::string&, const CIPv4Address&, std::uint16_t,
                     std::uint16_t) override {}
    void ThreadHeard(const CThreadSummary&) override {}
    void ThreadAnnounced(const CThreadSummary&) override {}
    std::uint32_t Now() const override { return 0; }
    unsigned Random() override { return 0; }
    CBinaryId NewMessageId() override { return CBinaryId::FromText(rawmsg::NewId()); }
    void WriteLog(std::string_view) override {}
    bool IsLogging() const override { return false; }

    CIPv4Address own;
    std::string id = rawmsg::NewId();
    std::string root = "/nonexistent/";
};

class CNoTransport : public IServentTransport {
public:
    CConnection* Open(COverlay&, const std::string& host, std::uint16_t) override {
        return new CRecordingConnection(host, false, true);
    }
};

class OverlayTest : public ::testing::Test {
protected:
    CRecordingConnection& Add(const std::string& address, bool established, bool closed = false) {
        auto* connection = new CRecordingConnection(address, established, closed);
        overlay.Append(connection);
        return *connection;
    }
    void Receive(CRecordingConnection& from, const std::string& message) {
        overlay.Dispatch(from, reinterpret_cast<const std::uint8_t*>(message.data()),
                         message.size());
    }

    CQuietHost host;
    CNoTransport transport;
    COverlay overlay{host, transport};
};

} // namespace

TEST_F(OverlayTest, PingIsAnsweredAndFloodedToEveryOtherEstablishedNeighbourOnce) {
    CRecordingConnection& from = Add("10.0.0.1", true);
    CRecordingConnection& other = Add("10.0.0.2", true);
    CRecordingConnection& closed = Add("10.0.0.3", true, true);
    CRecordingConnection& joining = Add("10.0.0.4", false);
    const std::string ping = rawmsg::Ping(rawmsg::NewId(), 5, 0);
    Receive(from, ping);
    Receive(other, ping); // the same id again: dropped

    ASSERT_EQ(from.sent.size(), 1u);
    EXPECT_EQ(rawmsg::Decode(from.sent[0]).GetType(), CMessageHeader::kTypePong);
    ASSERT_EQ(other.sent.size(), 1u);
    EXPECT_EQ(rawmsg::Decode(other.sent[0]).GetTtl(), 4);
    EXPECT_EQ(rawmsg::Decode(other.sent[0]).GetHops(), 1);
    EXPECT_TRUE(closed.sent.empty());
    EXPECT_TRUE(joining.sent.empty());
}

TEST_F(OverlayTest, PongGoesBackOnlyToAStillEstablishedConnectionOfItsPing) {
    struct Case {
        bool established;
        bool closed;
        bool routed;
    };
    for (const Case c :
         {Case{true, false, true}, Case{false, false, false}, Case{true, true, false}}) {
        CRecordingConnection& origin = Add("10.0.1.1", true);
        CRecordingConnection& next = Add("10.0.1.2", true);
        const std::string id = rawmsg::NewId();
        Receive(origin, rawmsg::Ping(id, 5, 0));
        origin.sent.clear();
        origin.established = c.established;
        origin.closed = c.closed;
        Receive(next, rawmsg::Pong(id, "10.0.9.9", 6340, 5, 0));
        EXPECT_EQ(origin.sent.size(), c.routed ? 1u : 0u) << c.established << c.closed;
    }
}

TEST_F(OverlayTest, OpeningSideAsksForMoreNeighboursOnlyBelowFour) {
    std::vector<CRecordingConnection*> connections;
    for (int i = 0; i < 4; ++i)
        connections.push_back(&Add("10.0.2." + std::to_string(i + 1), true));
    overlay.Established(*connections[3], true); // four established: enough
    EXPECT_TRUE(connections[0]->sent.empty());

    connections[3]->closed = true;
    overlay.Lost(*connections[3], true); // three left: a ping to each
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(connections[i]->sent.size(), 1u);
        EXPECT_EQ(rawmsg::Decode(connections[i]->sent[0]).GetType(), CMessageHeader::kTypePing);
    }
    overlay.Established(*connections[0], false); // the answering side never asks
    EXPECT_EQ(connections[0]->sent.size(), 1u);
}

TEST_F(OverlayTest, OwnMessageOnManyConnectionsKeepsTheHistory) {
    // More neighbours than the history holds ids.
    std::vector<CRecordingConnection*> connections;
    for (int i = 0; i < 1100; ++i)
        connections.push_back(&Add("10.1." + std::to_string(i / 250) + "." +
                                       std::to_string(i % 250 + 1),
                                   true));
    const std::string ping = rawmsg::Ping(rawmsg::NewId(), 5, 0);
    Receive(*connections[0], ping);
    overlay.SendPing();
    for (CRecordingConnection* connection : connections)
        connection->sent.clear();

    Receive(*connections[1], ping); // still known: dropped, not answered or flooded
    EXPECT_TRUE(connections[1]->sent.empty());
    EXPECT_TRUE(connections[2]->sent.empty());
}
