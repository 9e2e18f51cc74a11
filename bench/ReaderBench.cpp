// The reader's tools, measured (figures for the README, never asserted):
// searching 100,000 held responses with snippets, indexing a fetched thread
// of 1,000 responses, judging a 1,000-response page against 200 NG rules
// (half expressions), and the GUI thread's calls at start-up while the index
// of 10,000 threads catches up on its worker. Stores are laid out through the
// store's own code under TMPDIR (default /tmp) and removed at exit.
#include "base/BinaryId.h"
#include "base/Cp932Text.h"
#include "frontend/PageBuilder.h"
#include "reader/NgFilter.h"
#include "reader/NgPageFilter.h"
#include "reader/NgRuleFile.h"
#include "reader/Reader.h"
#include "store/ResRecord.h"
#include "store/ThreadRecord.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

CBinaryId IdOf(unsigned n) {
    char text[40];
    std::snprintf(text, sizeof text, "%032x", n * 2654435761u + 11);
    return CBinaryId::FromText(text);
}

const std::vector<std::string>& Words() {
    static const std::vector<std::string> words = [] {
        std::vector<std::string> made;
        for (const char* word :
             {"今日は",   "天気が", "良いので", "散歩に",   "行きました", "キーボード", "新しい",
              "電車",     "遅れて", "困った",   "ラーメン", "美味しい",   "プログラム", "動かない",
              "サーバー", "なし",   "掲示板",   "面白い",   "話題",       "ですね",     "猫",
              "犬",       "写真",   "音楽",     "ゲーム",   "昨日",       "明日",       "本当に",
              "そう思う", "違う",   "abc",      "Linux",    "ＵＴＦ",     "ｶﾀｶﾅ",       "ひらがな",
              "漢字",     "。",     "、",       "！",       "？"})
            made.push_back(cp932text::FromUtf8(word));
        return made;
    }();
    return words;
}

std::string Body(std::mt19937& random, int words) {
    std::string body;
    for (int i = 0; i < words; ++i) {
        body += Words()[random() % Words().size()];
        if (i % 12 == 11)
            body += "\r\n";
    }
    return body;
}

// A store of threads, each with its responses, in a fresh directory.
class CBenchStore {
public:
    CBenchStore(unsigned threads, unsigned responses, unsigned categories) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp ? tmp : "/tmp") + "/pelmar-reader-bench-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        dir = pattern + "/";
        root = dir + "thread/";
        std::mt19937 random(7);
        unsigned next = 1;
        for (unsigned t = 0; t < threads; ++t) {
            const CBinaryId threadId = IdOf(next++);
            ids.push_back(threadId.GetText());
            CThreadRecord thread(threadId, "thread " + std::to_string(t),
                                 "cat" + std::to_string(t % categories), "name", "",
                                 Body(random, 30), IdOf(0), CBinaryId(), 1000000 + t, 1000000 + t);
            thread.SetResCount(static_cast<std::uint16_t>(responses + 1));
            thread.SetHeld(1);
            if (!thread.Create(root, nullptr))
                std::abort();
            for (unsigned r = 0; r < responses; ++r) {
                CResRecord res(threadId, IdOf(next++), CBinaryId(), "", "name", "sage",
                               Body(random, 40), IdOf(0), CBinaryId(), 1000000 + t + r);
                CResRecord stored;
                stored.SetThreadId(threadId);
                stored.SetResId(res.GetResId());
                if (!stored.StoreFetched(root, res.Encode(), nullptr))
                    std::abort();
            }
            if (responses && !thread.Refresh(root, nullptr))
                std::abort();
        }
    }
    ~CBenchStore() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    std::string dir;
    std::string root;
    std::vector<std::string> ids;
};

// 100 threads of 1,000 responses, indexed once.
struct CSearchFixture {
    CBenchStore store{100, 1000, 10};
    CReader reader{store.dir, store.root, nullptr};
    CSearchFixture() { reader.Index().CatchUp(); }
};

CSearchFixture& SearchFixture() {
    static CSearchFixture fixture;
    return fixture;
}

void BM_SearchHundredThousandResponses(benchmark::State& state, const char* query) {
    CSearchFixture& fixture = SearchFixture();
    std::size_t hits = 0;
    for (auto _ : state) {
        const auto found = fixture.reader.Index().Search(query, 50);
        hits = found.size();
        benchmark::DoNotOptimize(found.data());
    }
    state.SetLabel(std::to_string(hits) + " hits with snippets");
}
BENCHMARK_CAPTURE(BM_SearchHundredThousandResponses, Word, "キーボード")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_SearchHundredThousandResponses, Rare, "ラーメン美味しい")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_SearchHundredThousandResponses, TwoCharactersScan, "写真")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_IndexFetchedThousandResponseThread(benchmark::State& state) {
    static CBenchStore store(1, 1000, 1);
    CReader reader(store.dir, store.root, nullptr);
    for (auto _ : state) {
        state.PauseTiming();
        reader.Index().RemoveThread(store.ids.front());
        state.ResumeTiming();
        reader.Index().IndexThread(store.ids.front());
    }
}
BENCHMARK(BM_IndexFetchedThousandResponseThread)->Unit(benchmark::kMillisecond);

