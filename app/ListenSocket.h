// CListenSocket: the node's listener. Every incoming connection is accepted,
// appended to the document's list, and triggers the sweep of closed ones.
// Connections start on their plain descriptor (see CDescriptorChannel).
// GUI thread only.
#pragma once

#include "app/TcpAcceptor.h"

#include <QObject>

#include <cstdint>
#include <string>

class CPelmarDoc;
class QTcpSocket;

class CListenSocket : public QObject {
    Q_OBJECT
public:
    explicit CListenSocket(CPelmarDoc& doc);
    // Binds bindAddress (every local address when empty) on port.
    bool Listen(const std::string& bindAddress, std::uint16_t port);

private:
    void OnAccept(int descriptor, const std::string& peerAddress, std::uint16_t peerPort);

    CPelmarDoc& m_doc;
    CTcpAcceptor m_acceptor;
};
