// ServentFixture: one in-process node on 127.0.0.120 with raw test peers
// around it, for the connection-level tests. Each test gives the node its own
// port, so tests of this program can run side by side.
#pragma once

#include "protocol/Connection.h"
#include "protocol/ServentSocket.h"
#include "support/InProcessNode.h"
#include "support/RawPeer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

class ServentFixture : public ::testing::Test {
protected:
    static constexpr const char* kNode = "127.0.0.120";
    // Addresses the test listens on (outgoing connections of the node).
    static constexpr const char* kServerA = "127.0.0.121";
    static constexpr const char* kServerB = "127.0.0.122";
    static constexpr const char* kServerC = "127.0.0.123";
    // Addresses the raw peers connect from.
    static constexpr const char* kPeerA = "127.0.0.125";
    static constexpr const char* kPeerB = "127.0.0.126";
    static constexpr const char* kPeerC = "127.0.0.127";
    static constexpr const char* kPeerD = "127.0.0.128";

    void TearDown() override {
        node.reset();
        CServentSocket::SetIdleTimeoutMs(CServentSocket::kIdleTimeoutMs);
    }

    void StartNode(int port) {
        nodePort = port;
        node = std::make_unique<InProcessNode>(kNode, port);
        ASSERT_TRUE(node->Start());
    }

    // A peer that has completed the handshake with the node as opening side.
    std::unique_ptr<RawPeer> Joined(const char* from) {
        auto peer = std::make_unique<RawPeer>(from);
        EXPECT_TRUE(JoinNode(*peer, kNode, nodePort));
        return peer;
    }

    // The node's connection to a raw peer (found by the peer's address and port).
    CConnection* ConnectionOf(const std::string& address, int port) const {
        for (CConnection* connection : node->doc->GetConnections())
            if (connection->GetPeerAddress() == address && connection->GetPeerPort() == port)
                return connection;
        return nullptr;
    }
    CConnection* ConnectionOf(const RawPeer& peer) const {
        return ConnectionOf(peer.LocalAddress(), peer.LocalPort());
    }

    std::size_t CountLog(const std::string& text) const {
        const std::string log = node->Log();
        std::size_t count = 0;
        for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++count;
        return count;
    }
    // Sends a marker ping and takes messages until its pong: everything the
    // peer sent before has been handled.
    static bool Settle(RawPeer& peer) {
        const std::string marker = rawmsg::NewId();
        peer.Write(rawmsg::Ping(marker));
        for (int i = 0; i < 8; ++i) {
            const auto message = peer.TakeMessage();
            if (!message)
                return false;
            const CMessageHeader header = rawmsg::Decode(*message);
            if (header.GetType() == CMessageHeader::kTypePong &&
                header.GetMessageIdText() == marker)
                return true;
        }
        return false;
    }
    static std::string Who(const RawPeer& peer) {
        return peer.LocalAddress() + " " + std::to_string(peer.LocalPort());
    }

    std::unique_ptr<InProcessNode> node;
    int nodePort = 0;
};
