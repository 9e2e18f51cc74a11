// CListenSocket: taking each accepted connection into the document's list.
#include "app/ListenSocket.h"

#include "app/PelmarDoc.h"
#include "protocol/ServentSocket.h"

#include <QTcpSocket>

CListenSocket::CListenSocket(CPelmarDoc& doc) : m_doc(doc) {
    connect(&m_acceptor, &CTcpAcceptor::Accepted, this, &CListenSocket::OnAccept);
}

bool CListenSocket::Listen(const std::string& bindAddress, std::uint16_t port) {
    return m_acceptor.Listen(bindAddress, port);
}

void CListenSocket::OnAccept(QTcpSocket* socket) {
    auto* connection = new CServentSocket(m_doc);
    m_doc.AppendConnection(connection);
    connection->Accept(socket);
    m_doc.SweepClosedConnections();
    m_doc.UpdateConnectionStatus();
}
