// Posting and announcing across five nodes in one chain, A-B-C-D-E, of which
// D is a cache servent: a new thread reaches every node as an update, the
// cache servent fetches it (query, queryhit, transfer), a new response brings
// its copy up to date, and a thread it deletes can be fetched again.
#include "base/BinaryId.h"
#include "store/ResRecord.h"
#include "store/StorePaths.h"
#include "store/ThreadIndex.h"
#include "store/ThreadRecord.h"
#include "support/InProcessNode.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// While the chain is built every node takes this address for its own, so
// the pongs that answer each new connection's ping name "this node" to
// everyone and open no shortcut between nodes further apart.
constexpr const char* kSilentAddress = "127.0.0.99";

// The row an update made: marked new (a fetch's row is not).
const CThreadSummary* FindRow(const InProcessNode& node, const std::string& threadId,
                              std::uint16_t resCount) {
    for (const CThreadSummary& row : node.ui.rows)
        if (row.threadId == threadId && row.resCount == resCount && row.isNew)
            return &row;
    return nullptr;
}

bool HasRow(const InProcessNode& node, const std::string& threadId, std::uint16_t resCount) {
    return FindRow(node, threadId, resCount) != nullptr;
}

std::vector<std::string> Listed(const InProcessNode& node) {
    std::vector<std::string> ids;
    CThreadIndex("news", node.ThreadDir()).List(ids);
    return ids;
}

std::vector<std::string> HeldResponses(const InProcessNode& node, const std::string& threadId) {
    std::vector<CBinaryId> held;
    CResRecord::ListHeld(node.ThreadDir(), threadId, held);
    std::vector<std::string> ids;
    for (const CBinaryId& id : held)
        ids.push_back(id.GetText());
    return ids;
}

} // namespace

class PostAndAnnounceTest : public ::testing::Test {
protected:
    // Each test has its own port, so the tests can run side by side.
    void BuildChain(int port) {
        const char* const addresses[] = {"127.0.0.80", "127.0.0.81", "127.0.0.82", "127.0.0.83",
                                         "127.0.0.84"};
        for (int i = 0; i < 5; ++i) {
            nodes.push_back(std::make_unique<InProcessNode>(addresses[i], port,
                                                            i == 3 ? "CacheServent" : "Disable"));
            ASSERT_TRUE(nodes[i]->Start());
            nodes[i]->doc->SetCurrentCategory("news");
            nodes[i]->doc->OwnAddress().SetText(kSilentAddress);
        }
        for (int i = 0; i + 1 < 5; ++i) {
            nodes[i]->doc->ConnectToEntry(std::string(addresses[i + 1]) + ":" +
                                          std::to_string(port));
            ASSERT_TRUE(WaitUntil([&] {
                return nodes[i]->doc->CountEstablished() == (i == 0 ? 1 : 2) &&
                       nodes[i + 1]->doc->CountEstablished() == 1;
            }));
        }
        // Let the pings and pongs die out, then give the nodes their own
        // addresses back: queryhits must name where each one really is.
        RunEventsFor(500);
        for (int i = 0; i < 5; ++i) {
            nodes[i]->doc->OwnAddress().SetText(addresses[i]);
            EXPECT_EQ(nodes[i]->doc->CountEstablished(), i == 0 || i == 4 ? 1 : 2) << i;
        }
    }
    void TearDown() override {
        for (auto& node : nodes)
            WaitUntil([&] { return !node->doc->IsFetchInProgress(); }, 15000);
    }

    InProcessNode& A() { return *nodes[0]; }
    InProcessNode& D() { return *nodes[3]; }

    // D has fetched the thread with these responses and is idle again.
    bool CacheHolds(const std::string& threadId, const std::vector<std::string>& responses) {
        return WaitUntil(
            [&] {
                return !D().doc->IsFetchInProgress() &&
                       fs::exists(storepaths::ThreadFile(D().ThreadDir(), threadId)) &&
                       HeldResponses(D(), threadId) == responses;
            },
            15000);
    }

    std::vector<std::unique_ptr<InProcessNode>> nodes;
};

