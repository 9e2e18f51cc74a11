// CPelmarDoc's connection list: appending, the sweep, counting and showing
// peers. GUI thread only.
#include "app/PelmarDoc.h"
#include "protocol/ServentSocket.h"
#include "res/Strings.h"

#include <algorithm>

CServentSocket* CPelmarDoc::AppendConnection(CServentSocket* connection) {
    m_connections.push_back(connection);
    return connection;
}

CServentSocket* CPelmarDoc::OpenConnection(const std::string& host, std::uint16_t port) {
    auto* connection = AppendConnection(new CServentSocket(*this));
    connection->SetClosed(true);
    connection->Connect(host, port, m_bindAddress);
    return connection;
}

CServentSocket* CPelmarDoc::FindConnection(std::uint64_t serial) const {
    for (CServentSocket* connection : m_connections)
        if (connection->Serial() == serial)
            return connection;
    return nullptr;
}

void CPelmarDoc::SweepClosedConnections() {
    std::vector<CServentSocket*> closed;
    // A connect still under way is not swept: an incoming connection (a
    // reflector's probe, a joining node) arriving while this node connects to
    // the nodes it was told of must not cancel those connects. One that fails
    // stays closed and goes with a later sweep.
    for (CServentSocket* connection : m_connections)
        if (connection->IsClosed() && !connection->IsConnecting())
            closed.push_back(connection);
    for (CServentSocket* connection : closed) {
        m_connections.erase(std::find(m_connections.begin(), m_connections.end(), connection));
        // Later: a sweep may run while one of its signals is being delivered.
        // A transfer client's connection never had a socket object and runs
        // no handler now; deleting it later would only wake the loop again.
        if (connection->CanDeleteNow())
            delete connection;
        else
            connection->deleteLater();
    }
}

int CPelmarDoc::CountEstablished() const {
    return static_cast<int>(std::count_if(
        m_connections.begin(), m_connections.end(), [](const CServentSocket* connection) {
            return !connection->IsClosed() && connection->IsEstablished();
        }));
}

void CPelmarDoc::UpdateConnectionStatus() {
    std::array<std::string, 4> peers;
    std::size_t filled = 0;
    for (const CServentSocket* connection : m_connections) {
        if (filled == peers.size())
            break;
        if (!connection->IsClosed() && connection->IsEstablished())
            peers[filled++] = connection->GetPeerAddress();
    }
    m_ui.SetStatusNeighbours(peers);
}

bool CPelmarDoc::IsKnownPeer(const std::string& host, std::uint16_t port) const {
    bool known = host == m_ownAddress.GetText() && port == m_listenPort;
    for (const CServentSocket* connection : m_connections)
        if (connection->GetPeerAddress() == host && connection->GetPeerPort() == port)
            known = true;
    return known;
}

void CPelmarDoc::ReportConnectFailed(const std::string& host, std::uint16_t port) {
    m_ui.ShowStatusText(strings::kConnectFailedNote + host + ":" + std::to_string(port));
}
