// CSimConnection: a link of the memory transport behind the overlay's
// connection interface.
#include "SimConnection.h"

#include "SimNode.h"

CSimConnection::CSimConnection(CSimNode& node, LinkId link, std::string peerAddress, bool outgoing)
    : m_node(node), m_link(link), m_peerAddress(std::move(peerAddress)), m_established(!outgoing),
      m_closed(outgoing), m_connecting(outgoing), m_outgoing(outgoing) {}

CSimConnection::~CSimConnection() {
    m_node.Forget(*this);
}

std::uint16_t CSimConnection::GetPeerPort() const {
    return CSimNode::kPort;
}

void CSimConnection::Send(std::string_view bytes) {
    if (!m_closed)
        m_node.SendOn(m_link, bytes);
}

void CSimConnection::CloseConnection() {
    if (m_closed)
        return;
    m_closed = true;
    m_node.CloseLink(m_link);
    m_node.Overlay().StateChanged();
}

void CSimConnection::MarkAnswered() {
    m_connecting = false;
    m_closed = false;
    m_established = true;
}

bool CSimConnection::MarkLost() {
    const bool wasEstablished = m_established && !m_closed;
    m_closed = true;
    return wasEstablished;
}
