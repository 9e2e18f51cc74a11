// CListenSocket: taking each accepted connection into the document's list.
#include "app/ListenSocket.h"

#include "app/PelmarDoc.h"
#include "protocol/Overlay.h"
#include "protocol/ServentSocket.h"

CListenSocket::CListenSocket(CPelmarDoc& doc) : m_doc(doc) {
    m_acceptor.SetHandsDescriptors(true);
    connect(&m_acceptor, &CTcpAcceptor::AcceptedDescriptor, this, &CListenSocket::OnAccept);
}

bool CListenSocket::Listen(const std::string& bindAddress, std::uint16_t port) {
    return m_acceptor.Listen(bindAddress, port);
}

void CListenSocket::OnAccept(int descriptor, const std::string& peerAddress,
                             std::uint16_t peerPort) {
    auto* connection = new CServentSocket(m_doc.Overlay());
    connection->AcceptDescriptor(descriptor, peerAddress, peerPort);
    m_doc.Overlay().Accepted(connection);
}
