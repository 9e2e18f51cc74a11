// RawPeer: the test's own end of a servent connection, a plain QTcpSocket that
// keeps every byte it receives; TestListener: a listening socket in the test
// that turns each accepted connection into a RawPeer; FullListener: one that
// never accepts, so connects to it stay under way. All live on the test's
// thread and are driven by the bounded waits of Wait.h, so an in-process node
// on the same event loop keeps running while the test waits.
#pragma once

#include "base/IPv4Address.h"
#include "app/IdGenerator.h"
#include "protocol/wire/MessageHeader.h"
#include "protocol/wire/PongMessage.h"
#include "support/Wait.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class RawPeer {
public:
    // A fresh socket that connects from bindAddress (any port).
    explicit RawPeer(const std::string& bindAddress) : m_socket(new QTcpSocket) {
        m_socket->bind(QHostAddress(QString::fromStdString(bindAddress)));
        Watch();
    }
    // A socket accepted by a TestListener.
    explicit RawPeer(QTcpSocket* accepted) : m_socket(accepted) {
        m_socket->setParent(nullptr);
        Watch();
        ReadAll();
    }
    ~RawPeer() {
        m_socket->disconnect();
        m_socket->abort();
        delete m_socket;
    }
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    bool Connect(const std::string& host, int port, int timeoutMs = 5000) {
        m_socket->connectToHost(QString::fromStdString(host), static_cast<quint16>(port));
        return WaitUntil([&] { return m_socket->state() == QAbstractSocket::ConnectedState; },
                         timeoutMs);
    }
    void Write(std::string_view bytes) {
        m_socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
        m_socket->flush();
    }
    void Close() { m_socket->disconnectFromHost(); }

    // Everything received and not yet taken.
    const std::string& Received() const { return m_received; }
    bool WaitForBytes(std::size_t count, int timeoutMs = 5000) {
        return WaitUntil([&] { return m_received.size() >= count; }, timeoutMs);
    }
    bool WaitForText(const std::string& text, int timeoutMs = 5000) {
        return WaitUntil([&] { return m_received.find(text) != std::string::npos; }, timeoutMs);
    }
    // Takes the first count bytes, or everything when fewer arrived.
    std::string Take(std::size_t count) {
        std::string taken = m_received.substr(0, count);
        m_received.erase(0, taken.size());
        return taken;
    }
    // Waits for one whole overlay message and takes it.
    std::optional<std::string> TakeMessage(int timeoutMs = 5000) {
        if (!WaitForBytes(CMessageHeader::kSize, timeoutMs))
            return std::nullopt;
        const auto header = CMessageHeader::Decode(
            reinterpret_cast<const std::uint8_t*>(m_received.data()), m_received.size());
        const std::size_t total = CMessageHeader::kSize + header->GetPayloadLength();
        if (!WaitForBytes(total, timeoutMs))
            return std::nullopt;
        return Take(total);
    }

    bool IsClosed() const { return m_closed; }
    bool WaitClosed(int timeoutMs = 5000) {
        return WaitUntil([&] { return m_closed; }, timeoutMs);
    }
    std::string LocalAddress() const { return m_socket->localAddress().toString().toStdString(); }
    int LocalPort() const { return m_socket->localPort(); }
    QTcpSocket& Socket() { return *m_socket; }

private:
    void Watch() {
        QObject::connect(m_socket, &QTcpSocket::readyRead, m_socket, [this] { ReadAll(); });
        QObject::connect(m_socket, &QTcpSocket::disconnected, m_socket,
                         [this] { m_closed = true; });
    }
    void ReadAll() { m_received += m_socket->readAll().toStdString(); }

    QTcpSocket* m_socket;
    std::string m_received;
    bool m_closed = false;
};