// A refresh that brought nothing new: what was indexed stays as it is.
void BM_ReindexUnchangedThousandResponseThread(benchmark::State& state) {
    static CBenchStore store(1, 1000, 1);
    CReader reader(store.dir, store.root, nullptr);
    reader.Index().IndexThread(store.ids.front());
    for (auto _ : state)
        reader.Index().IndexThread(store.ids.front());
}
BENCHMARK(BM_ReindexUnchangedThousandResponseThread)->Unit(benchmark::kMillisecond);

std::vector<CNgRule> TwoHundredRules() {
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "body word all abone 語句" + std::to_string(i) + "\n";
    for (int i = 0; i < 100; ++i)
        text += "name,body regex all hide ^荒らし" + std::to_string(i) + "[0-9]+$\n";
    std::vector<CNgRule> rules;
    std::vector<std::string> errors;
    CNgRuleFile::ParseText(text, rules, errors);
    if (rules.size() != 200)
        std::abort();
    return rules;
}

void BM_TwoHundredRulesOnThousandResponsePage(benchmark::State& state) {
    static CBenchStore store(1, 1000, 1);
    const auto posts = CPageBuilder(store.root, nullptr).LoadPosts(store.ids.front());
    const CNgFilter filter(TwoHundredRules());
    const CNgPageFilter pageFilter(filter, store.ids.front(), "cat0");
    for (auto _ : state)
        for (const CPagePost& post : posts)
            benchmark::DoNotOptimize(pageFilter.Judge(post));
    state.SetLabel(std::to_string(posts.size()) + " posts judged");
}
BENCHMARK(BM_TwoHundredRulesOnThousandResponsePage)->Unit(benchmark::kMillisecond);

void BM_PageWithTwoHundredRules(benchmark::State& state) {
    static CBenchStore store(1, 1000, 1);
    const CNgFilter filter(TwoHundredRules());
    const CNgPageFilter pageFilter(filter, store.ids.front(), "cat0");
    const CPageBuilder builder(store.root, nullptr);
    for (auto _ : state)
        benchmark::DoNotOptimize(builder.BuildPage(store.ids.front(), &pageFilter));
}
BENCHMARK(BM_PageWithTwoHundredRules)->Unit(benchmark::kMillisecond);

double Ms(std::chrono::steady_clock::duration span) {
    return std::chrono::duration<double, std::milli>(span).count();
}

// Start-up: the GUI thread asks for marks, new counts and favourites while
// the worker brings an index of 10,000 threads up to a store that has moved
// on (every tenth thread has a response more), and writes a read mark. The
// longest round of those calls is the longest pause the reader can cause the
// GUI thread.
void BM_StartupWithTenThousandThreadIndex(benchmark::State& state) {
    static CBenchStore store(10000, 1, 100);
    {
        CReader first(store.dir, store.root, nullptr);
        first.Index().CatchUp();
        for (std::size_t i = 0; i < store.ids.size(); i += 3)
            first.Marks().SetSeen(store.ids[i], 1);
    }
    std::mt19937 random(3);
    double longest = 0;
    double longestMarks = 0, longestCounts = 0, longestFavourites = 0, longestSeen = 0;
    int rounds = 0;
    double catchUp = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (std::size_t i = 0; i < store.ids.size(); i += 10) {
            CResRecord res(CBinaryId::FromText(store.ids[i]), IdOf(900000 + random() % 100000), {},
                           "", "n", "", Body(random, 20), {}, {}, 2000000);
            res.Create(store.root, nullptr);
        }
        state.ResumeTiming();
        const auto started = std::chrono::steady_clock::now();
        CReader reader(store.dir, store.root, nullptr);
        reader.StartIndexing();
        std::atomic<bool> done{false};
        std::thread waiter([&] {
            reader.WaitIndexed();
            done = true;
        });
        while (!done) {
            const auto before = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(reader.Marks().All());
            const auto marks = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(reader.Marks().NewByCategory());
            const auto counts = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(reader.Favourites().List());
            const auto favourites = std::chrono::steady_clock::now();
            // A click on a row writes its mark: it waits for the worker's
            // transaction, which holds the one write lock.
            reader.Marks().SetSeen(std::string(32, 'f'), rounds);
            const auto seen = std::chrono::steady_clock::now();
            longestMarks = std::max(longestMarks, Ms(marks - before));
            longestCounts = std::max(longestCounts, Ms(counts - marks));
            longestFavourites = std::max(longestFavourites, Ms(favourites - counts));
            longestSeen = std::max(longestSeen, Ms(seen - favourites));
            longest = std::max(longest, Ms(seen - before));
            ++rounds;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        waiter.join();
        catchUp =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                .count();
    }
    state.counters["longest_gui_call_ms"] = longest;
    state.counters["catch_up_ms"] = catchUp;
    state.counters["gui_rounds"] = rounds;
    state.counters["marks_ms"] = longestMarks;
    state.counters["new_counts_ms"] = longestCounts;
    state.counters["favourites_ms"] = longestFavourites;
    state.counters["mark_seen_ms"] = longestSeen;
}
BENCHMARK(BM_StartupWithTenThousandThreadIndex)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
