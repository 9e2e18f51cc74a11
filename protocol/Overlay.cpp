// COverlay: the connection list, the joining rule and the send loops.
// Thread of the overlay only.
#include "protocol/Overlay.h"

#include "protocol/Connection.h"
#include "protocol/MessageDispatcher.h"
#include "protocol/ServentHost.h"
#include "protocol/ServentTransport.h"
#include "protocol/wire/LogText.h"
#include "protocol/wire/MessageHeader.h"

#include <algorithm>

COverlay::COverlay(IServentHost& host, IServentTransport& transport)
    : m_host(host), m_transport(transport) {}

COverlay::~COverlay() {
    for (CConnection* connection : m_connections)
        delete connection;
}

CConnection* COverlay::Append(CConnection* connection) {
    connection->m_serial = m_nextSerial++;
    m_connections.push_back(connection);
    return connection;
}

CConnection* COverlay::Open(const std::string& host, std::uint16_t port) {
    return Append(m_transport.Open(*this, host, port));
}

CConnection* COverlay::Find(std::uint64_t serial) const {
    for (CConnection* connection : m_connections)
        if (connection->Serial() == serial)
            return connection;
    return nullptr;
}

void COverlay::Sweep() {
    std::vector<CConnection*> closed;
    // A connect still under way is not swept: an incoming connection (a
    // reflector's probe, a joining node) arriving while this node connects to
    // the nodes it was told of must not cancel those connects. One that fails
    // stays closed and goes with a later sweep.
    for (CConnection* connection : m_connections)
        if (connection->IsClosed() && !connection->IsConnecting())
            closed.push_back(connection);
    for (CConnection* connection : closed) {
        m_connections.erase(std::find(m_connections.begin(), m_connections.end(), connection));
        connection->Release();
    }
}

int COverlay::CountEstablished() const {
    return static_cast<int>(
        std::count_if(m_connections.begin(), m_connections.end(),
                      [](const CConnection* c) { return !c->IsClosed() && c->IsEstablished(); }));
}

int COverlay::CountHeld() const {
    return static_cast<int>(std::count_if(m_connections.begin(), m_connections.end(),
                                          [](const CConnection* c) { return c->IsHeld(); }));
}

bool COverlay::IsKnownPeer(const std::string& host, std::uint16_t port) const {
    bool known = host == m_host.OwnAddress().GetText() && port == m_host.GetListenPort();
    for (const CConnection* connection : m_connections)
        if (connection->GetPeerAddress() == host && connection->GetPeerPort() == port)
            known = true;
    return known;
}

std::vector<CConnection*> COverlay::Flood(std::string_view bytes, const CConnection* from) {
    std::vector<CConnection*> sentTo;
    for (CConnection* connection : m_connections) {
        if (connection == from || connection->IsClosed() || !connection->IsEstablished())
            continue;
        connection->Send(bytes);
        sentTo.push_back(connection);
    }
    return sentTo;
}

CConnection* COverlay::RouteBack(const CRouteEntry& route, std::string_view bytes) {
    CConnection* origin = Find(route.originSerial);
    if (!origin || origin->IsClosed() || !origin->IsEstablished())
        return nullptr;
    origin->Send(bytes);
    return origin;
}

void COverlay::Originate(std::string_view bytes, const std::string& messageId,
                         const std::function<std::string(const CConnection&)>& logLine) {
    // The id is recorded once, with the last connection it went to, as if
    // recorded for each with the last one winning: a recording per connection
    // would let a node with many neighbours push its whole history out of the
    // ring with each message of its own, and repeats would flood again.
    CConnection* last = nullptr;
    for (CConnection* connection : m_connections) {
        if (connection->IsClosed())
            continue;
        connection->SendMessage(bytes);
        last = connection;
        if (m_host.IsLogging())
            m_host.WriteLog(logLine(*connection));
    }
    if (last)
        m_history.Record(messageId, last->Serial(), true);
}

void COverlay::SendPing() {
    const CMessageHeader header(m_host.NewMessageId(), CMessageHeader::kTypePing);
    Originate(header.Encode(), header.GetMessageIdText(), [&](const CConnection& connection) {
        return PingLogText(EWireEvent::Send, connection.GetPeerAddress(), connection.GetPeerPort(),
                           header);
    });
}

void COverlay::Accepted(CConnection* connection) {
    Append(connection);
    Sweep();
    m_host.ConnectionStateChanged();
}

void COverlay::Connected(CConnection&) {
    m_host.ConnectionStateChanged();
}

void COverlay::ConnectFailed(CConnection& connection) {
    m_host.ConnectFailed(connection.GetPeerAddress(), connection.GetPeerPort());
}

void COverlay::Established(CConnection&, bool outgoing) {
    m_host.ConnectionStateChanged();
    // The side that opened asks for more neighbours; the answering side is
    // the one being joined.
    if (outgoing && CountEstablished() < kTargetConnections)
        SendPing();
}

void COverlay::Dispatch(CConnection& from, const std::uint8_t* message, std::size_t size) {
    DispatchMessage(*this, from, message, size);
}

void COverlay::Lost(CConnection&, bool wasEstablished) {
    m_host.ConnectionStateChanged();
    if (wasEstablished && CountEstablished() < kTargetConnections)
        SendPing();
}

void COverlay::StateChanged() {
    m_host.ConnectionStateChanged();
}
