// CReflectorClient: asks a reflector without holding up the GUI thread. A
// reflector that does not answer keeps the request waiting for seconds, so
// the request runs on a thread of its own and its answer is handed back to
// the GUI thread. Requests made while one runs wait their turn. Ask and the
// answers run on the GUI thread; the destructor (GUI thread) waits for a
// running request, which its time-outs bound.
#pragma once

#include <QObject>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

struct CReflectorAnswer {
    enum class Outcome { SocketFailed, ConnectFailed, Answered };
    Outcome outcome = Outcome::ConnectFailed;
    std::vector<std::string> lines; // the reply's body lines (Answered)
};

// One blocking request, on any thread: connect from bindAddress (any when
// empty), send the request with "port=" listenPort, read the reply until the
// peer closes, the time-out passes or the bound is reached.
CReflectorAnswer AskReflector(const std::string& url, const std::string& bindAddress,
                              std::uint16_t listenPort);

class CReflectorClient {
public:
    using Handler = std::function<void(const CReflectorAnswer&)>;

    // Answers are delivered through context's event loop.
    explicit CReflectorClient(QObject& context) : m_context(context) {}
    ~CReflectorClient();
    CReflectorClient(const CReflectorClient&) = delete;
    CReflectorClient& operator=(const CReflectorClient&) = delete;

    void Ask(const std::string& url, const std::string& bindAddress, std::uint16_t listenPort,
             Handler done);

private:
    struct SJob {
        std::string url;
        std::string bindAddress;
        std::uint16_t listenPort = 0;
        Handler done;
    };
    void StartNext();
    void Finish(const CReflectorAnswer& answer);

    QObject& m_context;
    std::deque<SJob> m_jobs; // the front one is running while m_thread runs
    std::thread m_thread;
    // Answers that arrive after the client has gone are dropped.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
