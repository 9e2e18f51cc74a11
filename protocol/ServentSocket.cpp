// CServentSocket: connecting, the handshake, line and POST input, framing and
// ordered sending. GUI thread only.
#include "protocol/ServentSocket.h"

#include "protocol/Overlay.h"
#include "protocol/ServentHost.h"
#include "protocol/wire/RequestParser.h"
#include "transfer/TransferEndpoints.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QTcpSocket>

#include <unistd.h>

namespace {
int g_idleTimeoutMs = CServentSocket::kIdleTimeoutMs;
} // namespace

void CServentSocket::SetIdleTimeoutMs(int milliseconds) {
    g_idleTimeoutMs = milliseconds;
}
int CServentSocket::GetIdleTimeoutMs() {
    return g_idleTimeoutMs;
}

CServentSocket::CServentSocket(COverlay& overlay) : m_overlay(overlay) {
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(g_idleTimeoutMs);
    connect(&m_idleTimer, &QTimer::timeout, this, &CServentSocket::OnIdleTimeout);
}

CServentSocket::~CServentSocket() {
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        delete m_socket;
    }
}

void CServentSocket::Attach(QTcpSocket* socket) {
    m_socket = socket;
    m_socket->setParent(nullptr);
    connect(m_socket, &QTcpSocket::connected, this, &CServentSocket::OnConnect);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &CServentSocket::OnSocketError);
    connect(m_socket, &QTcpSocket::readyRead, this, &CServentSocket::OnReceive);
    connect(m_socket, &QTcpSocket::disconnected, this, &CServentSocket::OnClose);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &CServentSocket::OnBytesWritten);
}

void CServentSocket::Accept(QTcpSocket* socket) {
    Attach(socket);
    m_peerAddress = socket->peerAddress().toString().toStdString();
    m_peerPort = socket->peerPort();
    m_idleTimer.start();
    if (socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &CServentSocket::OnReceive, Qt::QueuedConnection);
}

void CServentSocket::AcceptDescriptor(int descriptor, const std::string& peerAddress,
                                      std::uint16_t peerPort) {
    m_peerAddress = peerAddress;
    m_peerPort = peerPort;
    m_plain = std::make_unique<CDescriptorChannel>(
        descriptor, [this] { OnPlainReadable(); }, [this] { PumpStreams(); });
    m_idleTimer.start();
}

void CServentSocket::OnPlainReadable() {
    if (!m_plain || !m_plain->IsOpen() || m_closingHere)
        return;
    char buffer[kReceiveBufferSize];
    const long got = m_plain->Read(buffer, sizeof buffer);
    if (got < 0)
        return;
    if (got == 0) {
        m_plain->Close();
        OnClose();
        return;
    }
    // Input left over is announced again by the descriptor on the next turn.
    m_inHandler = true;
    HandleChunk(reinterpret_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(got));
    m_inHandler = false;
}

void CServentSocket::PromoteToSocket() {
    if (!m_plain || !m_plain->IsOpen())
        return;
    std::string queued;
    const int descriptor = m_plain->Release(queued);
    auto* socket = new QTcpSocket;
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        ::close(descriptor);
        CloseConnection();
        return;
    }
    Attach(socket);
    if (!queued.empty())
        m_socket->write(queued.data(), static_cast<qint64>(queued.size()));
}

void CServentSocket::Connect(const std::string& host, std::uint16_t port,
                             const std::string& bindAddress) {
    Attach(new QTcpSocket);
    // A peer is always reached directly: a proxy from the environment or the
    // desktop settings must never carry overlay traffic, and asking for one
    // would cost a lookup on every connect.
    m_socket->setProxy(QNetworkProxy::NoProxy);
    m_closed = true;
    // Until the connect completes the peer is known by the name it was given.
    m_peerAddress = host;
    m_peerPort = port;
    m_connecting = true;
    m_outgoing = true;
    if (!bindAddress.empty())
        m_socket->bind(QHostAddress(QString::fromStdString(bindAddress)));
    m_socket->connectToHost(QString::fromStdString(host), port);
}

bool CServentSocket::IsConnecting() const {
    return m_socket && (m_socket->state() == QAbstractSocket::HostLookupState ||
                        m_socket->state() == QAbstractSocket::ConnectingState);
}

bool CServentSocket::IsHeld() const {
    if (m_established)
        return !m_closed;
    return m_outgoing && (!m_closed || IsConnecting());
}

bool CServentSocket::SetClosed(bool closed) {
    const bool previous = m_closed;
    m_closed = closed;
    return previous;
}

void CServentSocket::LogPeer(std::string_view prefix) {
    if (!m_overlay.Host().IsLogging())
        return;
    m_overlay.Host().WriteLog(std::string(prefix) + m_peerAddress + " " +
                              std::to_string(m_peerPort));
}

