// CWebListener: the web interface's listening socket. It hands each
// connection to the HTTP server with a bound on what the connection may send
// before it is answered: a request (headers and body) larger than that is
// answered 413 and the connection closed, so no client can make the node
// hold an unbounded request in memory. GUI thread.
#pragma once

#include <QTcpServer>

class CWebListener : public QTcpServer {
    Q_OBJECT
public:
    // Headers and body of one request, with room for the largest post.
    static constexpr qint64 kMaxRequestBytes = 256 * 1024;

    explicit CWebListener(QObject* parent = nullptr) : QTcpServer(parent) {}

protected:
    void incomingConnection(qintptr descriptor) override;
};
