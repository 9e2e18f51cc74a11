// Benchmark: GET /api/threads/{id} for a thread of 1,000 responses, over a
// real socket. The node and its web interface run on this process's event
// loop; a client thread times the requests with blocking POSIX sockets.
// Prints the latencies (goal: under 50 ms each).
#include "app/PelmarDoc.h"
#include "app/SilentUi.h"
#include "app/UiFanOut.h"
#include "base/BinaryId.h"
#include "bench/web/WebBenchClient.h"
#include "store/ResRecord.h"
#include "store/ThreadRecord.h"
#include "web/WebInterface.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <time.h>
#include <vector>

namespace {

std::string Id(int serial) {
    char text[33];
    std::snprintf(text, sizeof text, "%032x", serial);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::string dir = std::filesystem::temp_directory_path() / "pelmar-web-bench/";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);

    CSilentUi ui;
    CUiFanOut fanOut(ui);
    CPelmarDoc::Options options;
    options.iniPath = dir + "bench.ini";
    if (FILE* ini = std::fopen(options.iniPath.c_str(), "w")) {
        std::fputs("[Network]\nPort=16399\n", ini);
        std::fclose(ini);
    }
    options.applicationDir = dir;
    options.dataDir = dir;
    options.bindAddress = "127.0.0.1";
    auto doc = std::make_unique<CPelmarDoc>(fanOut, options);
    doc->Start(); // the overlay port may be taken; the web interface does not need it

    // A thread of 1,000 responses, each with a body of some 200 Japanese bytes.
    const std::string threadId = Id(1);
    const std::string body(200, '\x82'); // lead bytes alone: the replacement path too
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "\x83\x58\x83\x8c"; // スレ
    CThreadRecord thread(CBinaryId::FromText(threadId), "bench", "bench", "n", "", text,
                         CBinaryId(), CBinaryId(), 1000, 1000);
    thread.SetResCount(1);
    thread.SetHeld(1);
    thread.Create(doc->GetThreadDir(), nullptr);
    for (int i = 0; i < 1000; ++i) {
        CResRecord res(CBinaryId::FromText(threadId), CBinaryId::FromText(Id(1000 + i)),
                       CBinaryId(), "", "name", "mail", text + "\r\n" + body, CBinaryId(),
                       CBinaryId(), static_cast<std::uint32_t>(2000 + i));
        res.Create(doc->GetThreadDir(), nullptr);
    }

    CWebInterface::Options webOptions;
    webOptions.address = "127.0.0.1";
    webOptions.port = 0;
    CWebInterface web(*doc, webOptions);
    std::string error;
    if (!web.Start(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const quint16 port = web.Port();

    // Two series: the thread unchanged between requests (the answer kept by
    // the interface), and the thread changed before every request (a file
    // renamed into its directory, as a new response would be), so that each
    // answer is built from the store again.
    constexpr int kRuns = 50;
    const std::string threadDir =
        doc->GetThreadDir() + threadId.substr(0, 1) + "/" + threadId + "/";
    std::vector<double> unchanged;
    std::vector<double> changed;
    double cpu[2] = {0, 0}; // the process's processor time per series, node and client
    const auto cpuNow = [] {
        timespec now{};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
    };
    long size = 0;
    std::thread client([&] {
        for (int i = 0; i < 2 * kRuns + 3; ++i) {
            const bool change = i >= kRuns + 3;
            if (change) {
                if (std::FILE* file = std::fopen((threadDir + "bench.tmp").c_str(), "w"))
                    std::fclose(file);
                std::filesystem::rename(threadDir + "bench.tmp", threadDir + "bench.other");
                std::filesystem::remove(threadDir + "bench.other");
            }
            const double cpuStart = cpuNow();
            const auto start = std::chrono::steady_clock::now();
            size = WebBenchGet("127.0.0.1", port, web.Token(), "/api/threads/" + threadId).total;
            const auto end = std::chrono::steady_clock::now();
            if (i >= 3)
                cpu[change ? 1 : 0] += cpuNow() - cpuStart;
            const double ms = std::chrono::duration<double, std::milli>(end - start).count();
            if (i >= 3) // the first ones warm the file cache
                (change ? changed : unchanged).push_back(ms);
        }
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    });
    app.exec();
    client.join();

    std::printf("GET /api/threads/{id}, 1,000 responses, reply %ld bytes, %d runs each:\n", size,
                kRuns);
    for (std::vector<double>* series : {&unchanged, &changed}) {
        std::sort(series->begin(), series->end());
        const bool first = series == &unchanged;
        std::printf("  %-26s min %6.1f ms  median %6.1f ms  p95 %6.1f ms  max %6.1f ms  "
                    "processor %5.1f ms\n",
                    first ? "thread unchanged:" : "thread changed each time:", series->front(),
                    (*series)[series->size() / 2], (*series)[series->size() * 95 / 100],
                    series->back(), cpu[first ? 0 : 1] / kRuns);
    }
    doc.reset();
    std::filesystem::remove_all(dir);
    return 0;
}
