// CBlockingSocket: POSIX TCP client with poll()-bounded waits. Used by the
// fetch worker thread and, for the reflector request, by the GUI thread; each
// socket by one thread at a time.
#include "transfer/BlockingSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until the deadline, rounded up so a poll never wakes early.
int RemainingMs(Clock::time_point deadline) {
    auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

// Waits for the events until the deadline: >0 ready, 0 deadline passed, -1 error.
int PollUntil(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        int result = ::poll(&entry, 1, RemainingMs(deadline));
        if (result < 0 && errno == EINTR)
            continue;
        if (result == 0 && Clock::now() < deadline)
            continue; // woke a little early
        return result;
    }
}

bool ResolveIPv4(const std::string& host, in_addr& address) {
    if (host.empty())
        return false;
    if (::inet_pton(AF_INET, host.c_str(), &address) == 1)
        return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return true;
}

} // namespace

CBlockingSocket::~CBlockingSocket() {
    CloseSocket();
}

bool CBlockingSocket::Create(const std::string& bindAddress) {
    m_bindAddress = bindAddress;
    return Create();
}

bool CBlockingSocket::Create() {
    CloseSocket();
    return OpenSocket();
}

bool CBlockingSocket::OpenSocket() {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return false;
    if (!m_bindAddress.empty()) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = 0;
        if (!ResolveIPv4(m_bindAddress, local.sin_addr) ||
            ::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            CloseSocket();
            return false;
        }
    }
    return true;
}

void CBlockingSocket::CloseSocket() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_connected = false;
}

void CBlockingSocket::Close() {
    CloseSocket();
}

void CBlockingSocket::Adopt(int fd) {
    CloseSocket();
    m_fd = fd;
    m_connected = fd >= 0;
}

int CBlockingSocket::WaitConnected(Clock::time_point deadline) {
    int ready = PollUntil(m_fd, POLLOUT, deadline);
    if (ready == 0)
        return 0;
    if (ready < 0)
        return -1;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
        return -1;
    return 1;
}

bool CBlockingSocket::Connect(const std::string& address, std::uint16_t port) {
    if (m_connected)
        return true;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    if (!ResolveIPv4(address, target.sin_addr))
        return false;

    const Clock::time_point start = Clock::now();
    bool underWay = false;
    for (int attempt = 1; attempt <= kConnectAttempts; ++attempt) {
        const Clock::time_point issueAt = start + attempt * kConnectPause;
        if (underWay) {
            // The pause before this attempt is spent watching the connect
            // already issued, so an accepting peer is taken at once.
            int state = WaitConnected(issueAt);
            if (state > 0)
                return m_connected = true;
            if (state == 0)
                continue; // still under way: this attempt finds it so
            CloseSocket();
            underWay = false;
        }
        std::this_thread::sleep_until(issueAt);
        if (m_fd < 0 && !OpenSocket())
            return false;
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0 ||
            errno == EISCONN)
            return m_connected = true;
        if (errno == EINPROGRESS || errno == EINTR || errno == EALREADY)
            underWay = true;
        else
            CloseSocket(); // refused or unreachable: the next attempt starts afresh
    }
    if (underWay && WaitConnected(Clock::now() + kConnectGrace) > 0)
        return m_connected = true;
    CloseSocket();
    return false;
}

int CBlockingSocket::Send(const void* data, std::size_t length) {
    if (m_fd < 0 || length > static_cast<std::size_t>(INT_MAX))
        return -1;
    const char* bytes = static_cast<const char*>(data);
    std::size_t sent = 0;
    while (sent < length) {
        ssize_t taken = ::send(m_fd, bytes + sent, length - sent, MSG_NOSIGNAL);
        if (taken > 0) {
            sent += static_cast<std::size_t>(taken);
            continue;
        }
        if (taken < 0 && errno == EINTR)
            continue;
        if (taken < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The socket's buffer is full: wait until the peer reads some.
            if (PollUntil(m_fd, POLLOUT, Clock::now() + kSendStall) <= 0)
                return -1;
            continue;
        }
        return -1;
    }
    return static_cast<int>(length);
}

int CBlockingSocket::Receive(void* buffer, std::size_t size) {
    if (m_fd < 0 || (!buffer && size > 0))
        return -1;
    if (size > static_cast<std::size_t>(INT_MAX))
        size = INT_MAX;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(m_timeout);
    for (;;) {
        ssize_t got = ::recv(m_fd, buffer, size, MSG_DONTWAIT);
        if (got >= 0)
            return static_cast<int>(got);
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return -1;
        if (Clock::now() >= deadline)
            return -1; // no data within the time-out
        if (PollUntil(m_fd, POLLIN, deadline) < 0)
            return -1;
    }
}

bool CBlockingSocket::ResolveHost(const std::string& host, std::string& dottedText) {
    in_addr address{};
    if (!ResolveIPv4(host, address))
        return false;
    char text[INET_ADDRSTRLEN] = {};
    if (!::inet_ntop(AF_INET, &address, text, sizeof text))
        return false;
    dottedText = text;
    return true;
}

bool CBlockingSocket::LocalHostAddress(std::string& dottedText) {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return false;
    return ResolveHost(name, dottedText);
}