class TestListener {
public:
    TestListener(const std::string& address, int port) {
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                peers.push_back(std::make_unique<RawPeer>(socket));
        });
        listening = m_server.listen(QHostAddress(QString::fromStdString(address)),
                                    static_cast<quint16>(port));
    }
    bool WaitForPeers(std::size_t count, int timeoutMs = 5000) {
        return WaitUntil([&] { return peers.size() >= count; }, timeoutMs);
    }

    bool listening = false;
    std::vector<std::unique_ptr<RawPeer>> peers;

private:
    QTcpServer m_server;
};

// A listening socket with a full accept queue: a connect to it stays pending.
class FullListener {
public:
    FullListener(const char* address, int port) {
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(static_cast<std::uint16_t>(port));
        ::inet_pton(AF_INET, address, &at.sin_addr);
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        ok = ::bind(m_listener, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 &&
             ::listen(m_listener, 0) == 0;
        for (int& filler : m_fillers) {
            filler = ::socket(AF_INET, SOCK_STREAM, 0);
            ::fcntl(filler, F_SETFL, O_NONBLOCK);
            ::connect(filler, reinterpret_cast<sockaddr*>(&at), sizeof at);
        }
    }
    ~FullListener() {
        for (int filler : m_fillers)
            ::close(filler);
        ::close(m_listener);
    }
    bool ok = false;

private:
    int m_listener = -1;
    std::array<int, 3> m_fillers{};
};

// Message bytes as a peer sends them.
namespace rawmsg {

inline std::string NewId() {
    return CIdGenerator().GetText();
}

inline CMessageHeader Header(const std::string& idText, std::uint8_t type, std::uint8_t ttl,
                             std::uint8_t hops, std::uint32_t payloadLength) {
    CMessageHeader header;
    header.SetMessageIdText(idText);
    header.SetType(type);
    header.SetTtl(ttl);
    header.SetHops(hops);
    header.SetPayloadLength(payloadLength);
    return header;
}

// A ping with the given header fields; a payload of zero bytes when announced.
inline std::string Ping(const std::string& idText, std::uint8_t ttl = 5, std::uint8_t hops = 0,
                        std::uint32_t payloadLength = 0) {
    return Header(idText, CMessageHeader::kTypePing, ttl, hops, payloadLength).Encode() +
           std::string(payloadLength, '\0');
}

inline std::string Pong(const std::string& idText, const std::string& address, int port,
                        std::uint8_t ttl = 5, std::uint8_t hops = 0) {
    CPongMessage pong;
    pong.Header() = Header(idText, CMessageHeader::kTypePong, ttl, hops, 6);
    CIPv4Address live;
    live.SetText(address);
    pong.SetAddress(live);
    pong.SetPort(static_cast<std::uint16_t>(port));
    return pong.Encode();
}

inline CMessageHeader Decode(const std::string& message) {
    return *CMessageHeader::Decode(reinterpret_cast<const std::uint8_t*>(message.data()),
                                   message.size());
}

inline CPongMessage DecodePong(const std::string& message) {
    return *CPongMessage::Decode(reinterpret_cast<const std::uint8_t*>(message.data()),
                                 message.size());
}

} // namespace rawmsg

// The handshake block a connecting servent sends, and the answer it expects.
inline std::string ConnectBlock(const std::string& reflect) {
    return "PELMAR CONNECT/0.1\r\nReflect: " + reflect + "\r\n\r\n";
}
inline std::string OkBlock(const std::string& reflect) {
    return "PELMAR OK\r\nReflect: " + reflect + "\r\n\r\n";
}

// Connects the peer to a node and completes the handshake as the opening
// side; the node's answer is taken from the received bytes.
inline bool JoinNode(RawPeer& peer, const std::string& host, int port) {
    if (!peer.Connect(host, port))
        return false;
    peer.Write(ConnectBlock(host));
    const std::string answer = OkBlock(peer.LocalAddress());
    if (!peer.WaitForBytes(answer.size()))
        return false;
    return peer.Take(answer.size()) == answer;
}
