// CWebConnection: time limits, the size bound and closing after an answer.
#include "web/WebConnection.h"

#include "web/WebHeaders.h"

#include <QTcpSocket>

namespace {

// A refused client that does not read its answer still loses the connection.
constexpr int kLingerMs = 2000;

bool HasToken(const QByteArray& list, const char* token) {
    for (const QByteArray& item : list.split(','))
        if (item.trimmed().compare(token, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

CWebConnection::CWebConnection(QTcpSocket* socket, const Limits& limits)
    : QObject(socket), m_socket(socket), m_limits(limits) {
    m_headerTimer.setSingleShot(true);
    m_idleTimer.setSingleShot(true);
    connect(&m_headerTimer, &QTimer::timeout, this, [this] {
        Refuse(webheaders::ClosingAnswer("408 Request Timeout", "request took too long"));
    });
    connect(&m_idleTimer, &QTimer::timeout, this, [this] { m_socket->abort(); });
    connect(socket, &QTcpSocket::readyRead, this, &CWebConnection::OnReadyRead);
    connect(socket, &QTcpSocket::bytesWritten, this, &CWebConnection::OnBytesWritten);
    // A client that connects and sends nothing is held to the header limit too.
    m_headerTimer.start(m_limits.headerMs);
    m_idleTimer.start(m_limits.idleMs);
}

CWebConnection* CWebConnection::Of(QTcpSocket* socket) {
    return socket ? socket->findChild<CWebConnection*>(QString(), Qt::FindDirectChildrenOnly)
                  : nullptr;
}

void CWebConnection::KeepOpen() {
    m_keepOpen = true;
    m_closeAfterAnswer = false;
    m_headerTimer.stop();
    m_idleTimer.stop();
}

void CWebConnection::OnReadyRead() {
    if (m_refused) {
        m_socket->readAll(); // the server never sees it
        return;
    }
    if (!m_keepOpen)
        m_idleTimer.start(m_limits.idleMs);
    // The server reads all that has arrived each time, so what is buffered
    // here is what came since.
    const qint64 arrived = m_socket->bytesAvailable();
    m_sinceAnswer += arrived;
    if (m_sinceAnswer > m_limits.requestBytes) {
        m_socket->readAll();
        Refuse(webheaders::ClosingAnswer("413 Payload Too Large", "request too large"));
        return;
    }
    Follow(m_socket->peek(arrived));
}

void CWebConnection::Follow(QByteArray bytes) {
    while (!bytes.isEmpty()) {
        switch (m_reading) {
        case Reading::Head: {
            if (m_head.isEmpty() && !m_keepOpen && !m_headerTimer.isActive())
                m_headerTimer.start(m_limits.headerMs);
            const qsizetype before = m_head.size();
            m_head += bytes;
            const qsizetype end = m_head.indexOf("\r\n\r\n");
            if (end < 0)
                return; // the size bound keeps this finite
            const qsizetype used = end + 4 - before;
            TakeHead(m_head.left(end));
            m_head.clear();
            bytes.remove(0, used);
            break;
        }
        case Reading::Body: {
            const qint64 taken = std::min<qint64>(m_bodyLeft, bytes.size());
            m_bodyLeft -= taken;
            bytes.remove(0, taken);
            if (m_bodyLeft == 0)
                m_reading = Reading::Head;
            break;
        }
        case Reading::Unknown:
            return; // a chunked body: the next head is looked for after the answer
        }
    }
}

void CWebConnection::TakeHead(const QByteArray& head) {
    m_headerTimer.stop();
    const QList<QByteArray> lines = head.split('\n');
    const QByteArray requestLine = lines.value(0).trimmed();
    bool closeAsked = false;
    bool keepAlive = false;
    bool chunked = false;
    qint64 length = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "connection") {
            closeAsked = HasToken(value, "close");
            keepAlive = HasToken(value, "keep-alive");
        } else if (name == "content-length") {
            length = value.toLongLong();
        } else if (name == "transfer-encoding") {
            chunked = HasToken(value, "chunked");
        }
    }
    // HTTP/1.0 closes unless it asks to stay.
    const bool http10 = requestLine.endsWith("HTTP/1.0");
    m_closeAfterAnswer = m_closeAfterAnswer || closeAsked || (http10 && !keepAlive);
    m_bodyLeft = std::max<qint64>(length, 0);
    m_reading = chunked ? Reading::Unknown : m_bodyLeft > 0 ? Reading::Body : Reading::Head;
}

void CWebConnection::OnBytesWritten() {
    // An event is no answer: what the client of a stream sends is counted
    // for as long as it stays.
    if (m_keepOpen)
        return;
    // Anything else written is an answer: the next request starts afresh.
    m_sinceAnswer = 0;
    if (m_reading == Reading::Unknown) {
        m_reading = Reading::Head;
        m_head.clear();
    }
    if (m_refused)
        return;
    m_idleTimer.start(m_limits.idleMs);
    if (m_closeAfterAnswer && !m_writingAnswer && m_socket->bytesToWrite() == 0)
        m_socket->disconnectFromHost();
}

void CWebConnection::Refuse(const QByteArray& answer) {
    if (m_refused)
        return;
    m_refused = true;
    m_headerTimer.stop();
    m_idleTimer.stop();
    m_socket->write(answer);
    m_socket->disconnectFromHost();
    QTimer::singleShot(kLingerMs, m_socket, [socket = m_socket] { socket->abort(); });
}
