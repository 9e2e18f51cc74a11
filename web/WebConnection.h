// CWebConnection: the rules one connection of the web port lives by, kept
// beside the HTTP server that reads and answers it. It reads along the
// request heads without taking bytes from the server and
// - answers 413 and closes when a request grows past the bound before it is
//   answered, so no client makes the node hold an unbounded request;
// - answers 408 and closes when a head is not complete within the header
//   limit (counted from the connection's start, then from the first byte of
//   each further request), and closes a connection silent in both ways for
//   the idle limit, so a stalled client does not keep a descriptor;
// - closes after the answer when the request asks for it ("Connection:
//   close", or HTTP/1.0 without "keep-alive").
// An event stream is kept open instead. Lives as a child of its socket. GUI
// thread.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

class QTcpSocket;

class CWebConnection : public QObject {
    Q_OBJECT
public:
    struct Limits {
        int headerMs = 30'000;
        int idleMs = 60'000;
        qint64 requestBytes = 256 * 1024; // headers and body of one request
    };

    // Must be made before the HTTP server connects its reader, so that it
    // sees each arrival first.
    CWebConnection(QTcpSocket* socket, const Limits& limits);

    // The guard of a socket that CWebListener accepted, else null.
    static CWebConnection* Of(QTcpSocket* socket);

    // The answer goes on for as long as the client stays (an event stream):
    // neither time limit applies and it is not closed after its head.
    void KeepOpen();
    // An answer is being written a piece at a time (CWebReplyWriter): the
    // socket running dry between two pieces is not its end.
    void WritingAnswer(bool writing) { m_writingAnswer = writing; }

private:
    enum class Reading { Head, Body, Unknown };

    void OnReadyRead();
    void OnBytesWritten();
    // Follows the request heads through newly arrived bytes.
    void Follow(QByteArray bytes);
    void TakeHead(const QByteArray& head);
    void Refuse(const QByteArray& answer);

    QTcpSocket* m_socket;
    Limits m_limits;
    QTimer m_headerTimer;
    QTimer m_idleTimer;
    qint64 m_sinceAnswer = 0;
    bool m_refused = false;
    bool m_closeAfterAnswer = false;
    bool m_keepOpen = false;
    bool m_writingAnswer = false;
    Reading m_reading = Reading::Head;
    QByteArray m_head;
    qint64 m_bodyLeft = 0;
};
