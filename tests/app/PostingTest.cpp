// Posting threads and responses: what is stored here, what the announcement
// carries (seen by a second node in the test process) and what is left alone
// when a post cannot be made.
#include "app/IdGenerator.h"
#include "app/PelmarDoc.h"
#include "base/BinaryId.h"
#include "res/Strings.h"
#include "store/FileSystem.h"
#include "store/ResRecord.h"
#include "store/StorePaths.h"
#include "store/ThreadIndex.h"
#include "store/ThreadRecord.h"
#include "support/InProcessNode.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

constexpr std::uint32_t kPostTime = 1700000000;

CThreadDraft Draft(const std::string& title) {
    CThreadDraft draft;
    draft.title = title;
    draft.category = "news";
    draft.name = "n<a>me";
    draft.mail = "m@x>";
    draft.body = "a<b> & c\r\nline";
    return draft;
}

std::vector<std::string> ThreadsOf(const InProcessNode& node, const std::string& category) {
    std::vector<std::string> ids;
    CThreadIndex(category, node.ThreadDir()).List(ids);
    return ids;
}

} // namespace

class PostingTest : public ::testing::Test {
protected:
    // A posts; B, joined to it, shows what A announces. Each test has its
    // own port.
    void StartPair(int port) {
        a = std::make_unique<InProcessNode>("127.0.0.86", port);
        b = std::make_unique<InProcessNode>("127.0.0.87", port);
        ASSERT_TRUE(a->Start());
        ASSERT_TRUE(b->Start());
        a->doc->SetClock([this] { return now; });
        a->doc->SetCurrentCategory("news");
        b->doc->SetCurrentCategory("news");
        a->doc->ConnectToEntry("127.0.0.87:" + std::to_string(port));
        ASSERT_TRUE(WaitUntil(
            [&] { return a->doc->CountEstablished() == 1 && b->doc->CountEstablished() == 1; }));
    }

    // A thread of A's posted through the dialog; its id.
    std::string PostThread(const std::string& title) {
        a->ui.threadDraft = Draft(title);
        a->doc->PostNewThread();
        const std::vector<std::string> ids = ThreadsOf(*a, "news");
        EXPECT_EQ(ids.size(), 1u);
        return ids.empty() ? std::string() : ids.front();
    }

    std::uint32_t now = kPostTime;
    std::unique_ptr<InProcessNode> a;
    std::unique_ptr<InProcessNode> b;
};

TEST_F(PostingTest, NewThreadIsStoredEscapedAndAnnouncedAsTyped) {
    StartPair(16481);
    a->doc->SetCurrentThreadId("0123456789abcdef0123456789abcdef");
    const std::string id = PostThread("x<y>z");

    CThreadRecord stored;
    ASSERT_TRUE(stored.Load(id, a->ThreadDir()));
    EXPECT_EQ(stored.GetTitle(), "x&lt;y&gt;z");
    EXPECT_EQ(stored.GetName(), "n&lt;a&gt;me");
    EXPECT_EQ(stored.GetMail(), "m@x&gt;");
    EXPECT_EQ(stored.GetBody(), "a&lt;b&gt; & c\r\nline");
    EXPECT_EQ(stored.GetCategory(), "news");
    EXPECT_EQ(stored.GetCreatorId().GetText(), a->doc->GetServentId());
    EXPECT_EQ(stored.GetCreated(), kPostTime);
    EXPECT_EQ(stored.GetUpdated(), kPostTime);
    EXPECT_EQ(stored.GetHeld(), 1);
    EXPECT_EQ(stored.GetResCount(), 1);

    // The dialog opened on the current category; the views were refreshed
    // and the page still shows the thread that was current.
    EXPECT_EQ(a->ui.presetCategories, std::vector<std::string>{"news"});
    EXPECT_EQ(a->ui.refreshes, 1);
    EXPECT_EQ(a->ui.shownTitles, std::vector<std::string>{""});
    EXPECT_EQ(a->doc->GetCurrentThreadId(), "0123456789abcdef0123456789abcdef");
    EXPECT_TRUE(a->LogHas("send update message 127.0.0.87 "));
    EXPECT_TRUE(a->LogHas(" TID=" + id));

    ASSERT_TRUE(WaitUntil([&] { return !b->ui.rows.empty(); }));
    const CThreadSummary& row = b->ui.rows.front();
    EXPECT_EQ(row.threadId, id);
    EXPECT_EQ(row.title, "x<y>z");
    EXPECT_EQ(row.name, "n<a>me");
    EXPECT_EQ(row.category, "news");
    EXPECT_EQ(row.resCount, 1);
    EXPECT_EQ(row.time, kPostTime);
}

