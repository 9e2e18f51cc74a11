// pelmar-load-client: a small HTTP/1.0 load client for the transfer benchmark.
// Keeps a number of connections busy with one GET each (a new connection per
// request) or one GET after another on the same connection, reads every reply
// by its Content-Length, and prints the requests answered per second. Single
// threaded (poll); bounded by time and by a request count.
//
//   pelmar-load-client HOST PORT TARGET SECONDS CONNECTIONS close|keepalive [MAX]
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct SConnection {
    int fd = -1;
    std::string input;
    std::size_t sent = 0;
    bool connecting = false;
};

class CLoad {
public:
    CLoad(const sockaddr_in& target, std::string request, bool keepAlive)
        : m_target(target), m_request(std::move(request)), m_keepAlive(keepAlive) {}

    void Run(double seconds, int connections, long maxRequests) {
        std::vector<SConnection> pool(static_cast<std::size_t>(connections));
        const auto start = Clock::now();
        const auto end = start + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(seconds));
        for (SConnection& c : pool)
            Open(c);
        std::vector<pollfd> polls(pool.size());
        while (Clock::now() < end && m_done < maxRequests) {
            for (std::size_t i = 0; i < pool.size(); ++i) {
                const SConnection& c = pool[i];
                const bool writing = c.connecting || c.sent < m_request.size();
                polls[i] = pollfd{c.fd, static_cast<short>(writing ? POLLOUT : POLLIN), 0};
            }
            if (::poll(polls.data(), polls.size(), 100) <= 0)
                continue;
            for (std::size_t i = 0; i < pool.size(); ++i)
                if (polls[i].revents)
                    Step(pool[i], polls[i].revents);
        }
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        for (SConnection& c : pool)
            ::close(c.fd);
        std::printf("requests=%ld errors=%ld seconds=%.2f rps=%.0f bytes=%lld\n", m_done, m_errors,
                    elapsed, m_done / elapsed, m_bytes);
    }

private:
    void Open(SConnection& c) {
        if (c.fd >= 0)
            ::close(c.fd);
        c = SConnection{};
        c.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(c.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        // Closed with a reset, so a long run leaves no TIME_WAIT ports behind.
        const linger reset{1, 0};
        ::setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        if (::connect(c.fd, reinterpret_cast<const sockaddr*>(&m_target), sizeof m_target) != 0 &&
            errno != EINPROGRESS)
            ++m_errors;
        c.connecting = true;
    }

    void Step(SConnection& c, short events) {
        if (events & (POLLERR | POLLHUP | POLLNVAL)) {
            ++m_errors;
            Open(c);
            return;
        }
        c.connecting = false;
        if (c.sent < m_request.size()) {
            const ssize_t n =
                ::send(c.fd, m_request.data() + c.sent, m_request.size() - c.sent, MSG_NOSIGNAL);
            if (n > 0)
                c.sent += static_cast<std::size_t>(n);
            else if (errno != EAGAIN) {
                ++m_errors;
                Open(c);
            }
            return;
        }
        char buffer[65536];
        const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            if (n < 0 && errno == EAGAIN)
                return;
            ++m_errors; // closed before the reply was whole
            Open(c);
            return;
        }
        c.input.append(buffer, static_cast<std::size_t>(n));
        if (!ReplyComplete(c.input))
            return;
        ++m_done;
        m_bytes += static_cast<long long>(c.input.size());
        if (m_keepAlive) {
            c.input.clear();
            c.sent = 0;
        } else {
            Open(c);
        }
    }

    bool ReplyComplete(const std::string& input) {
        const std::size_t headerEnd = input.find("\r\n\r\n");
        if (headerEnd == std::string::npos)
            return false;
        const std::size_t at = input.find("Content-Length: ");
        if (at == std::string::npos || at > headerEnd)
            return true; // a 404 carries no body
        const std::size_t length = std::strtoul(input.c_str() + at + 16, nullptr, 10);
        return input.size() >= headerEnd + 4 + length;
    }

    sockaddr_in m_target;
    std::string m_request;
    bool m_keepAlive;
    long m_done = 0;
    long m_errors = 0;
    long long m_bytes = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 7) {
        std::fprintf(stderr,
                     "usage: %s HOST PORT TARGET SECONDS CONNECTIONS close|keepalive [MAX]\n",
                     argv[0]);
        return 2;
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[2])));
    if (::inet_pton(AF_INET, argv[1], &target.sin_addr) != 1)
        return 2;
    const bool keepAlive = std::strcmp(argv[6], "keepalive") == 0;
    const long maxRequests = argc > 7 ? std::atol(argv[7]) : 10000000L;
    std::string request = std::string("GET ") + argv[3] + " HTTP/1.0\r\n";
    if (keepAlive)
        request += "Connection: keep-alive\r\n";
    request += "\r\n";
    CLoad(target, request, keepAlive).Run(std::atof(argv[4]), std::atoi(argv[5]), maxRequests);
    return 0;
}
