// CWebListener: counting what a connection sends between two answers.
#include "web/WebListener.h"

#include <QTcpSocket>

#include <memory>

namespace {
constexpr char kTooLarge[] = "HTTP/1.1 413 Payload Too Large\r\n"
                             "Content-Type: application/json\r\n"
                             "Content-Length: 31\r\n"
                             "Cache-Control: no-store\r\n"
                             "X-Content-Type-Options: nosniff\r\n"
                             "Connection: close\r\n\r\n"
                             "{\"error\":\"request too large\"}\r\n";
} // namespace

void CWebListener::incomingConnection(qintptr descriptor) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    // Connected before the HTTP server connects its own reader, so this runs
    // first on every arrival. The server reads all that has arrived each
    // time, so what is buffered here is what came since.
    struct Count {
        qint64 sinceAnswer = 0;
        bool refused = false;
    };
    auto count = std::make_shared<Count>();
    connect(socket, &QTcpSocket::readyRead, socket, [socket, count] {
        if (count->refused) {
            socket->readAll(); // the server never sees it
            return;
        }
        count->sinceAnswer += socket->bytesAvailable();
        if (count->sinceAnswer <= kMaxRequestBytes)
            return;
        count->refused = true;
        socket->readAll();
        socket->write(kTooLarge, sizeof kTooLarge - 1);
        socket->disconnectFromHost();
    });
    // Anything written is an answer (or a stream of events): the next request
    // starts afresh.
    connect(socket, &QTcpSocket::bytesWritten, socket, [count](qint64) { count->sinceAnswer = 0; });
    addPendingConnection(socket); // QTcpServer then announces it
}
