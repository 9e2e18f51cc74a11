// CWebListener: counting the open connections and refusing past the cap.
#include "web/WebListener.h"

#include "web/WebHeaders.h"

#include <QTcpSocket>
#include <QTimer>

namespace {
// A refused client that does not read its answer still loses the connection.
constexpr int kRefusalLingerMs = 1000;
} // namespace

void CWebListener::incomingConnection(qintptr descriptor) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    if (m_open >= m_limits.maxConnections) {
        // Answered and closed here: the HTTP server never sees it.
        socket->write(webheaders::ClosingAnswer("503 Service Unavailable", "too many connections"));
        socket->disconnectFromHost();
        QTimer::singleShot(kRefusalLingerMs, socket, [socket] { socket->abort(); });
        return;
    }
    ++m_open;
    connect(socket, &QObject::destroyed, this, [this] { --m_open; });
    new CWebConnection(socket, m_limits.connection);
    addPendingConnection(socket); // QTcpServer then announces it
}
