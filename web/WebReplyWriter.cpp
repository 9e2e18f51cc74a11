// CWebReplyWriter: a large answer handed to its socket piece by piece.
#include "web/WebReplyWriter.h"

#include "web/WebConnection.h"
#include "web/WebHeaders.h"

#include <QHttpServerResponder>
#include <QTcpSocket>

#include <algorithm>

CWebReplyWriter* CWebReplyWriter::Start(std::shared_ptr<QHttpServerResponder> responder,
                                        const QByteArray& mimeType,
                                        std::shared_ptr<const std::string> body) {
    QTcpSocket* socket = responder->socket();
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return nullptr;
    responder->writeStatusLine(QHttpServerResponder::StatusCode::Ok);
    responder->writeHeader("Content-Type", mimeType);
    for (const auto& [name, value] : webheaders::kSecurity)
        responder->writeHeader(name, value);
    responder->writeHeader("Content-Length", QByteArray::number(static_cast<qint64>(body->size())));
    auto* writer = new CWebReplyWriter(socket, std::move(responder), std::move(body));
    writer->Fill();
    return writer;
}

CWebReplyWriter::CWebReplyWriter(QTcpSocket* socket,
                                 std::shared_ptr<QHttpServerResponder> responder,
                                 std::shared_ptr<const std::string> body)
    : QObject(socket), m_socket(socket), m_responder(std::move(responder)),
      m_body(std::move(body)) {
    // The connection must not take the socket's drained moments between two
    // pieces for the end of the answer.
    if (CWebConnection* connection = CWebConnection::Of(socket))
        connection->WritingAnswer(true);
    connect(socket, &QTcpSocket::bytesWritten, this, &CWebReplyWriter::Fill);
}

CWebReplyWriter::~CWebReplyWriter() = default;

void CWebReplyWriter::Fill() {
    do {
        const std::size_t piece =
            std::min(static_cast<std::size_t>(kPiece), m_body->size() - m_written);
        // The first call also ends the head, even for an empty body.
        m_responder->writeBody(m_body->data() + m_written, static_cast<qint64>(piece));
        m_written += piece;
    } while (m_written < m_body->size() && m_socket->bytesToWrite() < kPiece);
    if (m_written < m_body->size())
        return;
    if (CWebConnection* connection = CWebConnection::Of(m_socket))
        connection->WritingAnswer(false);
    disconnect(m_socket, nullptr, this, nullptr);
    m_body.reset();
    deleteLater();
}
