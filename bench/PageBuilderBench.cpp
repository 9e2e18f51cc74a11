// Thread page speed: building "current.html" for a thread of 1,000
// responses, reading every response file again as each rendering does. The
// store lives under /tmp and is removed at exit.
#include "base/BinaryId.h"
#include "store/FileSystem.h"
#include "store/ResRecord.h"
#include "store/ThreadRecord.h"
#include "frontend/PageBuilder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

CBinaryId IdOf(unsigned n) {
    char text[40];
    std::snprintf(text, sizeof text, "%032x", n * 2654435761u + 7);
    return CBinaryId::FromText(text);
}

// One thread with count responses of about 300 bytes of body each.
class CBenchThread {
public:
    explicit CBenchThread(unsigned count) {
        char pattern[] = "/tmp/pelmar-page-bench-XXXXXX";
        if (!::mkdtemp(pattern))
            std::abort();
        m_dir = pattern;
        root = m_dir + "/thread/";
        storefs::MakeDirectories(root + "index");
        threadId = IdOf(0);
        const CBinaryId poster = IdOf(1);
        CThreadRecord thread(threadId, "bench thread", "Bench", "name", "", "opening <body>",
                             poster, CBinaryId(), 1000000, 1000000);
        thread.SetResCount(1);
        thread.SetHeld(1);
        if (!thread.Create(root, nullptr))
            std::abort();
        const std::string body(300, 'b');
        for (unsigned i = 1; i <= count; ++i) {
            CResRecord res(threadId, IdOf(i + 1), CBinaryId(), "re", "name", "sage", body, poster,
                           CBinaryId(), 1000000 + i);
            if (!res.Create(root, nullptr))
                std::abort();
        }
        page = m_dir + "/current.html";
    }
    ~CBenchThread() {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    std::string root;
    std::string page;
    CBinaryId threadId;

private:
    std::string m_dir;
};

void BM_RenderThreadOfThousandResponses(benchmark::State& state) {
    static CBenchThread thread(1000);
    const CPageBuilder builder(thread.root, nullptr);
    for (auto _ : state) {
        if (builder.RenderThread(thread.threadId.GetText(), thread.page) !=
            CPageBuilder::Outcome::Written)
            state.SkipWithError("page not written");
    }
    state.SetLabel(std::to_string(std::filesystem::file_size(thread.page)) + " bytes");
}
BENCHMARK(BM_RenderThreadOfThousandResponses)->Unit(benchmark::kMillisecond);

} // namespace