void CServentSocket::OnConnect() {
    m_closed = false;
    m_connecting = false;
    m_peerAddress = m_socket->peerAddress().toString().toStdString();
    m_peerPort = m_socket->peerPort();
    // The Reflect value tells the peer the address we reached it at, which is
    // its address as others see it.
    Send("PELMAR CONNECT/0.1\r\n");
    Send("Reflect: " + m_peerAddress + "\r\n\r\n");
    m_handshakeSent = true;
    LogPeer("send PELMAR CONNECT/0.1 ");
    m_idleTimer.start();
    m_overlay.Connected(*this);
}

void CServentSocket::OnSocketError() {
    // A failed connect leaves the connection closed for the sweep, and the
    // status line says so; a broken established connection is handled by
    // OnClose.
    if (m_socket->state() != QAbstractSocket::ConnectedState && !m_established)
        m_closed = true;
    if (m_connecting && m_socket->state() != QAbstractSocket::ConnectedState) {
        m_connecting = false;
        m_overlay.ConnectFailed(*this);
    }
}

void CServentSocket::OnReceive() {
    if (!m_socket || m_closingHere)
        return;
    // One piece per turn of the event loop: a fast peer cannot starve the
    // others, and what one turn relays stays far below the output bound, so
    // only a peer that really stopped reading reaches it.
    char buffer[kReceiveBufferSize];
    const qint64 got = m_socket->read(buffer, sizeof buffer);
    if (got > 0)
        HandleChunk(reinterpret_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(got));
    if (!m_closingHere && !m_receiveQueued && m_socket->bytesAvailable() > 0) {
        m_receiveQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_receiveQueued = false;
                OnReceive();
            },
            Qt::QueuedConnection);
    }
}

void CServentSocket::HandleChunk(const std::uint8_t* data, std::size_t size) {
    std::size_t pos = 0;
    while (pos < size && !m_closingHere) {
        if (m_messageMode) {
            const auto result = m_framer.Feed(data + pos, size - pos);
            pos += result.consumed;
            if (result.status == CMessageFramer::EStatus::Error) {
                CloseConnection();
                return;
            }
            if (result.status == CMessageFramer::EStatus::Complete)
                m_overlay.Dispatch(*this, m_framer.MessageData(), m_framer.MessageSize());
            continue;
        }
        if (m_inPostBody) {
            FeedPostBody(data + pos, size - pos);
            return;
        }
        const auto result = m_lineReader.Read(data + pos, size - pos);
        pos += result.consumed;
        if (result.status == CLineReader::EStatus::Error) {
            CloseConnection();
            return;
        }
        if (result.status == CLineReader::EStatus::NeedMore)
            return;
        const std::string line = m_lineReader.Line();
        if (!line.empty()) {
            if (!HandleLine(line))
                return;
            continue;
        }
        EndHeaderBlock(data + pos, size - pos);
        if (m_inPostBody)
            return; // the rest of the chunk was body, handed over whole
    }
}

bool CServentSocket::HandleLine(const std::string& line) {
    const SServentLine parsed = ParseServentLine(line, m_request);
    switch (parsed.kind) {
    case EServentLine::Connect:
        PromoteToSocket();
        if (m_closingHere)
            return false;
        m_answering = true;
        LogPeer("receive PELMAR CONNECT/0.1 ");
        m_handshakeLine = true;
        break;
    case EServentLine::ConnectOk:
        PromoteToSocket();
        if (m_closingHere)
            return false;
        LogPeer("receive PELMAR OK ");
        m_handshakeLine = true;
        break;
    case EServentLine::ConnectRefuse:
        m_handshakeLine = true;
        CloseConnection();
        return false;
    case EServentLine::Reflect:
        m_overlay.Host().LearnReflectedAddress(parsed.reflectAddress);
        break;
    case EServentLine::Request:
        m_requestSeen = true;
        m_heldMessages.clear();
        if (parsed.postMode)
            m_postMode = true;
        m_idleTimer.stop();
        break;
    case EServentLine::ContentLength:
    case EServentLine::Ignored:
        break;
    }
    return true;
}

void CServentSocket::EndHeaderBlock(const std::uint8_t* rest, std::size_t restSize) {
    if (m_handshakeLine) {
        CompleteHandshake();
        return;
    }
    if (m_postMode) {
        // Everything after the header block is body; it is never split into lines.
        m_inPostBody = true;
        FeedPostBody(rest, restSize);
        return;
    }
    const CServentRequest request = m_request;
    // A served request is forgotten, so a stray empty line never repeats it.
    m_request = CServentRequest{};
    if (request.threadId.empty())
        return;
    const std::string& root = m_overlay.Host().GetThreadDir();
    if (request.path == "/get_res_list/")
        SendReply(transfer::ServeResList(root, request));
    else if (request.path == "/get_thread/")
        SendReply(transfer::ServeThreadFile(root, request));
}

