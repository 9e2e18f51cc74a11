// Benchmark: the web interface at scale, and what the overlay sees meanwhile.
// Lays out a category of N threads (default 100,000) and one thread of 30,000
// responses with the store's own code (kept between runs), then, with the
// node and its web interface on this process's event loop:
//   - times the start-up listing of the category (from the web interface's
//     start to the answer of a one-row page asked at once), the first page
//     of 200 rows after it, the same page again, a page from the middle, the
//     first page after a refresh (the category listed again, its times
//     cached), and the 30,000-response thread twice; prints the process's
//     RSS after each, once the memory of a large answer went back;
//   - meanwhile a probe joined to the node's overlay port sends a ping every
//     5 ms and times its pong: the longest wait is what an overlay request
//     waits while the web interface works.
// The first run lays the store out in this process; the figures of a second
// run (the store kept, a node started on it) are the ones to report.
// Run it in a network namespace of its own on a shared machine:
//   unshare -n bash -c 'ip link set lo up; build/bench/pelmar-web-list-bench'
// Usage: pelmar-web-list-bench [THREADS] [RESPONSES] [STORE_DIR]
#include "app/IdGenerator.h"
#include "app/PelmarDoc.h"
#include "app/SilentUi.h"
#include "app/UiFanOut.h"
#include "base/BinaryId.h"
#include "bench/web/WebBenchClient.h"
#include "store/ResRecord.h"
#include "store/ThreadIndex.h"
#include "store/ThreadRecord.h"
#include "web/WebInterface.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kAddress = "127.0.0.1";
constexpr int kOverlayPort = 16398;

