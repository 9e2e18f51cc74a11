// CListenSocket: accepting connections, and surviving accept failures.
#include "app/ListenSocket.h"

#include "app/PelmarDoc.h"
#include "protocol/ServentSocket.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

CListenSocket::CListenSocket(CPelmarDoc& doc) : m_doc(doc) {
    connect(&m_server, &QTcpServer::newConnection, this, &CListenSocket::OnAccept);
    connect(&m_server, &QTcpServer::acceptError, this, &CListenSocket::OnAcceptError);
}

bool CListenSocket::Listen(const std::string& bindAddress, std::uint16_t port) {
    const QHostAddress address =
        bindAddress.empty() ? QHostAddress(QHostAddress::AnyIPv4)
                            : QHostAddress(QString::fromStdString(bindAddress));
    m_server.setMaxPendingConnections(64);
    return m_server.listen(address, port);
}

void CListenSocket::OnAccept() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        auto* connection = new CServentSocket(m_doc);
        m_doc.AppendConnection(connection);
        connection->Accept(socket);
        m_doc.SweepClosedConnections();
        m_doc.UpdateConnectionStatus();
    }
}

void CListenSocket::OnAcceptError(QAbstractSocket::SocketError) {
    // A failed accept (for example no descriptors left) pauses the server;
    // try again a little later instead of spinning or giving up for good.
    m_server.pauseAccepting();
    QTimer::singleShot(1000, this, [this] { m_server.resumeAccepting(); });
}
