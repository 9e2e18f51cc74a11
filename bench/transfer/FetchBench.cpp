// pelmar-fetch-bench: the fetch side of the transfer benchmark. "seed" writes
// a thread with N responses into a store for a holder to serve; "fetch" runs
// the fetch procedure against a holder several times into an empty store and
// prints how long each whole fetch took; "floor" is the least any client
// could do for the same bytes: it asks a plain web server (serving the
// holder's store directory) for the id list, the ".thread" and every ".res"
// on one kept connection, all requests written at once, and writes each file
// once. Runs on its own; no event loop.
//
//   pelmar-fetch-bench seed ROOT N
//   pelmar-fetch-bench fetch ROOT HOST PORT THREADID RUNS
//   pelmar-fetch-bench floor ROOT HOST PORT THREADID RUNS   (ROOT: the server's copy of
//                                                           the holder's store)
// Every run writes into a new directory (under ROOT for fetch, beside ROOT
// for floor) and nothing is removed: the caller removes them.
#include "app/IdGenerator.h"
#include "store/ResRecord.h"
#include "store/ThreadRecord.h"
#include "transfer/BlockingSocket.h"
#include "transfer/FetchThread.h"
#include "transfer/ThreadSourceTable.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

CBinaryId NewId() {
    return CBinaryId::FromText(CIdGenerator().GetText());
}

void PrepareRoot(const std::string& root) {
    std::filesystem::create_directories(root + "index");
    for (const char* bucket :
         {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "a", "b", "c", "d", "e", "f"})
        std::filesystem::create_directories(root + bucket);
}

int Seed(const std::string& root, int responses) {
    PrepareRoot(root);
    const CBinaryId threadId = NewId();
    const std::uint32_t base = 1600000000;
    CThreadRecord thread(threadId, "bench", "bench", "name", "", std::string(400, 'o'), NewId(),
                         CBinaryId(), base, base);
    thread.SetHeld(1);
    thread.SetResCount(1);
    thread.Create(root, nullptr);
    for (int i = 0; i < responses; ++i) {
        CResRecord response(threadId, NewId(), CBinaryId(), "", "name", "",
                            std::string(200, static_cast<char>('a' + i % 26)), NewId(), CBinaryId(),
                            base + 1 + static_cast<std::uint32_t>(i));
        response.Create(root, nullptr);
    }
    std::printf("%s\n", threadId.GetText().c_str());
    return 0;
}

class CBenchHost : public IFetchHost {
public:
    CBenchHost(std::string root, CThreadSources sources)
        : m_root(std::move(root)), m_sources(sources) {}
    std::string StoreRoot() const override { return m_root; }
    std::string BindAddress() const override { return {}; }
    bool LookupSources(const std::string&, CThreadSources& sources) override {
        sources = m_sources;
        return true;
    }
    void ShowMessage(std::string_view text) override {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    }
    void ReportStoreFailure(std::string_view text) override { ShowMessage(text); }
    void ClearFetchInProgress() override {}
    void Progress(int, int) override { ++progress; }
    void Done() override { ++done; }
    void NoHolder() override {}
    bool Stopping() const override { return false; }
    bool Pause(std::chrono::milliseconds time) override {
        std::this_thread::sleep_for(time);
        return true;
    }
    int progress = 0;
    int done = 0;

private:
    std::string m_root;
    CThreadSources m_sources;
};

double MedianPrint(std::vector<double> times, const char* name) {
    std::sort(times.begin(), times.end());
    std::printf("%s_ms_median=%.1f %s_ms_min=%.1f\n", name, times[times.size() / 2], name,
                times.front());
    return times[times.size() / 2];
}

