// What it costs to flush a post: a thread and a response composed here are
// written and flushed to the disk before they are announced; the same bytes
// stored as a fetched copy are not flushed. The store lives in a directory
// under /tmp (the same disk as the working directory on a usual machine),
// removed at exit.
#include "base/BinaryId.h"
#include "store/FileSystem.h"
#include "store/ResRecord.h"
#include "store/ThreadRecord.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

CBinaryId NextId() {
    static unsigned serial = 0;
    ++serial;
    char text[40];
    std::snprintf(text, sizeof text, "%08x%024x", serial * 2654435761u, serial);
    return CBinaryId::FromText(text);
}

class CBenchDir {
public:
    CBenchDir() {
        char pattern[] = "/tmp/pelmar-flush-XXXXXX";
        if (!::mkdtemp(pattern))
            std::abort();
        m_dir = pattern;
        root = m_dir + "/thread/";
        storefs::MakeDirectories(root + "index");
    }
    ~CBenchDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    std::string root;

private:
    std::string m_dir;
};

CThreadRecord NewThread() {
    CThreadRecord thread(NextId(), "title", "Bench", "name", "", std::string(400, 'b'), {}, {},
                         1000, 1000);
    thread.SetHeld(1);
    thread.SetResCount(1);
    return thread;
}

void BM_PostThreadFlushed(benchmark::State& state) {
    CBenchDir dir;
    for (auto _ : state)
        benchmark::DoNotOptimize(NewThread().Create(dir.root, nullptr));
}
BENCHMARK(BM_PostThreadFlushed)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_StoreFetchedThreadUnflushed(benchmark::State& state) {
    CBenchDir dir;
    for (auto _ : state) {
        CThreadRecord thread = NewThread();
        benchmark::DoNotOptimize(thread.StoreFetched(dir.root, thread.EncodeThread(), nullptr));
    }
}
BENCHMARK(BM_StoreFetchedThreadUnflushed)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_PostResponseFlushed(benchmark::State& state) {
    CBenchDir dir;
    CThreadRecord thread = NewThread();
    thread.Create(dir.root, nullptr);
    std::uint32_t time = 2000;
    for (auto _ : state) {
        CResRecord res(thread.GetThreadId(), NextId(), {}, "", "name", "", std::string(400, 'r'),
                       {}, {}, ++time);
        benchmark::DoNotOptimize(res.Create(dir.root, nullptr));
    }
}
BENCHMARK(BM_PostResponseFlushed)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_StoreFetchedResponseUnflushed(benchmark::State& state) {
    CBenchDir dir;
    CThreadRecord thread = NewThread();
    thread.Create(dir.root, nullptr);
    for (auto _ : state) {
        CResRecord res(thread.GetThreadId(), NextId(), {}, "", "name", "", std::string(400, 'r'),
                       {}, {}, 3000);
        benchmark::DoNotOptimize(res.StoreFetched(dir.root, res.Encode(), nullptr));
    }
}
BENCHMARK(BM_StoreFetchedResponseUnflushed)->Unit(benchmark::kMillisecond)->Iterations(200);

} // namespace
