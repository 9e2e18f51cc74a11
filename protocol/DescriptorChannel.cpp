// CDescriptorChannel: reads, writes and the output queue on a plain
// descriptor. GUI thread only.
#include "protocol/DescriptorChannel.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

CDescriptorChannel::CDescriptorChannel(int descriptor, std::function<void()> onReadable,
                                       std::function<void()> onDrained)
    : m_descriptor(descriptor), m_onReadable(std::move(onReadable)),
      m_onDrained(std::move(onDrained)) {
    m_readNotifier = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read);
    QObject::connect(m_readNotifier.get(), &QSocketNotifier::activated, [this] { m_onReadable(); });
}

CDescriptorChannel::~CDescriptorChannel() {
    Close();
}

long CDescriptorChannel::Read(char* buffer, std::size_t size) {
    if (m_descriptor < 0)
        return 0;
    for (;;) {
        const ssize_t got = ::read(m_descriptor, buffer, size);
        if (got >= 0)
            return static_cast<long>(got);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return -1;
        return 0; // reset or any other failure ends the connection like a close
    }
}

void CDescriptorChannel::Write(std::string_view bytes) {
    if (m_descriptor < 0 || m_broken || bytes.empty())
        return;
    if (Queued() == 0) {
        m_output.clear();
        m_sent = 0;
    }
    m_output.append(bytes);
    Flush();
}

void CDescriptorChannel::Flush() {
    while (Queued() > 0) {
        const ssize_t sent =
            ::send(m_descriptor, m_output.data() + m_sent, Queued(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            m_sent += static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!m_writeNotifier) {
                m_writeNotifier =
                    std::make_unique<QSocketNotifier>(m_descriptor, QSocketNotifier::Write);
                QObject::connect(m_writeNotifier.get(), &QSocketNotifier::activated,
                                 [this] { OnWritable(); });
            }
            m_writeNotifier->setEnabled(true);
            return;
        }
        // The peer is gone; its close reaches the reader.
        m_broken = true;
        break;
    }
    m_output.clear();
    m_sent = 0;
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
}

void CDescriptorChannel::OnWritable() {
    Flush();
    if (Queued() == 0 && m_descriptor >= 0)
        m_onDrained();
}

void CDescriptorChannel::Close() {
    if (m_readNotifier)
        m_readNotifier->setEnabled(false);
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = -1;
    m_output.clear();
    m_sent = 0;
}

int CDescriptorChannel::Release(std::string& queued) {
    queued.assign(m_output, m_sent, std::string::npos);
    const int descriptor = m_descriptor;
    m_descriptor = -1; // not closed: the socket object owns it now
    Close();
    return descriptor;
}
