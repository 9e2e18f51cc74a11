// Tests of CBlockingSocket against plain POSIX peers on loopback: connect
// attempts, receive time-outs, peer close, large sends and the bind address.
#include "transfer/BlockingSocket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A TCP socket bound to 127.0.0.1 on a free port; listening unless asked not
// to, in which case connects to its port are refused.
class Peer {
public:
    explicit Peer(bool listening = true, const char* address = "127.0.0.1") {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, address, &local.sin_addr);
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
        socklen_t length = sizeof local;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length);
        m_port = ntohs(local.sin_port);
        if (listening) {
            EXPECT_EQ(::listen(m_fd, 8), 0);
        }
    }
    ~Peer() {
        if (m_conn >= 0)
            ::close(m_conn);
        ::close(m_fd);
    }
    std::uint16_t Port() const { return m_port; }

    // Accepts one connection within two seconds; returns the peer's address.
    std::string Accept() {
        pollfd entry{m_fd, POLLIN, 0};
        if (::poll(&entry, 1, 2000) != 1)
            return {};
        sockaddr_in remote{};
        socklen_t length = sizeof remote;
        m_conn = ::accept(m_fd, reinterpret_cast<sockaddr*>(&remote), &length);
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &remote.sin_addr, text, sizeof text);
        return text;
    }
    int Connection() const { return m_conn; }
    void CloseConnection() {
        ::close(m_conn);
        m_conn = -1;
    }

private:
    int m_fd = -1;
    int m_conn = -1;
    std::uint16_t m_port = 0;
};

class BlockingSocketTest : public ::testing::Test {
protected:
    // A client connected to the peer, with the peer's side accepted.
    void ConnectTo(Peer& peer) {
        ASSERT_TRUE(m_socket.Create());
        ASSERT_TRUE(m_socket.Connect("127.0.0.1", peer.Port()));
        ASSERT_EQ(peer.Accept(), "127.0.0.1");
    }
    CBlockingSocket m_socket;
};

} // namespace

TEST_F(BlockingSocketTest, RefusedConnectFailsAfterThreeAttempts) {
    Peer closed(false);
    ASSERT_TRUE(m_socket.Create());
    Clock::time_point start = Clock::now();
    EXPECT_FALSE(m_socket.Connect("127.0.0.1", closed.Port()));
    double elapsed = SecondsSince(start);
    EXPECT_GE(elapsed, 0.7);
    EXPECT_LT(elapsed, 5.0); // bounds leave room for a busy machine
    EXPECT_FALSE(m_socket.IsConnected());
}

TEST_F(BlockingSocketTest, ConnectToListenerSucceedsAndRepeatedConnectCountsAsSuccess) {
    Peer peer;
    ConnectTo(peer);
    EXPECT_TRUE(m_socket.IsConnected());
    EXPECT_TRUE(m_socket.Connect("127.0.0.1", peer.Port()));
}

TEST_F(BlockingSocketTest, UnresolvableHostFails) {
    ASSERT_TRUE(m_socket.Create());
    EXPECT_FALSE(m_socket.Connect("", 6340));
}

TEST_F(BlockingSocketTest, BytesTravelBothWays) {
    Peer peer;
    ConnectTo(peer);
    EXPECT_EQ(m_socket.Send(std::string("GET / HTTP/1.0\r\n\r\n")), 18);
    char request[64] = {};
    EXPECT_EQ(::recv(peer.Connection(), request, sizeof request, 0), 18);
    ASSERT_EQ(::send(peer.Connection(), "reply", 5, 0), 5);
    char reply[16] = {};
    EXPECT_EQ(m_socket.Receive(reply, sizeof reply), 5);
    EXPECT_EQ(std::string(reply, 5), "reply");
}

TEST_F(BlockingSocketTest, SilentPeerTimesOutAfterTwoToThreeSecondsByDefault) {
    Peer peer;
    ConnectTo(peer);
    char buffer[16];
    Clock::time_point start = Clock::now();
    EXPECT_EQ(m_socket.Receive(buffer, sizeof buffer), -1);
    double elapsed = SecondsSince(start);
    EXPECT_GE(elapsed, 2.0);
    EXPECT_LT(elapsed, 6.0);
}

TEST_F(BlockingSocketTest, SilentPeerTimesOutAfterFiveToSixSecondsWithTimeoutFive) {
    Peer peer;
    m_socket.SetTimeout(5);
    ConnectTo(peer);
    char buffer[16];
    Clock::time_point start = Clock::now();
    EXPECT_EQ(m_socket.Receive(buffer, sizeof buffer), -1);
    double elapsed = SecondsSince(start);
    EXPECT_GE(elapsed, 5.0);
    EXPECT_LT(elapsed, 10.0);
}

TEST_F(BlockingSocketTest, PeerCloseGivesZeroWithoutWaitingForTheTimeout) {
    Peer peer;
    m_socket.SetTimeout(5);
    ConnectTo(peer);
    peer.CloseConnection();
    char buffer[16];
    Clock::time_point start = Clock::now();
    EXPECT_EQ(m_socket.Receive(buffer, sizeof buffer), 0);
    EXPECT_LT(SecondsSince(start), 4.0); // well short of the timeout
}

TEST_F(BlockingSocketTest, LargeSendToSlowReaderArrivesWholeAndInOrder) {
    Peer peer;
    ConnectTo(peer);
    std::string data(8 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 7 + i / 4096) & 0xff);

    std::string received;
    std::thread reader([&] {
        char chunk[32 * 1024];
        for (int rounds = 0; rounds < 100000 && received.size() < data.size(); ++rounds) {
            pollfd entry{peer.Connection(), POLLIN, 0};
            if (::poll(&entry, 1, 5000) != 1)
                break;
            ssize_t got = ::recv(peer.Connection(), chunk, sizeof chunk, 0);
            if (got <= 0)
                break;
            received.append(chunk, static_cast<std::size_t>(got));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    EXPECT_EQ(m_socket.Send(data.data(), data.size()), static_cast<int>(data.size()));
    reader.join();
    EXPECT_TRUE(received == data);
}

TEST_F(BlockingSocketTest, SendAndReceiveWithoutConnectionFail) {
    char buffer[4];
    EXPECT_EQ(m_socket.Send("x", 1), -1);
    EXPECT_EQ(m_socket.Receive(buffer, sizeof buffer), -1);
}

TEST_F(BlockingSocketTest, OutgoingConnectionComesFromTheBindAddress) {
    Peer peer;
    ASSERT_TRUE(m_socket.Create("127.0.0.2"));
    ASSERT_TRUE(m_socket.Connect("127.0.0.1", peer.Port()));
    EXPECT_EQ(peer.Accept(), "127.0.0.2");
}

TEST_F(BlockingSocketTest, BindAddressNotOnThisMachineFailsCreate) {
    EXPECT_FALSE(m_socket.Create("203.0.113.7"));
}

TEST(BlockingSocketResolveTest, DottedTextAndLocalhostResolve) {
    std::string text;
    ASSERT_TRUE(CBlockingSocket::ResolveHost("127.0.0.5", text));
    EXPECT_EQ(text, "127.0.0.5");
    ASSERT_TRUE(CBlockingSocket::ResolveHost("localhost", text));
    EXPECT_EQ(text.rfind("127.", 0), 0u);
    EXPECT_FALSE(CBlockingSocket::ResolveHost("", text));
}
