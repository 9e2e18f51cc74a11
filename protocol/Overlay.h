// COverlay: one node's place in the overlay. It owns the node's connections
// (with the sweep of closed ones), the message history, the joining rule
// (fewer than four established connections: ping for more) and the two
// ways a received message goes on: Flood, to every established neighbour but
// the one it came from, and RouteBack, a reply one step back along its
// request's path.
//
// It reaches the node only through IServentHost (identity, time, randomness,
// log, what the handlers learn) and opens connections only through
// IServentTransport, and it keeps no global state. So the same object, with
// the real handlers, runs in the node over TCP (CServentSocket, CTcpTransport)
// and in a simulator that runs many nodes in one process over a memory
// transport with a virtual clock. A simulated connection implements
// CConnection and reports to its overlay as CServentSocket does:
//   Connected        an outgoing connect completed (handshake not yet through)
//   ConnectFailed    an outgoing connect failed
//   Established      the handshake is through; outgoing: this side opened it
//   Dispatch         one whole overlay message arrived
//   Lost             the peer closed or the connection broke
//   StateChanged     this side closed it
// and an accepted connection is handed to Accepted.
//
// Thread of the overlay only (the GUI thread in the node).
#pragma once

#include "protocol/MessageHistory.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CConnection;
class IServentHost;
class IServentTransport;

class COverlay {
public:
    // A node asks for more neighbours while it has fewer established ones.
    static constexpr int kTargetConnections = 4;

    COverlay(IServentHost& host, IServentTransport& transport);
    // Deletes every connection still in the list.
    ~COverlay();
    COverlay(const COverlay&) = delete;
    COverlay& operator=(const COverlay&) = delete;

    IServentHost& Host() { return m_host; }
    CMessageHistory& History() { return m_history; }

    // The list owns its connections; closed ones stay until the sweep that
    // runs on every accepted connection.
    const std::vector<CConnection*>& Connections() const { return m_connections; }
    // Takes a connection into the list and gives it its serial number.
    CConnection* Append(CConnection* connection);
    // Opens an outgoing connection through the transport and appends it.
    CConnection* Open(const std::string& host, std::uint16_t port);
    // The connection with this serial number if it is still in the list.
    CConnection* Find(std::uint64_t serial) const;
    void Sweep();
    int CountEstablished() const;
    // Established ones and those this node opened that are not through yet.
    int CountHeld() const;
    // This node itself, or a peer already in the list at that address and port.
    bool IsKnownPeer(const std::string& host, std::uint16_t port) const;

    // Sends a received request on to every established connection but the
    // one it came from; returns those it went to, in list order.
    std::vector<CConnection*> Flood(std::string_view bytes, const CConnection* from);
    // Sends a reply to the connection its request came from, when that one is
    // still established; returns it, or null when the reply is dropped.
    CConnection* RouteBack(const CRouteEntry& route, std::string_view bytes);
    // Sends a message this node made to every connection that is not closed,
    // logging one line each, and records its id once as originated here,
    // with the last of them.
    void Originate(std::string_view bytes, const std::string& messageId,
                   const std::function<std::string(const CConnection&)>& logLine);
    // A ping of this node's own: its pongs name nodes to connect to.
    void SendPing();

    // What connections report (see the file comment).
    void Accepted(CConnection* connection);
    void Connected(CConnection& connection);
    void ConnectFailed(CConnection& connection);
    void Established(CConnection& connection, bool outgoing);
    void Dispatch(CConnection& from, const std::uint8_t* message, std::size_t size);
    void Lost(CConnection& connection, bool wasEstablished);
    void StateChanged();

private:
    IServentHost& m_host;
    IServentTransport& m_transport;
    CMessageHistory m_history;
    std::vector<CConnection*> m_connections;
    std::uint64_t m_nextSerial = 1;
};