void CServentSocket::CompleteHandshake() {
    if (m_answering) {
        Send("PELMAR OK\r\n");
        Send("Reflect: " + m_peerAddress + "\r\n\r\n");
        LogPeer("send PELMAR OK ");
    }
    m_handshakeSent = true;
    if (!m_heldMessages.empty()) {
        Send(m_heldMessages);
        m_heldMessages.clear();
    }
    m_handshakeLine = false;
    m_messageMode = true;
    m_established = true;
    m_idleTimer.stop();
    m_overlay.Established(*this, !m_answering);
}

void CServentSocket::FeedPostBody(const std::uint8_t* data, std::size_t size) {
    if (m_postAnswered)
        return;
    const std::size_t room = kMaxPostBody - std::min(m_postBody.size(), kMaxPostBody);
    m_postBody.append(reinterpret_cast<const char*>(data), std::min(size, room));
    if (auto reply =
            transfer::ServePostBody(m_overlay.Host().GetThreadDir(), m_request, m_postBody)) {
        SendReply(std::move(*reply));
        m_postAnswered = true;
        m_postBody.clear();
        m_postBody.shrink_to_fit();
    }
}

void CServentSocket::Send(std::string_view bytes) {
    // A socket no longer connected takes nothing; its bytes would be lost anyway.
    if (bytes.empty())
        return;
    const bool plain = m_plain && m_plain->IsOpen();
    if (!plain && (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState))
        return;
    if (!m_streams.empty()) {
        // Keep the order behind a reply that is still streaming.
        struct CFixed : IReplyStream {
            std::string bytes;
            bool Next(std::string& out) override {
                out += bytes;
                return false;
            }
        };
        auto fixed = std::make_unique<CFixed>();
        fixed->bytes.assign(bytes);
        m_streams.push_back(std::move(fixed));
        return;
    }
    if (plain) {
        m_plain->Write(bytes);
        return;
    }
    m_socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
    if (m_messageMode && m_socket->bytesToWrite() > kMaxQueuedBytes) {
        CloseConnection();
        return;
    }
    // A relayed message goes out now rather than on the next turn of the
    // loop: each hop of a flood would otherwise wait for one more turn.
    if (m_messageMode)
        m_socket->flush();
}

void CServentSocket::SendMessage(std::string_view bytes) {
    if (m_requestSeen)
        return;
    if (m_handshakeSent) {
        Send(bytes);
        return;
    }
    // A peer that never completes its handshake is closed by the idle timer;
    // until then what waits for it stays small.
    if (m_heldMessages.size() + bytes.size() <= kMaxHeldMessages)
        m_heldMessages.append(bytes);
}

void CServentSocket::SendReply(CTransferReply reply) {
    Send(reply.bytes);
    if (reply.stream)
        SendStream(std::move(reply.stream));
}

void CServentSocket::SendStream(std::unique_ptr<IReplyStream> stream) {
    if (!m_socket && !(m_plain && m_plain->IsOpen()))
        return;
    m_streams.push_back(std::move(stream));
    PumpStreams();
}

std::int64_t CServentSocket::QueuedBytes() const {
    if (m_socket)
        return m_socket->bytesToWrite();
    return m_plain ? static_cast<std::int64_t>(m_plain->Queued()) : 0;
}

void CServentSocket::WriteOut(std::string_view bytes) {
    if (m_socket)
        m_socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
    else if (m_plain)
        m_plain->Write(bytes);
}

void CServentSocket::PumpStreams() {
    if (!m_socket && !(m_plain && m_plain->IsOpen()))
        return;
    // Small pieces (one response each) are gathered into writes of about
    // kStreamPiece bytes.
    std::string piece;
    while (!m_streams.empty() && QueuedBytes() < kStreamLowWater) {
        piece.clear();
        while (!m_streams.empty() && piece.size() < kStreamPiece) {
            const bool more = m_streams.front()->Next(piece);
            if (!more)
                m_streams.pop_front();
        }
        if (!piece.empty())
            WriteOut(piece);
    }
}

void CServentSocket::OnBytesWritten() {
    PumpStreams();
}

void CServentSocket::CloseConnection() {
    m_closed = true;
    m_closingHere = true;
    m_idleTimer.stop();
    m_streams.clear();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
    if (m_plain)
        m_plain->Close();
    m_overlay.StateChanged();
}

void CServentSocket::OnClose() {
    const bool wasEstablished = m_established;
    m_closed = true;
    m_idleTimer.stop();
    m_streams.clear(); // nobody is left to take the rest of a reply
    m_overlay.Lost(*this, wasEstablished);
}

void CServentSocket::Release() {
    // A sweep may run while one of this connection's signals is being
    // delivered. A transfer client's connection never had a socket object and
    // runs no handler now; deleting it later would only wake the loop again.
    if (CanDeleteNow())
        delete this;
    else
        deleteLater();
}

void CServentSocket::OnIdleTimeout() {
    CloseConnection();
}