TEST_F(PostingTest, ResponseCountsInTheThreadAndAnnouncesItsStoredTexts) {
    StartPair(16482);
    const std::string id = PostThread("x<y>z");
    ASSERT_TRUE(WaitUntil([&] { return b->ui.rows.size() == 1; }));

    a->doc->SetCurrentThreadId(id);
    now = kPostTime + 60;
    a->ui.responseDraft = CResponseDraft{"re<1>", "who>", "", "<body>"};
    a->doc->PostNewResponse();
    EXPECT_EQ(a->ui.responseDialogs, 1);

    std::vector<CBinaryId> held;
    ASSERT_EQ(CResRecord::ListHeld(a->ThreadDir(), id, held), 1u);
    CResRecord res;
    ASSERT_TRUE(res.Load(id, held[0].GetText(), a->ThreadDir(), nullptr));
    EXPECT_EQ(res.GetTitle(), "re&lt;1&gt;");
    EXPECT_EQ(res.GetName(), "who&gt;");
    EXPECT_EQ(res.GetBody(), "&lt;body&gt;");
    EXPECT_EQ(res.GetPosterId().GetText(), a->doc->GetServentId());
    EXPECT_TRUE(res.GetReservedId1().IsNull());
    EXPECT_EQ(res.GetTime(), kPostTime + 60);

    CThreadRecord thread;
    ASSERT_TRUE(thread.Load(id, a->ThreadDir()));
    EXPECT_EQ(thread.GetHeld(), 2);
    EXPECT_EQ(thread.GetResCount(), 2);
    EXPECT_EQ(thread.GetUpdated(), kPostTime + 60);
    EXPECT_EQ(a->ui.refreshes, 2);
    EXPECT_EQ(a->ui.shownTitles.size(), 2u);

    // The announcement names the thread as stored, with its new count.
    ASSERT_TRUE(WaitUntil([&] { return b->ui.rows.size() == 2; }));
    const CThreadSummary& row = b->ui.rows.back();
    EXPECT_EQ(row.threadId, id);
    EXPECT_EQ(row.title, "x&lt;y&gt;z");
    EXPECT_EQ(row.name, "n&lt;a&gt;me");
    EXPECT_EQ(row.resCount, 2);
    EXPECT_EQ(row.time, kPostTime + 60);
}

TEST_F(PostingTest, ResponseToThreadWithoutLocalDataOpensNoDialog) {
    StartPair(16483);
    a->ui.responseDraft = CResponseDraft{"t", "n", "m", "b"};

    // Known only from a queryhit: nothing on disk.
    const std::string unknown = CIdGenerator().GetText();
    a->doc->SetCurrentThreadId(unknown);
    a->doc->PostNewResponse();
    // Files present, but none of its posts held here.
    const std::string id = PostThread("held none");
    CThreadRecord thread;
    ASSERT_TRUE(thread.Load(id, a->ThreadDir()));
    thread.SetHeld(0);
    TempDir::WriteFile(storepaths::InfoFile(a->ThreadDir(), id), thread.EncodeInfo());
    a->doc->SetCurrentThreadId(id);
    a->doc->PostNewResponse();
    // No thread current at all.
    a->doc->SetCurrentThreadId("");
    a->doc->PostNewResponse();

    EXPECT_EQ(a->ui.responseDialogs, 0);
    ASSERT_EQ(a->ui.messages.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(a->ui.messages[i], strings::kNoThreadData);
        EXPECT_EQ(a->ui.icons[i], IPelmarUi::MessageIcon::None);
    }
    EXPECT_FALSE(std::filesystem::exists(storepaths::ThreadDir(a->ThreadDir(), unknown)));
    std::vector<CBinaryId> held;
    EXPECT_EQ(CResRecord::ListHeld(a->ThreadDir(), id, held), 0u);
    ASSERT_TRUE(WaitUntil([&] { return b->ui.rows.size() == 1; })); // the thread's own update
    RunEventsFor(300);
    EXPECT_EQ(b->ui.rows.size(), 1u);
}

TEST_F(PostingTest, CancelledDialogsStoreAndSendNothing) {
    StartPair(16484);
    a->doc->PostNewThread(); // no draft scripted: cancelled
    EXPECT_EQ(a->ui.presetCategories.size(), 1u);
    EXPECT_TRUE(ThreadsOf(*a, "news").empty());
    EXPECT_EQ(a->ui.refreshes, 0);

    const std::string id = PostThread("kept");
    const std::string info = TempDir::ReadFile(storepaths::InfoFile(a->ThreadDir(), id));
    ASSERT_TRUE(WaitUntil([&] { return b->ui.rows.size() == 1; }));
    a->doc->SetCurrentThreadId(id);
    now += 60;
    a->doc->PostNewResponse(); // no draft scripted: cancelled
    EXPECT_EQ(a->ui.responseDialogs, 1);
    std::vector<CBinaryId> held;
    EXPECT_EQ(CResRecord::ListHeld(a->ThreadDir(), id, held), 0u);
    EXPECT_EQ(TempDir::ReadFile(storepaths::InfoFile(a->ThreadDir(), id)), info);
    EXPECT_EQ(a->ui.refreshes, 1);
    RunEventsFor(300);
    EXPECT_EQ(b->ui.rows.size(), 1u);
}