// One kept HTTP/1.1 connection to the web server; replies read by their
// Content-Length.
class CFloorClient {
public:
    bool Connect(const std::string& host, int port) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        ::inet_pton(AF_INET, host.c_str(), &address.sin_addr);
        return m_fd >= 0 &&
               ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~CFloorClient() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool Send(const std::string& bytes) {
        return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    // The body of the next reply; false on anything but a whole 200 reply.
    bool Body(std::string& body) {
        std::size_t end;
        while ((end = m_buffer.find("\r\n\r\n", m_at)) == std::string::npos)
            if (!Fill())
                return false;
        const std::string head = m_buffer.substr(m_at, end - m_at);
        const std::size_t length = head.find("Content-Length: ");
        if (head.find(" 200 ") == std::string::npos || length == std::string::npos)
            return false;
        const std::size_t size = std::strtoul(head.c_str() + length + 16, nullptr, 10);
        m_at = end + 4;
        while (m_buffer.size() - m_at < size)
            if (!Fill())
                return false;
        body.assign(m_buffer, m_at, size);
        m_at += size;
        return true;
    }

private:
    bool Fill() {
        if (m_at > 0) {
            m_buffer.erase(0, m_at);
            m_at = 0;
        }
        char piece[65536];
        const ssize_t got = ::recv(m_fd, piece, sizeof piece, 0);
        if (got <= 0)
            return false;
        m_buffer.append(piece, static_cast<std::size_t>(got));
        return true;
    }

    int m_fd = -1;
    std::string m_buffer;
    std::size_t m_at = 0;
};

bool WriteWhole(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    return ::close(fd) == 0 && ok;
}

// The floor: the id list, the ".thread" and every ".res" from the web server
// (whose root is the holder's store), each written to its own file.
int Floor(const std::string& holderRoot, const std::string& host, int port,
          const std::string& threadId, int runs) {
    const std::string dir = std::string(1, threadId[0]) + "/" + threadId + "/";
    // Written beside the server's copy; whoever runs the benchmark removes it.
    const std::string out = holderRoot + "../floor-" + std::to_string(::getpid()) + "/";
    // The id list the server hands out: the same bytes as a holder's list.
    std::vector<CBinaryId> held;
    CResRecord::ListHeld(holderRoot, threadId, held);
    std::string ids;
    for (const CBinaryId& id : held)
        ids.append(reinterpret_cast<const char*>(id.GetBytes().data()), 16);
    if (!WriteWhole(holderRoot + dir + "list", ids))
        return 1;
    std::vector<double> times;
    std::size_t files = 0;
    // Each run writes into a directory of its own, left in place: removing
    // a run's files just before the next creates its own makes the file
    // system's inode allocation skip past the freshly freed ones, a cost a
    // node filling its store never meets.
    for (int run = 0; run < runs; ++run) {
        const std::string runOut = out + "run" + std::to_string(run) + "/";
        std::filesystem::create_directories(runOut);
        const auto start = std::chrono::steady_clock::now();
        CFloorClient client;
        if (!client.Connect(host, port))
            return 1;
        std::string list;
        if (!client.Send("GET /" + dir + "list HTTP/1.1\r\nHost: h\r\n\r\n") || !client.Body(list))
            return 1;
        std::string requests = "GET /" + dir + threadId + ".thread HTTP/1.1\r\nHost: h\r\n\r\n";
        std::vector<std::string> names;
        for (std::size_t at = 0; at + 16 <= list.size(); at += 16) {
            names.push_back(
                CBinaryId::FromBytes(reinterpret_cast<const std::uint8_t*>(list.data() + at))
                    .GetText() +
                ".res");
            requests += "GET /" + dir + names.back() + " HTTP/1.1\r\nHost: h\r\n\r\n";
        }
        if (!client.Send(requests))
            return 1;
        std::filesystem::create_directories(runOut + dir);
        std::string body;
        if (!client.Body(body) || !WriteWhole(runOut + dir + threadId + ".thread", body))
            return 1;
        files = 1;
        for (const std::string& name : names) {
            if (!client.Body(body) || !WriteWhole(runOut + dir + name, body))
                return 1;
            ++files;
        }
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::printf("floor files=%zu\n", files);
    MedianPrint(times, "floor");
    return 0;
}

int Fetch(const std::string& root, const std::string& host, int port, const std::string& threadId,
          int runs) {
    CSourceEntry holder;
    holder.address.SetText(host);
    holder.port = static_cast<std::uint16_t>(port);
    holder.time = 1;
    CThreadSources sources;
    sources.Add(holder);
    std::vector<double> times;
    // A store of its own for each run, left in place (see Floor).
    for (int run = 0; run < runs; ++run) {
        const std::string runRoot = root + "run" + std::to_string(run) + "/";
        PrepareRoot(runRoot);
        CBenchHost bench(runRoot, sources);
        const auto start = std::chrono::steady_clock::now();
        FetchThread(CFetchRequest{threadId, 0}, bench);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        std::vector<CBinaryId> held;
        const std::size_t count = CResRecord::ListHeld(runRoot, threadId, held);
        std::printf("run=%d ms=%.1f responses=%zu progress_events=%d\n", run + 1, ms, count,
                    bench.progress);
        times.push_back(ms);
    }
    MedianPrint(times, "fetch");
    std::printf("connect_pause_ms=%lld\n",
                static_cast<long long>(CBlockingSocket::kConnectPause.count()));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "seed")
        return Seed(args[1], std::atoi(args[2].c_str()));
    if (args.size() == 6 && args[0] == "floor")
        return Floor(args[1], args[2], std::atoi(args[3].c_str()), args[4],
                     std::max(1, std::atoi(args[5].c_str())));
    if (args.size() == 6 && args[0] == "fetch")
        return Fetch(args[1], args[2], std::atoi(args[3].c_str()), args[4],
                     std::max(1, std::atoi(args[5].c_str())));
    std::fprintf(stderr, "usage: %s seed ROOT N | fetch|floor ROOT HOST PORT THREADID RUNS\n",
                 argv[0]);
    return 2;
}
