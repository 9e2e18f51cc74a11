// The web port's bounds over real sockets: stalled and silent connections are
// closed after their limits (shortened here), a request may end its
// connection, and connections past the cap are refused while the overlay
// port still answers.
#include "support/RawPeer.h"
#include "web/WebFixture.h"

namespace {

// A connection of the test's own that keeps what it receives and tells when
// the node closed it.
struct OpenConnection {
    QTcpSocket socket;
    std::string received;

    OpenConnection(const char* address, quint16 port) {
        socket.connectToHost(QString::fromLatin1(address), port);
        // A refused connection may be closed again before it is seen open.
        WaitUntil(
            [&] {
                return socket.state() == QAbstractSocket::ConnectedState ||
                       socket.state() == QAbstractSocket::UnconnectedState;
            },
            5000);
    }
    void Send(const std::string& bytes) {
        socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
    bool WaitClosed(int timeoutMs = 5000) {
        return WaitUntil(
            [&] {
                received += socket.readAll().toStdString();
                return socket.state() == QAbstractSocket::UnconnectedState;
            },
            timeoutMs);
    }
    // Bytes until text has arrived.
    bool WaitFor(const std::string& text, int timeoutMs = 5000) {
        return WaitUntil(
            [&] {
                received += socket.readAll().toStdString();
                return received.find(text) != std::string::npos;
            },
            timeoutMs);
    }
};

} // namespace

class WebServingTest : public WebFixture {
protected:
    std::string Request(const std::string& version, const std::string& extra = {}) const {
        return "GET /api/status " + version + "\r\nHost: " + std::string(kAddress) + ":" +
               std::to_string(web->Port()) + "\r\nAuthorization: Bearer " + web->Token() + "\r\n" +
               extra + "\r\n";
    }
    void Restart(int headerMs, int idleMs, int maxConnections, qint64 requestBytes = 256 * 1024) {
        StopNode();
        limits.connection.requestBytes = requestBytes;
        limits.connection.headerMs = headerMs;
        limits.connection.idleMs = idleMs;
        limits.maxConnections = maxConnections;
        StartNode();
    }
};

TEST_F(WebServingTest, StalledAndSilentConnectionsAreClosedAfterTheirLimits) {
    Restart(300, 600, 64);
    const struct {
        const char* what;
        std::string sent;
        const char* answer; // what arrives before the close
    } cases[] = {
        {"nothing sent", "", "408"},
        {"a head never finished", "GET /api/status HTTP/1.1\r\nHost: x", "408"},
        {"silent after an answer", "", "200"},
    };
    for (const auto& c : cases) {
        OpenConnection connection(kAddress, web->Port());
        connection.Send(c.answer == std::string("200") ? Request("HTTP/1.1") : c.sent);
        EXPECT_TRUE(connection.WaitClosed()) << c.what;
        EXPECT_EQ(connection.received.rfind(std::string("HTTP/1.1 ") + c.answer, 0), 0u)
            << c.what << ": " << connection.received;
    }
}

TEST_F(WebServingTest, ConnectionCloseAndHttp10EndTheConnectionAfterTheAnswer) {
    const struct {
        std::string version;
        std::string extra;
        bool closes;
    } cases[] = {
        {"HTTP/1.1", "Connection: close\r\n", true},
        {"HTTP/1.1", "Connection: keep-alive, Close\r\n", true},
        {"HTTP/1.0", "", true},
        {"HTTP/1.0", "Connection: keep-alive\r\n", false},
        {"HTTP/1.1", "", false},
    };
    for (const auto& c : cases) {
        OpenConnection connection(kAddress, web->Port());
        connection.Send(Request(c.version, c.extra));
        ASSERT_TRUE(connection.WaitFor("\"serventId\"")) << c.version << " " << c.extra;
        if (c.closes) {
            EXPECT_TRUE(connection.WaitClosed()) << c.version << " " << c.extra;
        } else {
            // Still there: a second request on it is answered too.
            connection.received.clear();
            connection.Send(Request(c.version, c.extra));
            EXPECT_TRUE(connection.WaitFor("\"serventId\"")) << c.version << " " << c.extra;
        }
    }
}

TEST_F(WebServingTest, ConnectionsPastTheCapGet503WhileTheOverlayPortAnswers) {
    Restart(30'000, 60'000, 4);
    std::vector<std::unique_ptr<OpenConnection>> idle;
    for (int i = 0; i < 4; ++i)
        idle.push_back(std::make_unique<OpenConnection>(kAddress, web->Port()));
    ASSERT_TRUE(WaitUntil([&] { return web->OpenConnections() == 4; }));

    OpenConnection refused(kAddress, web->Port());
    refused.Send(Request("HTTP/1.1"));
    EXPECT_TRUE(refused.WaitClosed());
    EXPECT_EQ(refused.received.rfind("HTTP/1.1 503", 0), 0u) << refused.received;
    EXPECT_NE(refused.received.find("X-Frame-Options: DENY"), std::string::npos);

    RawPeer peer(kAddress);
    EXPECT_TRUE(JoinNode(peer, kAddress, kOverlayPort));

    // A closed connection makes room again.
    idle.pop_back();
    ASSERT_TRUE(WaitUntil([&] { return web->OpenConnections() == 3; }));
    EXPECT_EQ(client->Get("/api/status").status, 200);
}

TEST_F(WebServingTest, EventStreamOutlivesTheLimitsButNotItsClientsFlood) {
    Restart(300, 600, 64, 4096);
    OpenConnection stream(kAddress, web->Port());
    stream.Send("GET /api/events HTTP/1.1\r\nHost: " + std::string(kAddress) + ":" +
                std::to_string(web->Port()) + "\r\nAuthorization: Bearer " + web->Token() +
                "\r\n\r\n");
    ASSERT_TRUE(stream.WaitFor("retry:"));
    // Well past both time limits, still open and told of changes.
    EXPECT_FALSE(stream.WaitClosed(1500));
    doc->RefreshThreadList();
    EXPECT_TRUE(stream.WaitFor("event: threads"));
    // Events are no answers: what the client sends meanwhile adds up.
    for (int i = 0; i < 3 && stream.socket.state() == QAbstractSocket::ConnectedState; ++i) {
        stream.Send(std::string(2000, 'x'));
        doc->RefreshThreadList();
        WaitUntil([&] { return stream.socket.bytesToWrite() == 0; }, 2000);
    }
    EXPECT_TRUE(stream.WaitClosed());
}
