// CServentSocket: one TCP connection of the node, incoming or outgoing, over
// QTcpSocket on the GUI thread. It speaks the handshake and the overlay
// messages with other servents, and answers transfer clients' HTTP requests on
// the same port. Every signal and handler runs on the GUI thread.
#pragma once

#include <QObject>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CPelmarDoc;
class QTcpSocket;
class CServentSocketImpl;

class CServentSocket : public QObject {
    Q_OBJECT
public:
    // Unsent overlay bytes above this close a servent connection whose peer
    // stopped reading, so the node never buffers without bound.
    static constexpr std::int64_t kMaxQueuedBytes = 4 * 1024 * 1024;
    // A connection with neither handshake nor request line after this closes.
    static constexpr int kIdleTimeoutMs = 60 * 1000;

    explicit CServentSocket(CPelmarDoc& doc);
    ~CServentSocket() override;

    // An accepted connection (usable, not established).
    void Accept(QTcpSocket* socket);
    // An outgoing connection: closed until the connect completes.
    void Connect(const std::string& host, std::uint16_t port, const std::string& bindAddress);

    std::uint64_t Serial() const { return m_serial; }
    bool IsEstablished() const { return m_established; }
    bool IsClosed() const { return m_closed; }
    bool SetClosed(bool closed);
    const std::string& GetPeerAddress() const { return m_peerAddress; }
    std::uint16_t GetPeerPort() const { return m_peerPort; }

    // Queues the bytes behind everything written before; never blocks.
    void Send(std::string_view bytes);
    // Closes the socket, sets the closed flag and refreshes the status panes.
    void CloseConnection();

    QTcpSocket* Socket() const { return m_socket; }

private slots:
    void OnConnect();
    void OnConnectError();
    void OnReceive();
    void OnClose();
    void OnBytesWritten();
    void OnIdleTimeout();

private:
    friend class CServentSocketImpl;
    CPelmarDoc& m_doc;
    QTcpSocket* m_socket = nullptr;
    std::unique_ptr<CServentSocketImpl> m_impl;
    std::uint64_t m_serial;
    bool m_established = false;
    bool m_closed = false;
    std::string m_peerAddress;
    std::uint16_t m_peerPort = 0;
};
