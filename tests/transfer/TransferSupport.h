// Helpers of the transfer tests: threads seeded into a store, a raw HTTP
// client on a QTcpSocket (test thread, event loop) and a scripted fake holder
// that answers on its own thread, so a fetch can run while the test thread
// is busy or blocked.
#pragma once

#include "base/BinaryId.h"
#include "app/IdGenerator.h"
#include "store/ResRecord.h"
#include "store/StorePaths.h"
#include "store/ThreadRecord.h"
#include "support/TempDir.h"
#include "support/Wait.h"

#include <QTcpSocket>

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace transfertest {

inline CBinaryId NewId() {
    return CBinaryId::FromText(CIdGenerator().GetText());
}

inline std::string IdBytes(const CBinaryId& id) {
    return std::string(reinterpret_cast<const char*>(id.GetBytes().data()), 16);
}

struct SeededThread {
    CBinaryId threadId;
    std::string category;
    std::vector<CBinaryId> resIds; // in posting order
    std::uint32_t lastTime = 0;
};

inline constexpr std::uint32_t kBaseTime = 1600000000;

// A response of the thread as posted here, as its ".res" bytes.
inline std::string ResBytes(const CBinaryId& threadId, const CBinaryId& resId,
                            const std::string& body, std::uint32_t time = kBaseTime + 1) {
    CResRecord response(threadId, resId, CBinaryId(), "re", "name", "", body, NewId(), CBinaryId(),
                        time);
    return response.Encode();
}

// A thread created at kBaseTime with the given responses, one second apart.
inline SeededThread SeedThread(const std::string& root, int responses,
                               const std::string& category = "cat", std::size_t bodySize = 40) {
    SeededThread seeded;
    seeded.threadId = NewId();
    seeded.category = category;
    CThreadRecord thread(seeded.threadId, "title", category, "name", "mail", "opening", NewId(),
                         CBinaryId(), kBaseTime, kBaseTime);
    thread.SetHeld(1);
    thread.SetResCount(1);
    thread.Create(root, nullptr);
    seeded.lastTime = kBaseTime;
    for (int i = 0; i < responses; ++i) {
        const CBinaryId resId = NewId();
        seeded.lastTime = kBaseTime + 1 + static_cast<std::uint32_t>(i);
        CResRecord response(seeded.threadId, resId, CBinaryId(), "re", "name", "",
                            std::string(bodySize, static_cast<char>('a' + i % 26)), NewId(),
                            CBinaryId(), seeded.lastTime);
        response.Create(root, nullptr);
        seeded.resIds.push_back(resId);
    }
    return seeded;
}

inline std::string ThreadFileOf(const std::string& root, const CBinaryId& threadId) {
    return TempDir::ReadFile(storepaths::ThreadFile(root, threadId.GetText()));
}
inline std::string ResFileOf(const std::string& root, const CBinaryId& threadId,
                             const CBinaryId& resId) {
    return TempDir::ReadFile(storepaths::ResFile(root, threadId.GetText(), resId.GetText()));
}

// A client connection driven by the test thread's event loop.
class RawClient {
public:
    bool Connect(const std::string& address, int port) {
        m_socket.connectToHost(QString::fromStdString(address), static_cast<quint16>(port));
        return WaitUntil([&] { return m_socket.state() == QAbstractSocket::ConnectedState; }, 5000);
    }
    void Write(const std::string& bytes) {
        m_socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
        m_socket.flush();
    }
    // Everything received so far.
    const std::string& Received() {
        m_received += m_socket.readAll().toStdString();
        return m_received;
    }
    bool WaitForSize(std::size_t size, int timeoutMs = 5000) {
        return WaitUntil([&] { return Received().size() >= size; }, timeoutMs);
    }
    bool WaitForText(const std::string& text, int timeoutMs = 5000) {
        return WaitUntil([&] { return Received().find(text) != std::string::npos; }, timeoutMs);
    }
    // Lets the event loop run, then returns what arrived meanwhile.
    const std::string& Settle(int milliseconds = 200) {
        RunEventsFor(milliseconds);
        return Received();
    }

private:
    QTcpSocket m_socket;
    std::string m_received;
};

struct FakeRequest {
    std::string line; // "GET /get_res_list/?threadid=... HTTP/1.0"
    std::string body;
};

// A holder that speaks just enough HTTP to record each request and answer it
// from a script. Runs on its own thread with bounded waits; the destructor
// stops it.
class FakeHolder {
public:
    using Answer = std::function<std::string(const FakeRequest&)>;

    FakeHolder(const std::string& address, int port, Answer answer) : m_answer(std::move(answer)) {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int yes = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(static_cast<std::uint16_t>(port));
        ::inet_pton(AF_INET, address.c_str(), &local.sin_addr);
        m_ok = ::bind(m_listen, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
               ::listen(m_listen, 16) == 0;
        m_thread = std::thread([this] { Run(); });
    }
    ~FakeHolder() {
        m_stop = true;
        m_thread.join();
        ::close(m_listen);
    }
    bool Listening() const { return m_ok; }
    int Connections() const { return m_connections.load(); }
    std::vector<FakeRequest> Requests() {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    // Closes each connection after its first answer, or after its POST.
    void CloseAfterAnswer(bool on) { m_closeAfterAnswer = on; }
    void CloseAfterPost(bool on) { m_closeAfterPost = on; }
    // Answers nothing at all (a holder that accepts and falls silent).
    void Silent(bool on) { m_silent = on; }
    // Sends each answer a byte at a time, this many milliseconds apart.
    void Trickle(int ms) { m_trickleMs = ms; }

private:
    void Run() {
        while (!m_stop) {
            pollfd entry{m_listen, POLLIN, 0};
            if (::poll(&entry, 1, 50) != 1)
                continue;
            const int connection = ::accept(m_listen, nullptr, nullptr);
            if (connection < 0)
                continue;
            ++m_connections;
            Serve(connection);
            ::close(connection);
        }
    }

    // Reads requests one after another until the client closes or 10 s pass.
    void Serve(int connection) {
        std::string input;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!m_stop && std::chrono::steady_clock::now() < deadline) {
            FakeRequest request;
            if (TakeRequest(input, request)) {
                {
                    std::lock_guard lock(m_mutex);
                    m_requests.push_back(request);
                }
                if (m_silent)
                    continue;
                const std::string reply = m_answer(request);
                if (m_trickleMs > 0) {
                    for (std::size_t at = 0; at < reply.size() && !m_stop; ++at) {
                        if (::send(connection, &reply[at], 1, MSG_NOSIGNAL) != 1)
                            return;
                        std::this_thread::sleep_for(std::chrono::milliseconds(m_trickleMs));
                    }
                } else {
                    ::send(connection, reply.data(), reply.size(), MSG_NOSIGNAL);
                }
                if (m_closeAfterAnswer || (m_closeAfterPost && request.line.rfind("POST", 0) == 0))
                    return;
                continue;
            }
            pollfd entry{connection, POLLIN, 0};
            if (::poll(&entry, 1, 50) != 1)
                continue;
            char buffer[65536];
            const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
            if (got <= 0)
                return;
            input.append(buffer, static_cast<std::size_t>(got));
        }
    }

    static bool TakeRequest(std::string& input, FakeRequest& request) {
        const std::size_t end = input.find("\r\n\r\n");
        if (end == std::string::npos)
            return false;
        const std::string header = input.substr(0, end);
        std::size_t length = 0;
        const std::size_t at = header.find("Content-Length: ");
        if (at != std::string::npos)
            length = std::stoul(header.substr(at + 16));
        if (input.size() < end + 4 + length)
            return false;
        request.line = header.substr(0, header.find("\r\n"));
        request.body = input.substr(end + 4, length);
        input.erase(0, end + 4 + length);
        return true;
    }

    Answer m_answer;
    int m_listen = -1;
    bool m_ok = false;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_closeAfterAnswer{false};
    std::atomic<bool> m_closeAfterPost{false};
    std::atomic<bool> m_silent{false};
    std::atomic<int> m_trickleMs{0};
    std::atomic<int> m_connections{0};
    std::mutex m_mutex;
    std::vector<FakeRequest> m_requests;
    std::thread m_thread;
};

inline constexpr const char* kNotFound = "HTTP/1.0 404 Not Found\r\n\r\n";

inline std::string OkReply(const std::string& body) {
    return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nContent-Type: application/octet-stream\r\n\r\n" + body;
}

inline std::string Chunk(const std::string& bytes) {
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", bytes.size());
    return size + bytes + "\r\n";
}

inline std::string ChunkedReply(const std::vector<std::string>& chunks) {
    std::string reply = "HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (const std::string& chunk : chunks)
        reply += Chunk(chunk);
    return reply + "0\r\n\r\n";
}

// The answers of an honest holder of the thread whose files lie under root.
inline FakeHolder::Answer ServeFrom(const std::string& root, const CBinaryId& threadId) {
    return [root, threadId](const FakeRequest& request) -> std::string {
        if (request.line.rfind("GET /get_thread/", 0) == 0)
            return OkReply(ThreadFileOf(root, threadId));
        if (request.line.rfind("GET /get_res_list/", 0) == 0) {
            std::vector<CBinaryId> held;
            CResRecord::ListHeld(root, threadId.GetText(), held);
            std::string ids;
            for (const CBinaryId& id : held)
                ids += IdBytes(id);
            return ids.empty() ? std::string(kNotFound) : OkReply(ids);
        }
        std::vector<std::string> chunks;
        for (std::size_t at = 16; at + 16 <= request.body.size(); at += 16) {
            const CBinaryId id = CBinaryId::FromBytes(
                reinterpret_cast<const std::uint8_t*>(request.body.data()) + at);
            chunks.push_back(ResFileOf(root, threadId, id));
        }
        return ChunkedReply(chunks);
    };
}

// The response ids a POST body names after its thread id.
inline std::vector<std::string> PostedIds(const std::string& body) {
    std::vector<std::string> ids;
    for (std::size_t at = 16; at + 16 <= body.size(); at += 16)
        ids.push_back(CBinaryId::FromBytes(reinterpret_cast<const std::uint8_t*>(body.data()) + at)
                          .GetText());
    return ids;
}

} // namespace transfertest