// A thread the store could not take is reported and never announced: no
// node could fetch it from here.
TEST_F(PostingTest, ThreadTheStoreRefusedIsNotAnnounced) {
    StartPair(16486);
    std::string root = a->ThreadDir();
    root.pop_back(); // the trailing "/"
    std::filesystem::remove_all(root);
    TempDir::WriteFile(root, "not a directory");

    a->ui.threadDraft = Draft("lost");
    a->doc->PostNewThread();
    EXPECT_FALSE(a->ui.messages.empty());
    EXPECT_FALSE(a->LogHas("send update message"));
    EXPECT_EQ(a->ui.refreshes, 1);
    RunEventsFor(300);
    EXPECT_TRUE(b->ui.rows.empty());
}

// The dialog is modal while the network keeps running; a cache servent's
// update handling may move the current thread meanwhile. The response still
// goes to the thread it was written for.
TEST_F(PostingTest, ResponseStaysWithTheThreadItWasStartedFor) {
    struct SwitchingUi : ScriptedUi {
        bool ComposeResponse(CResponseDraft& draft) override {
            doc->SetCurrentThreadId(elsewhere);
            return ScriptedUi::ComposeResponse(draft);
        }
        CPelmarDoc* doc = nullptr;
        std::string elsewhere;
    };
    TempDir dir;
    TempDir::WriteFile(dir / "pelmar.ini", "[Network]\nPort=16485\n");
    CPelmarDoc::Options options;
    options.iniPath = dir / "pelmar.ini";
    options.applicationDir = dir.Path();
    options.dataDir = dir.Path();
    options.bindAddress = "127.0.0.86";
    SwitchingUi ui;
    CPelmarDoc doc(ui, options);
    ASSERT_TRUE(doc.Start());
    doc.SetCurrentCategory("news");
    ui.doc = &doc;
    ui.threadDraft = Draft("first");
    doc.PostNewThread();
    std::vector<std::string> ids;
    CThreadIndex("news", doc.GetThreadDir()).List(ids);
    ASSERT_EQ(ids.size(), 1u);

    ui.elsewhere = CIdGenerator().GetText();
    ui.responseDraft = CResponseDraft{"t", "n", "m", "b"};
    doc.SetCurrentThreadId(ids[0]);
    doc.PostNewResponse();
    std::vector<CBinaryId> held;
    EXPECT_EQ(CResRecord::ListHeld(doc.GetThreadDir(), ids[0], held), 1u);
    EXPECT_FALSE(std::filesystem::exists(storepaths::ThreadDir(doc.GetThreadDir(), ui.elsewhere)));
    EXPECT_TRUE(ui.messages.empty());
}

// On a full disk a thread or a response is refused with the store's messages,
// nothing of it stays or is announced, and posting works again once space
// returns.
TEST_F(PostingTest, PostsOnAFullDiskAreRefusedUntilSpaceReturns) {
    StartPair(16487);
    const std::string thread = PostThread("first");
    ASSERT_TRUE(WaitUntil([&] { return b->ui.rows.size() == 1; }));
    a->doc->SetCurrentThreadId(thread);
    const std::string threadFile =
        TempDir::ReadFile(storepaths::ThreadFile(a->ThreadDir(), thread));
    a->ui.messages.clear();

    storefs::SetDiskFullForTests(true);
    EXPECT_TRUE(a->doc->PostThread(Draft("lost")).empty());
    EXPECT_TRUE(a->doc->PostResponse(thread, CResponseDraft{"t", "n", "", "lost"}).empty());
    storefs::SetDiskFullForTests(false);

    ASSERT_FALSE(a->ui.messages.empty());
    for (const std::string& message : a->ui.messages)
        EXPECT_EQ(message, strings::kFileCreateFailed);
    EXPECT_EQ(ThreadsOf(*a, "news"), std::vector<std::string>{thread});
    std::vector<CBinaryId> held;
    EXPECT_EQ(CResRecord::ListHeld(a->ThreadDir(), thread, held), 0u);
    EXPECT_EQ(TempDir::ReadFile(storepaths::ThreadFile(a->ThreadDir(), thread)), threadFile);
    RunEventsFor(300);
    EXPECT_EQ(b->ui.rows.size(), 1u);

    EXPECT_FALSE(a->doc->PostResponse(thread, CResponseDraft{"t", "n", "", "kept"}).empty());
    EXPECT_FALSE(a->doc->PostThread(Draft("second")).empty());
    EXPECT_EQ(ThreadsOf(*a, "news").size(), 2u);
    ASSERT_TRUE(WaitUntil([&] { return b->ui.rows.size() >= 2; }));
}
