// CWebReplyWriter: one answer made on the web worker, written to its socket
// a piece at a time as the socket drains, straight from the buffer the worker
// filled. However large the answer (a thread of 30,000 responses is some
// 10 MB), the GUI thread, which also serves the overlay and the transfer
// port, never copies or holds more than a piece of it at once. A child of
// the socket: it goes with the socket, or once its last piece is handed over,
// and with it the buffer. GUI thread.
#pragma once

#include <QByteArray>
#include <QObject>

#include <memory>
#include <string>

class QHttpServerResponder;
class QTcpSocket;

class CWebReplyWriter : public QObject {
    Q_OBJECT
public:
    // What the socket may hold unsent before the next piece is handed over.
    static constexpr qint64 kPiece = 256 * 1024;

    // Writes the head (200, the type, the length and the security headers)
    // now and the body as the socket drains. Returns the writer, which a
    // caller may watch for its end (destroyed), or null when the socket is
    // gone.
    static CWebReplyWriter* Start(std::shared_ptr<QHttpServerResponder> responder,
                                  const QByteArray& mimeType,
                                  std::shared_ptr<const std::string> body);
    ~CWebReplyWriter() override;

private:
    CWebReplyWriter(QTcpSocket* socket, std::shared_ptr<QHttpServerResponder> responder,
                    std::shared_ptr<const std::string> body);
    void Fill();

    QTcpSocket* m_socket; // the parent
    std::shared_ptr<QHttpServerResponder> m_responder;
    std::shared_ptr<const std::string> m_body;
    std::size_t m_written = 0;
};
