// CTcpAcceptor: the listening socket and its accept loop.
#include "app/TcpAcceptor.h"

#include <QNetworkProxy>
#include <QTcpSocket>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kBacklog = 64;
constexpr int kResumeAfterMs = 1000;

} // namespace

CTcpAcceptor::CTcpAcceptor(QObject* parent) : QObject(parent) {
    m_resume.setSingleShot(true);
    m_resume.setInterval(kResumeAfterMs);
    connect(&m_resume, &QTimer::timeout, this, [this] { m_notifier->setEnabled(true); });
}

CTcpAcceptor::~CTcpAcceptor() {
    m_notifier.reset();
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

bool CTcpAcceptor::Listen(const std::string& bindAddress, std::uint16_t port) {
    if (m_descriptor >= 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (bindAddress.empty())
        address.sin_addr.s_addr = htonl(INADDR_ANY);
    else if (::inet_pton(AF_INET, bindAddress.c_str(), &address.sin_addr) != 1)
        return false;

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, kBacklog) != 0) {
        ::close(fd);
        return false;
    }
    m_descriptor = fd;
    m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &CTcpAcceptor::OnReadable);
    return true;
}

std::uint16_t CTcpAcceptor::Port() const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (m_descriptor < 0 ||
        ::getsockname(m_descriptor, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

void CTcpAcceptor::OnReadable() {
    for (;;) {
        sockaddr_in peer{};
        socklen_t peerLength = sizeof peer;
        const int fd = ::accept4(m_descriptor, reinterpret_cast<sockaddr*>(&peer), &peerLength,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                m_notifier->setEnabled(false);
                m_resume.start();
            }
            return;
        }
        if (m_handsDescriptors) {
            char text[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
            emit AcceptedDescriptor(fd, text, ntohs(peer.sin_port));
            continue;
        }
        auto* socket = new QTcpSocket;
        socket->setProxy(QNetworkProxy::NoProxy); // an accepted peer is direct
        if (!socket->setSocketDescriptor(fd)) {
            delete socket;
            ::close(fd);
            continue;
        }
        emit Accepted(socket);
    }
}
