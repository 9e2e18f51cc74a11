// CReflectorService: a minimal reflector for trying out and testing joining.
// It tells each caller the address it is seen under, whether its listen port
// can be reached from here ("open" or "close"), and up to four nodes that
// asked before. Runs on the reflector program's main thread.
#pragma once

#include "app/TcpAcceptor.h"

#include <QHostAddress>
#include <QObject>

#include <deque>

class QTcpSocket;

class CReflectorService : public QObject {
public:
    static constexpr int kListedNodes = 4;
    static constexpr int kRememberedNodes = 100;
    static constexpr int kProbeMs = 2000;    // connect-back wait
    static constexpr int kRequestMs = 10000; // a caller must send its request by then
    static constexpr int kMaxRequestBytes = 8192;

    explicit CReflectorService(QObject* parent = nullptr);

    // An IPv4 address; port 0 takes any free port.
    bool Listen(const QHostAddress& address, quint16 port);
    quint16 ServerPort() const { return m_acceptor.Port(); }

private:
    struct Node {
        QString address;
        quint16 port = 0;
    };

    void OnNewConnection(QTcpSocket* client);
    void OnRequestBytes(QTcpSocket* client);
    void Probe(QTcpSocket* client, const QString& address, quint16 port);
    void Answer(QTcpSocket* client, const QString& address, quint16 port, bool open);
    void Remember(const QString& address, quint16 port);

    CTcpAcceptor m_acceptor;
    QHostAddress m_listenAddress;
    std::deque<Node> m_nodes; // most recent first
};
