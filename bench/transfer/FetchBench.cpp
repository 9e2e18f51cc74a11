// pelmar-fetch-bench: the fetch side of the transfer benchmark. "seed" writes
// a thread with N responses into a store for a holder to serve; "fetch" runs
// the fetch procedure against a holder several times into an empty store and
// prints how long each whole fetch took. Runs on its own; no event loop.
//
//   pelmar-fetch-bench seed ROOT N
//   pelmar-fetch-bench fetch ROOT HOST PORT THREADID RUNS
#include "app/IdGenerator.h"
#include "app/ThreadSourceTable.h"
#include "store/ResRecord.h"
#include "store/ThreadRecord.h"
#include "transfer/BlockingSocket.h"
#include "transfer/FetchThread.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
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

int Fetch(const std::string& root, const std::string& host, int port, const std::string& threadId,
          int runs) {
    CSourceEntry holder;
    holder.address.SetText(host);
    holder.port = static_cast<std::uint16_t>(port);
    holder.time = 1;
    CThreadSources sources;
    sources.Add(holder);
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        std::filesystem::remove_all(root);
        PrepareRoot(root);
        CBenchHost bench(root, sources);
        const auto start = std::chrono::steady_clock::now();
        FetchThread(CFetchRequest{threadId, 0}, bench);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        std::vector<CBinaryId> held;
        const std::size_t count = CResRecord::ListHeld(root, threadId, held);
        std::printf("run=%d ms=%.1f responses=%zu progress_events=%d\n", run + 1, ms, count,
                    bench.progress);
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("fetch_ms_median=%.1f fetch_ms_min=%.1f connect_pause_ms=%lld\n",
                times[times.size() / 2], times.front(),
                static_cast<long long>(CBlockingSocket::kConnectPause.count()));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "seed")
        return Seed(args[1], std::atoi(args[2].c_str()));
    if (args.size() == 6 && args[0] == "fetch")
        return Fetch(args[1], args[2], std::atoi(args[3].c_str()), args[4],
                     std::max(1, std::atoi(args[5].c_str())));
    std::fprintf(stderr, "usage: %s seed ROOT N | fetch ROOT HOST PORT THREADID RUNS\n", argv[0]);
    return 2;
}
