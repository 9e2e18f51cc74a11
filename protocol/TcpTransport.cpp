// CTcpTransport: opening a servent connection over TCP. GUI thread only.
#include "protocol/TcpTransport.h"

#include "protocol/ServentSocket.h"

CConnection* CTcpTransport::Open(COverlay& overlay, const std::string& host, std::uint16_t port) {
    auto* connection = new CServentSocket(overlay);
    connection->SetClosed(true);
    connection->Connect(host, port, m_bindAddress);
    return connection;
}