std::string Id(unsigned high, unsigned serial) {
    char text[33];
    std::snprintf(text, sizeof text, "%08x%024x", high, serial);
    return text;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

long RssKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

int Connect(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, kAddress, &address.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A servent on the overlay port that pings every 5 ms and keeps the longest
// wait for a pong since it was last asked.
class OverlayProbe {
public:
    bool Start() {
        m_fd = Connect(kOverlayPort);
        if (m_fd < 0)
            return false;
        const std::string hello = "PELMAR CONNECT/0.1\r\n\r\n";
        ::send(m_fd, hello.data(), hello.size(), 0);
        std::string head;
        char c;
        while (head.find("\r\n\r\n") == std::string::npos && ::recv(m_fd, &c, 1, 0) == 1)
            head += c;
        m_thread = std::thread([this] { Run(); });
        return true;
    }
    void Stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_fd);
    }
    // The longest pong wait (ms) since the last call.
    double TakeLongest() { return m_longestUs.exchange(0) / 1000.0; }

private:
    void Run() {
        std::string pending;
        while (!m_stop) {
            const CBinaryId id = CBinaryId::FromText(CIdGenerator().GetText());
            std::string ping(reinterpret_cast<const char*>(id.GetBytes().data()), 16);
            ping += std::string("\x00\x05\x00\x00\x00\x00\x00", 7);
            const auto sent = Clock::now();
            ::send(m_fd, ping.data(), ping.size(), 0);
            // Wait for this ping's pong (29 bytes with the ping's id).
            for (;;) {
                pollfd in{m_fd, POLLIN, 0};
                if (::poll(&in, 1, 100) <= 0) {
                    if (m_stop)
                        return;
                    continue;
                }
                char buffer[4096];
                const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
                if (n <= 0)
                    return;
                pending.append(buffer, static_cast<std::size_t>(n));
                bool answered = false;
                while (pending.size() >= 23) {
                    const std::size_t size = 23 + ((static_cast<unsigned char>(pending[19]) << 24) |
                                                   (static_cast<unsigned char>(pending[20]) << 16) |
                                                   (static_cast<unsigned char>(pending[21]) << 8) |
                                                   static_cast<unsigned char>(pending[22]));
                    if (pending.size() < size)
                        break;
                    if (pending[16] == 0x01 && pending.compare(0, 16, ping, 0, 16) == 0)
                        answered = true;
                    pending.erase(0, size);
                }
                if (answered)
                    break;
            }
            const auto waited =
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - sent).count();
            long long longest = m_longestUs.load();
            while (waited > longest && !m_longestUs.compare_exchange_weak(longest, waited)) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    int m_fd = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<long long> m_longestUs{0};
};

// Lays the threads out with the store's own code once; a later run with the
// same directory finds them.
void LayOut(const std::string& root, unsigned threads, unsigned responses) {
    const std::string done =
        root + "../laid-out-" + std::to_string(threads) + "-" + std::to_string(responses);
    if (std::filesystem::exists(done))
        return;
    const auto start = Clock::now();
    for (unsigned i = 0; i < threads; ++i) {
        const std::uint32_t time = 1'600'000'000u + i * 7u;
        CThreadRecord thread(CBinaryId::FromText(Id(1, i)), "bench thread", "bench", "name", "",
                             "body", CBinaryId(), CBinaryId(), time, time);
        thread.SetResCount(1);
        thread.SetHeld(1);
        thread.Create(root, nullptr);
    }
    const std::string big = Id(2, 0);
    CThreadRecord thread(CBinaryId::FromText(big), "big", "other", "name", "", "body", CBinaryId(),
                         CBinaryId(), 1'500'000'000u, 1'500'000'000u);
    thread.SetResCount(1);
    thread.SetHeld(1);
    thread.Create(root, nullptr);
    const std::string body(200, 'x');
    for (unsigned i = 0; i < responses; ++i) {
        CResRecord res(CBinaryId::FromText(big), CBinaryId::FromText(Id(3, i)), CBinaryId(), "",
                       "name", "", body, CBinaryId(), CBinaryId(), 1'500'000'001u + i);
        res.Create(root, nullptr);
    }
    std::ofstream(done.c_str()) << "ok\n";
    std::printf("laid out %u threads and a thread of %u responses in %.0f s\n", threads, responses,
                Ms(Clock::now() - start) / 1000);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const unsigned threads = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 100000;
    const unsigned responses = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 30000;
    const std::string dir =
        argc > 3 ? std::string(argv[3]) + "/"
                 : std::string(std::filesystem::temp_directory_path() / "pelmar-list-bench/");
    std::filesystem::create_directories(dir);

    CSilentUi ui;
    CUiFanOut fanOut(ui);
    CPelmarDoc::Options options;
    options.iniPath = dir + "bench.ini";
    std::ofstream(options.iniPath.c_str()) << "[Network]\nPort=" << kOverlayPort << "\n";
    options.applicationDir = dir;
    options.dataDir = dir;
    options.bindAddress = kAddress;
    auto doc = std::make_unique<CPelmarDoc>(fanOut, options);
    if (!doc->Start()) {
        std::fprintf(stderr, "the node did not start (overlay port %d taken?)\n", kOverlayPort);
        return 1;
    }
    LayOut(doc->GetThreadDir(), threads, responses);
    doc->SetCurrentCategory("bench");

    CWebInterface::Options webOptions;
    webOptions.address = kAddress;
    webOptions.port = 0;
    CWebInterface web(*doc, webOptions);
    fanOut.AddView(&web);
    std::string error;
    const auto started = Clock::now();
    if (!web.Start(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const quint16 port = web.Port();
    std::printf("RSS at start: %.1f MiB\n", RssKiB() / 1024.0);

    OverlayProbe probe;
    int status = 0;
    std::thread client([&] {
        if (!probe.Start()) {
            std::fprintf(stderr, "no overlay probe\n");
            status = 1;
            QTimer::singleShot(0, &app, &QCoreApplication::quit);
            return;
        }
        const auto report = [&](const char* what, double took, long size) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2500)); // after the trim
            const double rss = RssKiB() / 1024.0;
            // What a trim now would still give back: memory the node's own
            // trim missed (or the client's, freed after it).
            malloc_trim(0);
            std::printf("%-44s %8.1f ms  reply %9ld bytes  longest pong wait %6.1f ms  RSS after "
                        "%.1f MiB (%.1f once trimmed again)\n",
                        what, took, size, probe.TakeLongest(), rss, RssKiB() / 1024.0);
            const struct mallinfo2 heap = mallinfo2();
            std::printf("    heap: in use %.1f MiB, mapped %.1f MiB, free %.1f MiB\n",
                        heap.uordblks / 1048576.0, heap.hblkhd / 1048576.0,
                        heap.fordblks / 1048576.0);
        };
        const auto get = [&](const std::string& path) {
            return WebBenchGet(kAddress, port, web.Token(), path).body;
        };
        const long startUp = get("/api/threads?category=bench&limit=1");
        report("start-up listing (from the interface's start)", Ms(Clock::now() - started),
               startUp);
        const struct {
            const char* what;
            std::string path;
            bool refreshFirst;
        } steps[] = {
            {"list, first page", "/api/threads?category=bench", false},
            {"list, the same page again", "/api/threads?category=bench", false},
            {"list, a page from the middle", "/api/threads?category=bench&offset=50000", false},
            {"list, first page after a refresh", "/api/threads?category=bench", true},
            {"thread of many responses", "/api/threads/" + Id(2, 0), false},
            {"the same thread again", "/api/threads/" + Id(2, 0), false},
        };
        for (const auto& step : steps) {
            const auto start = Clock::now();
            if (step.refreshFirst)
                QMetaObject::invokeMethod(
                    &app, [&] { doc->RefreshThreadList(); }, Qt::BlockingQueuedConnection);
            const long size = get(step.path);
            report(step.what, Ms(Clock::now() - start), size);
        }
        probe.Stop();
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    });
    app.exec();
    client.join();
    fanOut.RemoveView(&web);
    return status;
}
