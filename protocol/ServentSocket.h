// CServentSocket: one TCP connection of the node, incoming or outgoing, over
// QTcpSocket. It speaks the handshake and the overlay messages with other
// servents, and answers transfer clients' HTTP requests on the same port.
// It reports to its overlay (see COverlay). Every signal and handler runs on
// the GUI thread.
#pragma once

#include "protocol/Connection.h"
#include "protocol/DescriptorChannel.h"
#include "protocol/wire/LineReader.h"
#include "protocol/wire/MessageFramer.h"
#include "protocol/wire/ServentRequest.h"
#include "transfer/ReplyStream.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

class COverlay;
class QTcpSocket;
struct CTransferReply;

class CServentSocket : public QObject, public CConnection {
    Q_OBJECT
public:
    // Unsent bytes above this close a servent connection whose peer stopped
    // reading, so the node neither stalls nor buffers without bound.
    static constexpr std::int64_t kMaxQueuedBytes = 4 * 1024 * 1024;
    // Streamed replies are pulled while less than this is waiting to go out.
    static constexpr std::int64_t kStreamLowWater = 256 * 1024;
    // Streamed pieces are gathered into writes of about this size.
    static constexpr std::size_t kStreamPiece = 64 * 1024;
    // A connection with neither handshake nor request line by then is closed.
    static constexpr int kIdleTimeoutMs = 60 * 1000;
    // The idle time-out of connections made from now on; tests shorten it.
    static void SetIdleTimeoutMs(int milliseconds);
    static int GetIdleTimeoutMs();
    // Bytes taken from the socket per turn of the event loop.
    static constexpr std::size_t kReceiveBufferSize = 64000;
    // A POST body is never kept beyond what its Content-Length can name.
    static constexpr std::size_t kMaxPostBody = 65535;
    // Own messages kept for a connection whose handshake is not through yet.
    static constexpr std::size_t kMaxHeldMessages = 64 * 1024;

    explicit CServentSocket(COverlay& overlay);
    ~CServentSocket() override;

    // An accepted connection: usable at once, not established.
    void Accept(QTcpSocket* socket);
    // An accepted connection on its plain descriptor (taken over). It is
    // served there until a handshake line comes; only then is it given a
    // socket object.
    void AcceptDescriptor(int descriptor, const std::string& peerAddress, std::uint16_t peerPort);
    // No handler of this connection is running and no socket object was
    // made for it: it may be deleted at once instead of later.
    bool CanDeleteNow() const { return !m_socket && !m_inHandler; }
    // An outgoing connection, from bindAddress when not empty. The closed flag
    // stays set until the connect completes.
    void Connect(const std::string& host, std::uint16_t port, const std::string& bindAddress);

    // CConnection.
    bool IsEstablished() const override { return m_established; }
    bool IsClosed() const override { return m_closed; }
    bool IsConnecting() const override;
    bool IsHeld() const override;
    const std::string& GetPeerAddress() const override { return m_peerAddress; }
    std::uint16_t GetPeerPort() const override { return m_peerPort; }
    // Queues the bytes behind everything written before; never blocks.
    void Send(std::string_view bytes) override;
    // Own messages wait for this side's handshake lines: binary bytes before
    // them would break the peer's handshake.
    void SendMessage(std::string_view bytes) override;
    // Closes the socket, sets the closed flag and refreshes the status panes.
    void CloseConnection() override;
    // Deleted later when one of its signals may be being delivered.
    void Release() override;

    bool SetClosed(bool closed);
    // Queues a reply produced piece by piece behind everything before it.
    void SendStream(std::unique_ptr<IReplyStream> stream);

    QTcpSocket* Socket() const { return m_socket; }

private slots:
    void OnConnect();
    void OnSocketError();
    void OnReceive();
    void OnClose();
    void OnBytesWritten();
    void OnIdleTimeout();

private:
    void Attach(QTcpSocket* socket);
    void HandleChunk(const std::uint8_t* data, std::size_t size);
    // Returns false when the connection was closed by the line.
    bool HandleLine(const std::string& line);
    void EndHeaderBlock(const std::uint8_t* rest, std::size_t restSize);
    void CompleteHandshake();
    void FeedPostBody(const std::uint8_t* data, std::size_t size);
    void PumpStreams();
    void OnPlainReadable();
    // The servent path needs the socket object: made from the descriptor.
    void PromoteToSocket();
    std::int64_t QueuedBytes() const;
    void WriteOut(std::string_view bytes);
    void LogPeer(std::string_view prefix);
    void SendReply(CTransferReply reply);

    COverlay& m_overlay;
    QTcpSocket* m_socket = nullptr;
    std::unique_ptr<CDescriptorChannel> m_plain; // until promoted or closed
    bool m_inHandler = false;
    QTimer m_idleTimer;

    CLineReader m_lineReader;
    CMessageFramer m_framer;
    CServentRequest m_request;
    std::string m_postBody;
    bool m_postAnswered = false;

    bool m_messageMode = false;
    bool m_handshakeLine = false;
    bool m_answering = false;
    bool m_established = false;
    bool m_closed = false;
    bool m_postMode = false;
    bool m_requestSeen = false;   // an HTTP client, not a servent
    bool m_handshakeSent = false; // this side's handshake lines are out
    bool m_connecting = false;    // an outgoing connect not yet completed
    bool m_outgoing = false;      // opened by this node
    std::string m_heldMessages;   // own messages waiting for the handshake
    bool m_inPostBody = false;
    bool m_closingHere = false;
    bool m_receiveQueued = false;

    std::deque<std::unique_ptr<IReplyStream>> m_streams;
    std::string m_peerAddress;
    std::uint16_t m_peerPort = 0;
};
