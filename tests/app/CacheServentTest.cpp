// A cache servent's own fetches: every refresh an update asks for is kept and
// fetched in turn (up to a bound), the log names whom each fetch asks, and
// none of them moves the user's selection or page. Two nodes in the test
// process; the cache servent is handed the updates.
#include "app/PelmarDoc.h"
#include "protocol/Connection.h"
#include "protocol/Handlers.h"
#include "protocol/Overlay.h"
#include "protocol/wire/UpdateMessage.h"
#include "store/ThreadRecord.h"
#include "support/InProcessNode.h"
#include "support/RawPeer.h"
#include "support/Wait.h"
#include "transfer/ThreadSourceTable.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace {

constexpr const char* kHolder = "127.0.0.230";
constexpr const char* kCache = "127.0.0.231";
constexpr std::uint16_t kPort = 16640;

// An update for the thread as a neighbour passes it on (neither value fresh,
// so it goes on without a draw).
CUpdateMessage UpdateFor(const std::string& threadId) {
    CUpdateMessage update;
    update.Header() =
        CMessageHeader(CBinaryId::FromText(rawmsg::NewId()), CMessageHeader::kTypeUpdate);
    update.Header().SetTtl(4);
    update.Header().SetHops(2);
    update.SetThreadId(CBinaryId::FromText(threadId));
    update.SetTime(1700000000);
    update.SetResCount(1);
    update.SetTitle("title");
    update.SetName("name");
    update.SetCategory("news");
    update.SetServentId(CBinaryId::FromText(rawmsg::NewId()));
    return update;
}

bool Holds(const InProcessNode& node, const std::string& threadId) {
    CThreadRecord thread;
    return thread.Load(threadId, node.ThreadDir());
}

} // namespace

TEST(CacheServentTest, UpdateArrivingDuringAFetchIsFetchedNextAndNeitherMovesTheSelection) {
    InProcessNode holder(kHolder, kPort);
    InProcessNode cache(kCache, kPort, "CacheServent");
    ASSERT_TRUE(holder.Start());
    ASSERT_TRUE(cache.Start());
    // Posted before the nodes meet, so only the test's updates reach the cache.
    CThreadDraft draft{"first", "news", "name", "", "body"};
    const std::string first = holder.doc->PostThread(draft);
    draft.title = "second";
    const std::string second = holder.doc->PostThread(draft);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());

    cache.doc->ConnectToEntry(std::string(kHolder) + ":" + std::to_string(kPort));
    ASSERT_TRUE(WaitUntil([&] { return cache.doc->CountEstablished() == 1; }));
    CIPv4Address holderAddress;
    holderAddress.SetText(kHolder);
    for (const std::string& threadId : {first, second})
        cache.doc->Sources().AddSource(threadId, holderAddress, kPort, 1000, 1);
    cache.doc->SetCurrentCategory("news");
    cache.doc->SetCurrentThreadId("chosen");

    CConnection& fromHolder = *cache.doc->GetConnections().front();
    for (const std::string& threadId : {first, second}) {
        CUpdateMessage update = UpdateFor(threadId);
        HandleUpdate(cache.doc->Overlay(), fromHolder, update);
    }
    // The first fetch runs; the second update waits for it.
    EXPECT_TRUE(cache.doc->IsFetchInProgress());
    EXPECT_EQ(cache.doc->QueuedRefreshes(), std::deque<std::string>{second});

    ASSERT_TRUE(WaitUntil(
        [&] {
            return !cache.doc->IsFetchInProgress() && cache.doc->QueuedRefreshes().empty() &&
                   Holds(cache, first) && Holds(cache, second);
        },
        20000))
        << cache.Log();
    EXPECT_EQ(cache.doc->GetCurrentThreadId(), "chosen");
    EXPECT_TRUE(cache.ui.shownTitles.empty());
    // The row of each fetched thread is refreshed from what is held now.
    for (const std::string& threadId : {first, second}) {
        EXPECT_TRUE(cache.LogHas("fetch TID=" + threadId + " ask " + kHolder + " " +
                                 std::to_string(kPort) + "\n"));
        bool refreshed = false;
        for (const CThreadSummary& row : cache.ui.rows)
            refreshed |= row.threadId == threadId && !row.isNew && row.title != "title";
        EXPECT_TRUE(refreshed) << threadId;
    }
}

TEST(CacheServentTest, FullQueueDropsItsOldestThreadAndSaysWhich) {
    InProcessNode neighbour("127.0.0.232", kPort + 1);
    InProcessNode cache("127.0.0.233", kPort + 1, "CacheServent");
    ASSERT_TRUE(neighbour.Start());
    ASSERT_TRUE(cache.Start());
    cache.doc->ConnectToEntry("127.0.0.232:" + std::to_string(kPort + 1));
    ASSERT_TRUE(WaitUntil([&] { return cache.doc->CountEstablished() == 1; }));

    // The first update starts a fetch; while it runs (its end is handled by
    // the event loop, which does not run in between) the rest are queued.
    CConnection& from = *cache.doc->GetConnections().front();
    const std::size_t queueSize = CPelmarDoc::kMaxQueuedRefreshes;
    std::vector<std::string> threads;
    for (std::size_t i = 0; i < queueSize + 2; ++i) {
        threads.push_back(rawmsg::NewId());
        CUpdateMessage update = UpdateFor(threads.back());
        HandleUpdate(cache.doc->Overlay(), from, update);
    }
    ASSERT_TRUE(cache.doc->IsFetchInProgress());
    const std::deque<std::string> expected(threads.begin() + 2, threads.end());
    EXPECT_EQ(cache.doc->QueuedRefreshes(), expected);
    const std::string dropped = "cache fetch queue full, dropped thread ";
    EXPECT_TRUE(cache.LogHas(dropped + threads[1] + "\n")) << cache.Log();
    EXPECT_FALSE(cache.LogHas(dropped + threads[2])) << cache.Log();
}
