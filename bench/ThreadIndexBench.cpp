// Thread index speed: listing a large category and rewriting a full
// ".index", with the updated times cached (warm) and as the first listing
// after start finds them (cold). Each store lives in its own directory under
// $TMPDIR (/tmp when unset), removed at exit.
#include "base/BinaryId.h"
#include "store/FileSystem.h"
#include "store/StorePaths.h"
#include "store/ThreadIndex.h"
#include "store/ThreadRecord.h"
#include "store/UpdatedTimeCache.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string IdText(unsigned n) {
    char text[40];
    std::snprintf(text, sizeof text, "%032x", n * 2654435761u);
    return text;
}

// A store of count threads in category "Bench", updated at times that
// repeat every 97 threads so the listing has ties to keep in order.
class CBenchStore {
public:
    explicit CBenchStore(unsigned count) {
        // TMPDIR chooses the file system measured.
        const char* parent = std::getenv("TMPDIR");
        std::string pattern =
            std::string(parent && *parent ? parent : "/tmp") + "/pelmar-bench-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        m_dir = pattern;
        root = m_dir + "/thread/";
        storefs::MakeDirectories(root + "index");
        CThreadIndex index("Bench", root);
        for (unsigned i = 1; i <= count; ++i) {
            const std::string id = IdText(i);
            CThreadRecord record;
            record.SetHeld(1);
            record.SetUpdated(1000000 + (i % 97) * 10);
            storefs::MakeDirectories(storepaths::ThreadDir(root, id));
            storefs::WriteFileAtomically(storepaths::InfoFile(root, id), record.EncodeInfo());
            index.Add(id);
        }
        // Files changed moments ago are read again on every use until they
        // have settled; a store in use is older than that.
        std::this_thread::sleep_for(std::chrono::nanoseconds(CUpdatedTimeCache::kSettleNs) +
                                    std::chrono::milliseconds(100));
    }
    ~CBenchStore() {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    std::string root;

private:
    std::string m_dir;
};

CBenchStore& TenThousandThreads() {
    static CBenchStore store(10000);
    return store;
}

void BM_ListTenThousandThreads(benchmark::State& state) {
    const CThreadIndex index("Bench", TenThousandThreads().root);
    std::vector<std::string> warm;
    index.List(warm);
    for (auto _ : state) {
        std::vector<std::string> ids;
        benchmark::DoNotOptimize(index.List(ids));
    }
}
BENCHMARK(BM_ListTenThousandThreads)->Unit(benchmark::kMillisecond);

void BM_ListTenThousandThreadsCold(benchmark::State& state) {
    const CThreadIndex index("Bench", TenThousandThreads().root);
    for (auto _ : state) {
        state.PauseTiming();
        CUpdatedTimeCache::Instance().Clear();
        state.ResumeTiming();
        std::vector<std::string> ids;
        benchmark::DoNotOptimize(index.List(ids));
    }
}
BENCHMARK(BM_ListTenThousandThreadsCold)->Unit(benchmark::kMillisecond);

void BM_AddIntoFullIndex(benchmark::State& state) {
    static CBenchStore store(150);
    const CThreadIndex index("Bench", store.root);
    // Two threads in the middle of the order, updated at the same time: each
    // filing moves the thread behind the other, so every call rewrites the
    // ".index" after reading the times of the entries before it.
    const std::string ids[] = {IdText(48), IdText(48 + 97)};
    std::size_t next = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(CThreadIndex(index).Add(ids[next++ % 2]));
}
BENCHMARK(BM_AddIntoFullIndex)->Unit(benchmark::kMicrosecond);

void BM_AddInPlaceIntoFullIndex(benchmark::State& state) {
    static CBenchStore store(150);
    const CThreadIndex index("Bench", store.root);
    // The same thread again: it keeps its place, and the ".index" its bytes.
    const std::string id = IdText(48);
    for (auto _ : state)
        benchmark::DoNotOptimize(CThreadIndex(index).Add(id));
}
BENCHMARK(BM_AddInPlaceIntoFullIndex)->Unit(benchmark::kMicrosecond);

void BM_AddNewestIntoFullIndex(benchmark::State& state) {
    static CBenchStore store(150);
    const CThreadIndex index("Bench", store.root);
    // What a post or a fetch usually files: the thread updated last, which
    // goes first after reading the times of the first entries only.
    const std::string id = IdText(96);
    for (auto _ : state)
        benchmark::DoNotOptimize(CThreadIndex(index).Add(id));
}
BENCHMARK(BM_AddNewestIntoFullIndex)->Unit(benchmark::kMicrosecond);

} // namespace
