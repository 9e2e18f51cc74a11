// Tests of the pelmar-reflector tool, spoken to as a node would: the request
// from the joining texts over a CBlockingSocket, the reply read line by line.
#include "app/ReflectorReply.h"
#include "transfer/BlockingSocket.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

// A listening socket on the given loopback address and a free port.
struct Listener {
    explicit Listener(const char* address) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, address, &local.sin_addr);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
        EXPECT_EQ(::listen(fd, 8), 0);
        socklen_t length = sizeof local;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
        port = ntohs(local.sin_port);
    }
    ~Listener() { ::close(fd); }
    int fd = -1;
    std::uint16_t port = 0;
};

// A port on the address that nothing listens on (bound, so nobody takes it).
struct ClosedPort {
    explicit ClosedPort(const char* address) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, address, &local.sin_addr);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
        socklen_t length = sizeof local;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
        port = ntohs(local.sin_port);
    }
    ~ClosedPort() { ::close(fd); }
    int fd = -1;
    std::uint16_t port = 0;
};

class ReflectorServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_process.setProgram(REFLECTOR_PATH);
        m_process.setArguments({"--address", "127.0.0.1", "--port", "0"});
        m_process.start();
        ASSERT_TRUE(m_process.waitForStarted(5000));
        for (int i = 0; i < 50 && !m_process.canReadLine(); ++i)
            m_process.waitForReadyRead(100);
        QByteArray line = m_process.readLine().trimmed();
        ASSERT_TRUE(line.startsWith("pelmar-reflector listening on 127.0.0.1:")) << line.data();
        m_port = static_cast<std::uint16_t>(line.mid(line.lastIndexOf(':') + 1).toUInt());
        ASSERT_NE(m_port, 0);
    }
    void TearDown() override {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    // Asks the reflector from the given address with the given listen port.
    CReflectorReply Ask(const char* from, std::uint16_t listenPort, const char* path = "/r") {
        CBlockingSocket socket;
        socket.SetTimeout(5);
        EXPECT_TRUE(socket.Create(from));
        EXPECT_TRUE(socket.Connect("127.0.0.1", m_port));
        std::string request = BuildReflectorRequest(AddPortQuery(path, listenPort));
        EXPECT_EQ(socket.Send(request), static_cast<int>(request.size()));
        std::string reply;
        char piece[1000];
        for (int i = 0; i < 1000; ++i) {
            int got = socket.Receive(piece, sizeof piece);
            if (got <= 0)
                break;
            reply.append(piece, static_cast<std::size_t>(got));
        }
        socket.Close();
        EXPECT_EQ(reply.rfind("HTTP/1.0 200 OK\r\n", 0), 0u) << reply;
        return CReflectorReply::Parse(CReflectorReply::SplitBody(reply));
    }

    QProcess m_process;
    std::uint16_t m_port = 0;
};

} // namespace

TEST_F(ReflectorServiceTest, ReachableCallerIsOpenAndUnreachableIsClose) {
    Listener node("127.0.0.2");
    CReflectorReply first = Ask("127.0.0.2", node.port);
    ASSERT_TRUE(first.hasReport);
    EXPECT_EQ(first.address, "127.0.0.2");
    EXPECT_EQ(first.status, "open");
    EXPECT_TRUE(first.peers.empty());

    ClosedPort silent("127.0.0.3");
    CReflectorReply second = Ask("127.0.0.3", silent.port, "/cgi/r.cgi?net=x");
    ASSERT_TRUE(second.hasReport);
    EXPECT_EQ(second.address, "127.0.0.3");
    EXPECT_EQ(second.status, "close");
    ASSERT_EQ(second.peers.size(), 1u);
    EXPECT_EQ(second.peers[0].host, "127.0.0.2");
    EXPECT_EQ(second.peers[0].port, node.port);
}

TEST_F(ReflectorServiceTest, ListsFourEarlierCallersNewestFirstWithoutTheCaller) {
    const char* addresses[5] = {"127.0.0.11", "127.0.0.12", "127.0.0.13", "127.0.0.14",
                                "127.0.0.15"};
    std::vector<std::unique_ptr<ClosedPort>> ports;
    for (const char* address : addresses) {
        ports.push_back(std::make_unique<ClosedPort>(address));
        Ask(address, ports.back()->port);
    }
    // 127.0.0.15 asks again: it is not listed to itself.
    CReflectorReply reply = Ask(addresses[4], ports[4]->port);
    ASSERT_EQ(reply.peers.size(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(reply.peers[i].host, addresses[3 - i]);
}
