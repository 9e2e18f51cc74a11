// CWebListener: the web interface's listening socket. It holds the web port
// to a number of open connections, answering 503 beyond it, so that however
// many connections a client opens there the node keeps descriptors for its
// overlay port; each accepted connection gets its CWebConnection before the
// HTTP server reads it. GUI thread.
#pragma once

#include "web/WebConnection.h"

#include <QTcpServer>

class CWebListener : public QTcpServer {
    Q_OBJECT
public:
    struct Limits {
        CWebConnection::Limits connection;
        int maxConnections = 64;
    };

    explicit CWebListener(const Limits& limits, QObject* parent = nullptr)
        : QTcpServer(parent), m_limits(limits) {}

    int OpenConnections() const { return m_open; }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    Limits m_limits;
    int m_open = 0;
};
