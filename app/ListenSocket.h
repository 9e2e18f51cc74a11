// CListenSocket: the node's listener. Every incoming connection is accepted,
// appended to the document's list, and triggers the sweep of closed ones. GUI
// thread only.
#pragma once

#include <QObject>
#include <QTcpServer>

#include <cstdint>
#include <string>

class CPelmarDoc;

class CListenSocket : public QObject {
    Q_OBJECT
public:
    explicit CListenSocket(CPelmarDoc& doc);
    // Binds bindAddress (every local address when empty) on port.
    bool Listen(const std::string& bindAddress, std::uint16_t port);

private slots:
    void OnAccept();
    void OnAcceptError(QAbstractSocket::SocketError error);

private:
    CPelmarDoc& m_doc;
    QTcpServer m_server;
};
