// CTcpAcceptor: a listening IPv4 TCP socket that hands every connection it
// accepts to its owner as a QTcpSocket. Runs on the thread that owns it (the
// GUI thread in the node).
//
// The accept loop is our own rather than QTcpServer's: Qt's socket engine
// keeps the first error it ever records, so once a drained backlog has
// reported "try again", running out of descriptors later reads the same and
// QTcpServer retries the failing accept without end. Here a lack of
// descriptors or memory pauses accepting for a second; the connections wait
// in the backlog meanwhile.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>

class QTcpSocket;

class CTcpAcceptor : public QObject {
    Q_OBJECT
public:
    explicit CTcpAcceptor(QObject* parent = nullptr);
    ~CTcpAcceptor() override;

    // Binds bindAddress (every local address when empty) on port (any free
    // port when 0) and starts accepting.
    bool Listen(const std::string& bindAddress, std::uint16_t port);
    // The port listened on; 0 before Listen succeeded.
    std::uint16_t Port() const;
    // From now on connections are handed over as plain descriptors
    // (AcceptedDescriptor) instead of socket objects.
    void SetHandsDescriptors(bool hands) { m_handsDescriptors = hands; }

signals:
    // A new connection; the receiver owns the socket.
    void Accepted(QTcpSocket* socket);
    // A new connection as a non-blocking descriptor, with the peer's IPv4
    // address text and port; the receiver owns the descriptor.
    void AcceptedDescriptor(int descriptor, const std::string& peerAddress, std::uint16_t peerPort);

private:
    void OnReadable();

    int m_descriptor = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_resume;
    bool m_handsDescriptors = false;
};
