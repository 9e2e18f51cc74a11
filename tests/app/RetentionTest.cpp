// The store's retention: which threads go (oldest-updated first, until within
// the bounds; never a kept one), and a node doing it with its own clock,
// keeping what it wrote, answered or was told to keep.
#include "app/Retention.h"

#include "app/IdGenerator.h"
#include "app/PelmarDoc.h"
#include "store/ResRecord.h"
#include "store/StorePaths.h"
#include "store/ThreadIndex.h"
#include "store/ThreadRecord.h"
#include "support/InProcessNode.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {

constexpr std::uint32_t kNow = 1800000000;
constexpr std::uint32_t kDay = 24 * 60 * 60;

CBinaryId NewId() {
    return CBinaryId::FromText(CIdGenerator().GetText());
}

// A thread last updated at updated, of about bodies * 60 KB, in "news".
std::string StoreThread(const std::string& root, std::uint32_t updated, int bodies,
                        const CBinaryId& creator = NewId()) {
    const CBinaryId id = NewId();
    CThreadRecord thread(id, "t", "news", "n", "", std::string(60000, 'o'), creator, CBinaryId(),
                         updated, updated);
    thread.SetHeld(1);
    thread.SetResCount(1);
    EXPECT_TRUE(thread.Create(root, nullptr));
    for (int i = 1; i < bodies; ++i)
        EXPECT_TRUE(CResRecord(id, NewId(), CBinaryId(), "", "n", "", std::string(60000, 'r'),
                               NewId(), CBinaryId(), updated)
                        .Create(root, nullptr));
    return id.GetText();
}

} // namespace

TEST(RetentionTest, ChoosesOldestUnkeptThreadsUntilWithinBothBounds) {
    // Threads a to e, updated 10, 9, 8, 7 and 6 days ago, 100 bytes each,
    // listed newest first as a walk might; c is kept.
    SStoreUsage usage;
    usage.bytes = 520; // 20 bytes of index
    for (int i = 0; i < 5; ++i)
        usage.threads.push_back(SThreadUsage{std::string(1, static_cast<char>('e' - i)), "news", "",
                                             kNow - static_cast<std::uint32_t>(6 + i) * kDay, 100});
    const struct {
        std::uint64_t maxBytes;
        std::uint32_t maxDays;
        const char* removed;
    } cases[] = {
        {0, 0, ""},                       // off
        {520, 0, ""},                     // at the bound is within it
        {519, 0, "a"},                    // one over: the oldest goes
        {250, 0, "abd"},                  // c is kept, so d goes in its place
        {100, 0, "abde"},                 // all but the kept one, still over
        {0, 7, "ab"},                     // updated more than 7 days ago
        {0, 1, "abde"},   {450, 8, "ab"}, // the age bound removes enough for the size too
        {300, 9, "abd"},
    };
    for (const auto& c : cases) {
        const SRetentionLimits limits{c.maxBytes, c.maxDays * kDay};
        std::string removed;
        for (const SThreadUsage* thread :
             CRetention::Choose(usage, limits, kNow,
                                [](const SThreadUsage& thread) { return thread.threadId == "c"; }))
            removed += thread->threadId;
        EXPECT_EQ(removed, c.removed) << c.maxBytes << " bytes, " << c.maxDays << " days";
    }
}

TEST(RetentionTest, OwnThreadsAreRememberedAcrossRestartsAndOddLinesSkipped) {
    TempDir dir;
    const std::string path = dir / COwnThreads::kFileName;
    const std::string first = NewId().GetText();
    const std::string second = NewId().GetText();
    {
        COwnThreads own(path);
        EXPECT_TRUE(own.Add(first));
        EXPECT_TRUE(own.Add(first));
    }
    TempDir::WriteFile(path, TempDir::ReadFile(path) + "not an id\n" + second.substr(0, 20));
    COwnThreads own(path);
    EXPECT_TRUE(own.Contains(first));
    EXPECT_FALSE(own.Contains(second));
    EXPECT_EQ(own.Size(), 1u);
}

TEST(RetentionTest, NodeRemovesOldestThreadsButNeverItsOwnAnsweredOrFavouriteOnes) {
    InProcessNode node("127.0.0.231", 16531, "CacheServent", true,
                       "[Cache]\nMaxMegabytes=1\nMaxDays=30\n");
    node.doc->SetClock([] { return kNow; });
    node.doc->SetCurrentCategory("news");
    int checks = 0;
    QObject::connect(&node.doc->Retention(), &CRetention::Checked, [&] { ++checks; });
    ASSERT_TRUE(node.Start());
    ASSERT_TRUE(WaitUntil([&] { return checks == 1; }, 30000)); // at start, of an empty store
    EXPECT_EQ(node.ui.storeStatus, (std::pair<std::uint64_t, std::size_t>{0, 0}));

    const std::string root = node.ThreadDir();
    const CBinaryId self = CBinaryId::FromText(node.doc->GetServentId());
    const std::string old = StoreThread(root, kNow - 40 * kDay, 1);
    const std::string written = StoreThread(root, kNow - 40 * kDay, 1, self);
    const std::string answered = StoreThread(root, kNow - 39 * kDay, 1);
    const std::string favourite = StoreThread(root, kNow - 38 * kDay, 1);
    const std::string large = StoreThread(root, kNow - 10 * kDay, 7);
    const std::string newer = StoreThread(root, kNow - 5 * kDay, 7);
    const std::string newest = StoreThread(root, kNow - 1 * kDay, 7);
    // Answered on its day: the thread stays as old as it was.
    node.doc->SetClock([] { return kNow - 39 * kDay; });
    ASSERT_FALSE(node.doc->PostResponse(answered, CResponseDraft{"", "n", "", "re"}).empty());
    node.doc->SetClock([] { return kNow; });
    node.doc->Retention().SetKeepPredicate([&](const std::string& id) { return id == favourite; });

    node.doc->Retention().CheckNow();
    ASSERT_TRUE(WaitUntil([&] { return checks == 2; }, 30000));

    std::set<std::string> held;
    for (const std::string& id : {old, written, answered, favourite, large, newer, newest})
        if (std::filesystem::exists(storepaths::ThreadDir(root, id)))
            held.insert(id);
    EXPECT_EQ(held, (std::set<std::string>{written, answered, favourite, newer, newest}));
    std::vector<std::string> listed;
    CThreadIndex("news", root).List(listed);
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), held);
    EXPECT_TRUE(node.LogHas("retention remove thread " + old));
    EXPECT_TRUE(node.LogHas("retention remove thread " + large));
    EXPECT_EQ(node.ui.storeStatus.second, 5u);
    EXPECT_LE(node.ui.storeStatus.first, 1024u * 1024u);
    EXPECT_EQ(node.doc->Retention().StoreThreads(), 5u);
}
