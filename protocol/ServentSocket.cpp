// CServentSocket: minimal connection (being completed).
#include "protocol/ServentSocket.h"

#include "app/PelmarDoc.h"

#include <QHostAddress>
#include <QTcpSocket>

class CServentSocketImpl {};

namespace {
std::uint64_t g_nextSerial = 1;
}

CServentSocket::CServentSocket(CPelmarDoc& doc) : m_doc(doc), m_serial(g_nextSerial++) {}

CServentSocket::~CServentSocket() {
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        delete m_socket;
    }
}

void CServentSocket::Accept(QTcpSocket* socket) {
    m_socket = socket;
    m_socket->setParent(nullptr);
    m_peerAddress = socket->peerAddress().toString().toStdString();
    m_peerPort = socket->peerPort();
}

void CServentSocket::Connect(const std::string& host, std::uint16_t port, const std::string&) {
    m_peerAddress = host;
    m_peerPort = port;
}

bool CServentSocket::SetClosed(bool closed) {
    const bool previous = m_closed;
    m_closed = closed;
    return previous;
}

void CServentSocket::Send(std::string_view bytes) {
    if (m_socket)
        m_socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

void CServentSocket::CloseConnection() {
    m_closed = true;
    if (m_socket)
        m_socket->close();
    m_doc.UpdateConnectionStatus();
}

void CServentSocket::OnConnect() {}
void CServentSocket::OnConnectError() {}
void CServentSocket::OnReceive() {}
void CServentSocket::OnClose() {}
void CServentSocket::OnBytesWritten() {}
void CServentSocket::OnIdleTimeout() {}
