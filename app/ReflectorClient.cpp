// CReflectorClient: the reflector request on its own thread. The worker
// touches nothing but its job's copies; the GUI thread joins it when the
// answer arrives.
#include "app/ReflectorClient.h"

#include "app/ReflectorReply.h"
#include "transfer/BlockingSocket.h"

#include <QMetaObject>

namespace {
// A reflector's answer is a handful of short lines; more is not a reflector.
constexpr std::size_t kMaxReflectorReply = 64 * 1024;
constexpr int kTimeoutSeconds = 5;
} // namespace

CReflectorAnswer AskReflector(const std::string& url, const std::string& bindAddress,
                              std::uint16_t listenPort) {
    CReflectorAnswer answer;
    CReflectorUrl target;
    const bool parsed = ParseReflectorUrl(url, target);
    CBlockingSocket socket;
    socket.SetTimeout(kTimeoutSeconds);
    if (!socket.Create(bindAddress)) {
        answer.outcome = CReflectorAnswer::Outcome::SocketFailed;
        return answer;
    }
    if (!parsed || !socket.Connect(target.host, target.port)) {
        socket.Close();
        answer.outcome = CReflectorAnswer::Outcome::ConnectFailed;
        return answer;
    }
    socket.Send(BuildReflectorRequest(AddPortQuery(target.path, listenPort)));
    std::string reply;
    char buffer[1000];
    while (reply.size() < kMaxReflectorReply) {
        const int got = socket.Receive(buffer, sizeof buffer);
        if (got <= 0)
            break;
        reply.append(buffer, static_cast<std::size_t>(got));
    }
    socket.Close();
    answer.outcome = CReflectorAnswer::Outcome::Answered;
    answer.lines = CReflectorReply::SplitBody(reply);
    return answer;
}

CReflectorClient::~CReflectorClient() {
    // The answer of a request still running is not wanted any more.
    m_alive.reset();
    if (m_thread.joinable())
        m_thread.join();
}

void CReflectorClient::Ask(const std::string& url, const std::string& bindAddress,
                           std::uint16_t listenPort, Handler done) {
    m_jobs.push_back(SJob{url, bindAddress, listenPort, std::move(done)});
    if (m_jobs.size() == 1)
        StartNext();
}

void CReflectorClient::StartNext() {
    if (m_thread.joinable())
        m_thread.join();
    if (m_jobs.empty())
        return;
    const SJob& job = m_jobs.front();
    std::weak_ptr<bool> alive = m_alive;
    m_thread =
        std::thread([this, alive, url = job.url, bind = job.bindAddress, port = job.listenPort] {
            CReflectorAnswer answer = AskReflector(url, bind, port);
            QMetaObject::invokeMethod(
                &m_context,
                [this, alive, answer = std::move(answer)] {
                    if (alive.lock())
                        Finish(answer);
                },
                Qt::QueuedConnection);
        });
}

void CReflectorClient::Finish(const CReflectorAnswer& answer) {
    if (m_thread.joinable())
        m_thread.join();
    Handler done = std::move(m_jobs.front().done);
    m_jobs.pop_front();
    // The next request starts before this answer is handled: a handler that
    // asks again (a connect from the answer) only queues behind it.
    StartNext();
    done(answer);
}
