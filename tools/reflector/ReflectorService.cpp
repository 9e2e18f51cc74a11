// CReflectorService: answers "GET /any/path?port=N HTTP/1.0" with the caller's
// address and reachability and the nodes that asked before. Main thread only.
#include "ReflectorService.h"

#include <QByteArray>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

// Every reply line starts with 20 characters that a node skips.
constexpr char kReportLabel[] = "REFLECTOR_ADDRESS   ";
constexpr char kNodeLabel[] = "REFLECTOR_NODE      ";
static_assert(sizeof kReportLabel - 1 == 20 && sizeof kNodeLabel - 1 == 20);

QString AddressText(const QHostAddress& address) {
    bool isIPv4 = false;
    quint32 ipv4 = address.toIPv4Address(&isIPv4);
    return isIPv4 ? QHostAddress(ipv4).toString() : address.toString();
}

// The value of "port=" in the query of a request target; 0 when absent or bad.
quint16 QueryPort(const QByteArray& target) {
    qsizetype question = target.indexOf('?');
    if (question < 0)
        return 0;
    const QList<QByteArray> pairs = target.mid(question + 1).split('&');
    for (const QByteArray& pair : pairs) {
        if (!pair.startsWith("port="))
            continue;
        bool ok = false;
        uint value = pair.mid(5).toUInt(&ok, 10);
        if (ok && value >= 1 && value <= 65535)
            return static_cast<quint16>(value);
    }
    return 0;
}

} // namespace

CReflectorService::CReflectorService(QObject* parent) : QObject(parent) {
    connect(&m_acceptor, &CTcpAcceptor::Accepted, this, &CReflectorService::OnNewConnection);
}

bool CReflectorService::Listen(const QHostAddress& address, quint16 port) {
    m_listenAddress = address;
    return m_acceptor.Listen(address.toString().toStdString(), port);
}

void CReflectorService::OnNewConnection(QTcpSocket* client) {
    client->setParent(this);
    connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
    connect(client, &QTcpSocket::readyRead, this, [this, client] { OnRequestBytes(client); });
    // A caller that never finishes its request is dropped.
    QTimer::singleShot(kRequestMs, client, [client] {
        client->abort();
        client->deleteLater();
    });
}

void CReflectorService::OnRequestBytes(QTcpSocket* client) {
    if (client->property("answering").toBool()) {
        client->readAll();
        return;
    }
    QByteArray request = client->property("request").toByteArray() + client->readAll();
    if (request.size() > kMaxRequestBytes) {
        client->abort();
        client->deleteLater();
        return;
    }
    client->setProperty("request", request);
    if (!request.contains("\r\n\r\n") && !request.contains("\n\n"))
        return;
    client->setProperty("answering", true);

    qsizetype lineEnd = request.indexOf('\n');
    const QList<QByteArray> words = request.left(lineEnd).trimmed().split(' ');
    const QString caller = AddressText(client->peerAddress());
    quint16 port = words.size() == 3 && words[0] == "GET" ? QueryPort(words[1]) : 0;
    if (port == 0) {
        std::fprintf(stderr, "bad request from %s\n", qPrintable(caller));
        client->write("HTTP/1.0 400 Bad Request\r\nContent-Type: text/plain\r\n\r\n");
        client->disconnectFromHost();
        return;
    }
    Probe(client, caller, port);
}

void CReflectorService::Probe(QTcpSocket* client, const QString& address, quint16 port) {
    auto* probe = new QTcpSocket(client);
    // The probe asks whether the caller is reachable directly, never through a proxy.
    probe->setProxy(QNetworkProxy::NoProxy);
    auto done = std::make_shared<bool>(false);
    auto finish = [this, client, probe, address, port, done](bool open) {
        if (*done)
            return;
        *done = true;
        probe->abort();
        probe->deleteLater();
        Answer(client, address, port, open);
    };
    connect(probe, &QTcpSocket::connected, client, [finish] { finish(true); });
    connect(probe, &QTcpSocket::errorOccurred, client, [finish] { finish(false); });
    QTimer::singleShot(kProbeMs, probe, [finish] { finish(false); });
    // The probe comes from the address the service listens on, so a reflector
    // on 127.0.0.1 reaches nodes on 127.0.0.x the same way a remote one would.
    if (m_listenAddress != QHostAddress::AnyIPv4)
        probe->bind(m_listenAddress, 0);
    probe->connectToHost(QHostAddress(address), port);
}

void CReflectorService::Answer(QTcpSocket* client, const QString& address, quint16 port,
                               bool open) {
    QByteArray reply = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
    reply += kReportLabel;
    reply += address.toLatin1() + (open ? ":open" : ":close") + "\r\n";
    int listed = 0;
    for (const Node& node : m_nodes) {
        if (listed == kListedNodes)
            break;
        if (node.address == address && node.port == port)
            continue;
        reply += kNodeLabel;
        reply += node.address.toLatin1() + ':' + QByteArray::number(node.port) + "\r\n";
        ++listed;
    }
    std::fprintf(stderr, "%s port %u: %s, %d nodes listed\n", qPrintable(address),
                 static_cast<unsigned>(port), open ? "open" : "close", listed);
    client->write(reply);
    client->disconnectFromHost();
    Remember(address, port);
}

void CReflectorService::Remember(const QString& address, quint16 port) {
    for (auto it = m_nodes.begin(); it != m_nodes.end(); ++it) {
        if (it->address == address && it->port == port) {
            m_nodes.erase(it);
            break;
        }
    }
    m_nodes.push_front(Node{address, port});
    if (m_nodes.size() > static_cast<std::size_t>(kRememberedNodes))
        m_nodes.pop_back();
}
