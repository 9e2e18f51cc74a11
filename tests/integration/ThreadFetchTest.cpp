// Two nodes over loopback: one holds a thread of 100 responses, the other
// fetches it, first from a holder entered in its source table, then along the
// whole road (no holder known, query, queryhit, second try).
#include "support/InProcessNode.h"
#include "transfer/ThreadSourceTable.h"
#include "transfer/TransferSupport.h"

#include <gtest/gtest.h>

using namespace transfertest;

namespace {

constexpr const char* kHolderAddress = "127.0.0.70";
constexpr const char* kFetcherAddress = "127.0.0.71";

class ThreadFetchTest : public ::testing::Test {
protected:
    void Start(int port) {
        holder = std::make_unique<InProcessNode>(kHolderAddress, port);
        fetcher = std::make_unique<InProcessNode>(kFetcherAddress, port);
        ASSERT_TRUE(holder->Start());
        ASSERT_TRUE(fetcher->Start());
        fetcher->doc->OpenConnection(kHolderAddress, static_cast<std::uint16_t>(port));
        ASSERT_TRUE(WaitUntil([&] {
            return fetcher->doc->CountEstablished() == 1 && holder->doc->CountEstablished() == 1;
        }));
        thread = SeedThread(holder->ThreadDir(), 100, "talk");
        fetcher->doc->SetCurrentCategory("talk");
        fetcher->doc->SetCurrentThreadId(thread.threadId.GetText());
    }
    void ExpectWholeThreadFetched() {
        const std::string& from = holder->ThreadDir();
        const std::string& to = fetcher->ThreadDir();
        EXPECT_EQ(ThreadFileOf(to, thread.threadId), ThreadFileOf(from, thread.threadId));
        for (const CBinaryId& resId : thread.resIds)
            ASSERT_EQ(ResFileOf(to, thread.threadId, resId),
                      ResFileOf(from, thread.threadId, resId));
        // The finished fetch shows the thread and its refreshed row.
        ASSERT_FALSE(fetcher->ui.rows.empty());
        const CThreadSummary& row = fetcher->ui.rows.back();
        EXPECT_EQ(row.threadId, thread.threadId.GetText());
        EXPECT_EQ(row.title, "title");
        EXPECT_EQ(row.resCount, 101);
        EXPECT_EQ(row.time, thread.lastTime);
        EXPECT_FALSE(row.isNew);
        EXPECT_EQ(fetcher->ui.shownTitles.back(), "");
        // Progress climbs to the holder's full share, then the bar empties.
        const std::vector<int>& progress = fetcher->ui.progress;
        ASSERT_GE(progress.size(), 3u);
        EXPECT_EQ(progress.end()[-2], 100);
        EXPECT_EQ(progress.back(), 0);
        for (int percent : progress)
            EXPECT_TRUE(percent >= 0 && percent <= 100);
    }

    std::unique_ptr<InProcessNode> holder;
    std::unique_ptr<InProcessNode> fetcher;
    SeededThread thread;
};

TEST_F(ThreadFetchTest, KnownHolderGivesWholeThreadByteForByte) {
    Start(16470);
    CIPv4Address address;
    address.SetText(kHolderAddress);
    { fetcher->doc->Sources().AddSource(thread.threadId.GetText(), address, 16470, 1000, 101); }
    ASSERT_TRUE(fetcher->doc->GetThread(thread.threadId.GetText(), 0));
    ASSERT_TRUE(WaitUntil([&] { return !fetcher->doc->IsFetchInProgress(); }, 20000));
    ExpectWholeThreadFetched();
    EXPECT_TRUE(fetcher->ui.messages.empty());
}

TEST_F(ThreadFetchTest, UnknownHolderIsFoundByQueryAndFetchedOnSecondTry) {
    Start(16471);
    ASSERT_TRUE(fetcher->doc->GetThread(thread.threadId.GetText(), 0));
    ASSERT_TRUE(WaitUntil([&] { return !fetcher->ui.shownTitles.empty(); }, 20000))
        << fetcher->Log();
    ASSERT_FALSE(fetcher->doc->IsFetchInProgress());
    ExpectWholeThreadFetched();
}

} // namespace
