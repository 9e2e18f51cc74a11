// CListenSocket: the node's listener. Every incoming connection is accepted,
// appended to the document's list, and triggers the sweep of closed ones.
// GUI thread only.
//
// The accept loop is our own rather than QTcpServer's: Qt's socket engine
// keeps the first error it ever records, so once a drained backlog has
// reported "try again", running out of descriptors later reads the same and
// QTcpServer retries the failing accept without end. Here a lack of
// descriptors pauses the listener for a second instead.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>

class CPelmarDoc;

class CListenSocket : public QObject {
    Q_OBJECT
public:
    explicit CListenSocket(CPelmarDoc& doc);
    ~CListenSocket() override;
    // Binds bindAddress (every local address when empty) on port.
    bool Listen(const std::string& bindAddress, std::uint16_t port);

private slots:
    void OnAccept();

private:
    CPelmarDoc& m_doc;
    int m_descriptor = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_resume; // re-arms the listener after running out of descriptors
};
