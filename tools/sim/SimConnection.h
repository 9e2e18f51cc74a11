// CSimConnection: one neighbour of a simulated node, carried by a link of the
// memory transport instead of a TCP socket. It reports to its node's real
// overlay as the TCP connection does (connected and established at once when
// the connect is answered; lost when the peer closes). Simulator thread.
#pragma once

#include "MemoryTransport.h"

#include "protocol/Connection.h"

#include <string>

class CSimNode;

class CSimConnection : public CConnection {
public:
    // An outgoing connection starts connecting (closed until answered); an
    // accepted one is established at once.
    CSimConnection(CSimNode& node, LinkId link, std::string peerAddress, bool outgoing);
    ~CSimConnection() override;

    LinkId Link() const { return m_link; }
    bool IsEstablished() const override { return m_established; }
    bool IsClosed() const override { return m_closed; }
    bool IsConnecting() const override { return m_connecting; }
    bool IsHeld() const override {
        return m_established ? !m_closed : m_outgoing && (!m_closed || m_connecting);
    }
    const std::string& GetPeerAddress() const override { return m_peerAddress; }
    std::uint16_t GetPeerPort() const override;

    void Send(std::string_view bytes) override;
    void SendMessage(std::string_view bytes) override { Send(bytes); }
    void CloseConnection() override;

    // What the transport tells the node about this link.
    void MarkAnswered();
    void MarkFailed() { m_connecting = false; }
    // The peer closed; returns whether the connection was established.
    bool MarkLost();

private:
    CSimNode& m_node;
    LinkId m_link;
    std::string m_peerAddress;
    bool m_established = false;
    bool m_closed = false;
    bool m_connecting = false;
    bool m_outgoing = false;
};
