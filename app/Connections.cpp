// CPelmarDoc: its overlay's connections as the front ends see them, and the
// overlay host's connection and address calls. GUI thread only.
#include "app/PelmarDoc.h"
#include "protocol/Connection.h"
#include "protocol/Overlay.h"
#include "res/Strings.h"

#include <array>

const std::vector<CConnection*>& CPelmarDoc::GetConnections() const {
    return m_overlay->Connections();
}

CConnection* CPelmarDoc::AppendConnection(CConnection* connection) {
    return m_overlay->Append(connection);
}

CConnection* CPelmarDoc::OpenConnection(const std::string& host, std::uint16_t port) {
    return m_overlay->Open(host, port);
}

CConnection* CPelmarDoc::FindConnection(std::uint64_t serial) const {
    return m_overlay->Find(serial);
}

int CPelmarDoc::CountEstablished() const {
    return m_overlay->CountEstablished();
}

bool CPelmarDoc::IsKnownPeer(const std::string& host, std::uint16_t port) const {
    return m_overlay->IsKnownPeer(host, port);
}

CMessageHistory& CPelmarDoc::History() {
    return m_overlay->History();
}

void CPelmarDoc::UpdateConnectionStatus() {
    std::array<std::string, 4> peers;
    std::size_t filled = 0;
    for (const CConnection* connection : m_overlay->Connections()) {
        if (filled == peers.size())
            break;
        if (!connection->IsClosed() && connection->IsEstablished())
            peers[filled++] = connection->GetPeerAddress();
    }
    m_ui.SetStatusNeighbours(peers);
}

void CPelmarDoc::ConnectFailed(const std::string& host, std::uint16_t port) {
    m_ui.ShowStatusText(strings::kConnectFailedNote + host + ":" + std::to_string(port));
}

void CPelmarDoc::LearnReflectedAddress(const std::string& address) {
    // Only a private address is replaced: a public one is already what
    // others reach this node at.
    if (m_ownAddress.IsPrivate())
        m_ownAddress.SetText(address);
    WriteLog("Reflect My IPaddress " + m_ownAddress.GetText());
}
