// Tests of starting and ending fetches on a node: the connection check, one
// worker at a time, and a shutdown that meets a worker waiting for the GUI
// thread.
#include "res/Strings.h"
#include "support/InProcessNode.h"
#include "transfer/ThreadSourceTable.h"
#include "transfer/TransferSupport.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace transfertest;

namespace {

constexpr const char* kPeerAddress = "127.0.0.66";
constexpr const char* kNodeAddress = "127.0.0.67";
constexpr const char* kHolderAddress = "127.0.0.68";

class GetThreadTest : public ::testing::Test {
protected:
    // A node with one established connection, so that it may fetch.
    void Connect(int port, bool logging = true) {
        peer = std::make_unique<InProcessNode>(kPeerAddress, port);
        node = std::make_unique<InProcessNode>(kNodeAddress, port, "Disable", logging);
        ASSERT_TRUE(peer->Start());
        ASSERT_TRUE(node->Start());
        node->doc->OpenConnection(kPeerAddress, static_cast<std::uint16_t>(port));
        ASSERT_TRUE(WaitUntil([&] { return node->doc->CountEstablished() == 1; }));
    }
    void AddHolder(const CBinaryId& threadId, const char* address, int port) {
        CIPv4Address holder;
        holder.SetText(address);
        node->doc->Sources().AddSource(threadId.GetText(), holder, static_cast<std::uint16_t>(port),
                                       1000, 1);
    }

    std::unique_ptr<InProcessNode> peer;
    std::unique_ptr<InProcessNode> node;
};

TEST_F(GetThreadTest, WithoutConnectionWarnsAndStartsNothing) {
    InProcessNode alone(kNodeAddress, 16461);
    ASSERT_TRUE(alone.Start());
    EXPECT_FALSE(alone.doc->GetThread(NewId().GetText(), 0));
    ASSERT_EQ(alone.ui.messages, std::vector<std::string>{strings::kNotConnected});
    EXPECT_EQ(alone.ui.icons.back(), IPelmarUi::MessageIcon::Warning);
    EXPECT_FALSE(alone.doc->IsFetchInProgress());
}

TEST_F(GetThreadTest, SecondCallWhileFetchingStartsNoSecondWorker) {
    Connect(16462);
    const CBinaryId threadId = NewId();
    FakeHolder holder(kHolderAddress, 16462,
                      [](const FakeRequest&) { return std::string(kNotFound); });
    AddHolder(threadId, kHolderAddress, 16462);

    EXPECT_TRUE(node->doc->GetThread(threadId.GetText(), 0));
    EXPECT_TRUE(node->doc->GetThread(threadId.GetText(), 0));
    ASSERT_TRUE(WaitUntil([&] { return !node->doc->IsFetchInProgress(); }));
    RunEventsFor(300);
    EXPECT_EQ(holder.Connections(), 1);
    EXPECT_TRUE(node->ui.messages.empty());
    // The finished fetch redisplays the thread and empties the progress bar.
    EXPECT_EQ(node->ui.shownTitles, std::vector<std::string>{""});
    EXPECT_EQ(node->ui.progress, std::vector<int>{0});
}

TEST_F(GetThreadTest, NoHolderSendsQueryAndTriesOnceMoreAfterPause) {
    Connect(16463);
    const CBinaryId threadId = NewId();
    node->doc->SetCurrentThreadId(threadId.GetText());
    EXPECT_TRUE(node->doc->GetThread(threadId.GetText(), 0));
    // The first miss sends a query and starts the second try, which ends
    // without a further message.
    const std::string queried = "TID=" + threadId.GetText();
    ASSERT_TRUE(WaitUntil([&] { return node->LogHas(queried); }, 5000)) << node->Log();
    ASSERT_TRUE(WaitUntil([&] { return !node->doc->IsFetchInProgress(); }, 5000));
    // The query and the second try start in the same event, so the flag seen
    // clear after the query belongs to the second try's end.
    RunEventsFor(300);
    EXPECT_FALSE(node->doc->IsFetchInProgress());
    const std::string log = node->Log();
    EXPECT_EQ(log.find(queried), log.rfind(queried)); // one query only
    EXPECT_TRUE(node->ui.shownTitles.empty());
    // The user is told that nobody had it.
    EXPECT_TRUE(WaitUntil([&] { return !node->ui.statusTexts.empty(); }, 2000));
    EXPECT_EQ(node->ui.statusTexts, std::vector<std::string>{strings::kNoHolderNote});
}

TEST_F(GetThreadTest, ShutdownWhileTheWorkerWaitsForTheGuiEndsIt) {
    // The GUI thread does not run its event loop. Without the log the worker
    // gets its list and then waits to have its first progress shown; with
    // the log it waits first to have the holders it will ask written.
    struct Case {
        bool logging;
        std::size_t requestsBeforeTheWait;
    };
    for (const Case c : {Case{false, 2}, Case{true, 0}}) {
        SCOPED_TRACE(c.logging ? "log on" : "log off");
        const int port = c.logging ? 16491 : 16464;
        Connect(port, c.logging);
        TempDir source;
        const SeededThread thread = SeedThread(source.Path(), 50);
        FakeHolder holder(kHolderAddress, port, ServeFrom(source.Path(), thread.threadId));
        AddHolder(thread.threadId, kHolderAddress, port);

        ASSERT_TRUE(node->doc->GetThread(thread.threadId.GetText(), 0));
        for (int i = 0; i < 100 && holder.Requests().size() < c.requestsBeforeTheWait; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_EQ(holder.Requests().size(), c.requestsBeforeTheWait);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(holder.Requests().size(), c.requestsBeforeTheWait); // the worker is waiting

        const auto start = std::chrono::steady_clock::now();
        node.reset();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 5.0);
        peer.reset();
    }
}

} // namespace