TEST_F(PostAndAnnounceTest, ThreadAndResponseReachEveryNodeAndTheCacheServent) {
    BuildChain(16480);
    ASSERT_FALSE(HasFatalFailure());
    A().ui.threadDraft = CThreadDraft{"chain <test>", "news", "alice", "", "first post"};
    A().doc->PostNewThread();
    const std::vector<std::string> onA = Listed(A());
    ASSERT_EQ(onA.size(), 1u);
    const std::string tid = onA[0];

    // Every other node lists it as new, announced as typed.
    for (int i = 1; i < 5; ++i) {
        ASSERT_TRUE(WaitUntil([&] { return HasRow(*nodes[i], tid, 1); })) << i;
        EXPECT_EQ(FindRow(*nodes[i], tid, 1)->title, "chain <test>");
        EXPECT_TRUE(nodes[i]->LogHas("receive update message ")) << i;
    }
    // The middle nodes passed it on towards E.
    EXPECT_TRUE(nodes[1]->LogHas("relay update message 127.0.0.82 "));
    EXPECT_TRUE(nodes[3]->LogHas("relay update message 127.0.0.84 "));

    // Only the cache servent fetched it: it asked the overlay who holds it
    // and took the thread from A.
    ASSERT_TRUE(CacheHolds(tid, {}));
    EXPECT_EQ(D().doc->GetCurrentThreadId(), ""); // its own fetch leaves the selection alone
    EXPECT_TRUE(D().LogHas("send query message "));
    CThreadRecord copy;
    ASSERT_TRUE(copy.Load(tid, D().ThreadDir()));
    EXPECT_EQ(copy.GetTitle(), "chain &lt;test&gt;");
    EXPECT_EQ(copy.GetHeld(), 1);
    EXPECT_EQ(Listed(D()), std::vector<std::string>{tid});
    for (int i : {1, 2, 4})
        EXPECT_FALSE(fs::exists(storepaths::ThreadDir(nodes[i]->ThreadDir(), tid))) << i;

    // A response on A brings the copy up to date.
    A().doc->SetCurrentThreadId(tid);
    A().ui.responseDraft = CResponseDraft{"re", "bob", "", "second <post>"};
    A().doc->PostNewResponse();
    const std::vector<std::string> responses = HeldResponses(A(), tid);
    ASSERT_EQ(responses.size(), 1u);
    for (int i = 1; i < 5; ++i)
        ASSERT_TRUE(WaitUntil([&] { return HasRow(*nodes[i], tid, 2); })) << i;
    ASSERT_TRUE(CacheHolds(tid, responses));
    CResRecord res;
    ASSERT_TRUE(res.Load(tid, responses[0], D().ThreadDir(), nullptr));
    EXPECT_EQ(res.GetBody(), "second &lt;post&gt;");
    EXPECT_TRUE(D().ui.messages.empty());
}

TEST_F(PostAndAnnounceTest, DeletedThreadCanBeFetchedAgain) {
    BuildChain(16481);
    ASSERT_FALSE(HasFatalFailure());
    A().ui.threadDraft = CThreadDraft{"to delete", "news", "alice", "", "body"};
    A().doc->PostNewThread();
    const std::string tid = Listed(A()).at(0);
    A().doc->SetCurrentThreadId(tid);
    A().ui.responseDraft = CResponseDraft{"", "bob", "", "reply"};
    ASSERT_TRUE(CacheHolds(tid, {}));
    A().doc->PostNewResponse();
    const std::vector<std::string> responses = HeldResponses(A(), tid);
    ASSERT_TRUE(CacheHolds(tid, responses));

    D().ui.answerYes = true;
    D().doc->SetCurrentThreadId(tid);
    D().doc->DeleteCurrentThread();
    EXPECT_FALSE(fs::exists(storepaths::ThreadDir(D().ThreadDir(), tid)));
    EXPECT_TRUE(Listed(D()).empty());
    // Only D forgot it.
    EXPECT_TRUE(fs::exists(storepaths::ThreadFile(A().ThreadDir(), tid)));

    ASSERT_TRUE(D().doc->GetThread(tid, 0));
    ASSERT_TRUE(CacheHolds(tid, responses));
    EXPECT_EQ(Listed(D()), std::vector<std::string>{tid});
    CThreadRecord copy;
    ASSERT_TRUE(copy.Load(tid, D().ThreadDir()));
    EXPECT_EQ(copy.GetHeld(), 2);
    EXPECT_EQ(copy.GetResCount(), 2);
}
