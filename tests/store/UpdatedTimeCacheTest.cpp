// Cached updated times: the index order follows every change to a ".info",
// whoever makes it, and a file changed moments ago is never trusted by its
// identity alone.
#include "TempDir.h"

#include "store/FieldCoding.h"
#include "store/ResRecord.h"
#include "store/ThreadIndex.h"
#include "store/UpdatedTimeCache.h"

#include <chrono>
#include <functional>
#include <thread>

using namespace storetest;

namespace {

using Ids = std::vector<std::string>;

class UpdatedTimeCacheTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        Cache().Clear();
        for (unsigned n = 1; n <= 3; ++n) {
            WriteInfo(IdText(n), 1, 1, 400 - 100 * n);
            Index().Add(IdText(n));
        }
    }
    void TearDown() override {
        Cache().SetSettleTime(CUpdatedTimeCache::kSettleNs);
        Cache().Clear();
        TempDirTest::TearDown();
    }
    static CUpdatedTimeCache& Cache() { return CUpdatedTimeCache::Instance(); }
    CThreadIndex Index() const { return CThreadIndex("News", root); }
    Ids List() const {
        Ids ids;
        Index().List(ids);
        return ids;
    }
    // Lists with every time taken into the cache, so that what follows is
    // seen only if the cache notices it.
    Ids ListCached() {
        Cache().SetSettleTime(0);
        const Ids ids = List();
        EXPECT_EQ(Cache().Size(), 3u);
        return ids;
    }
    void WriteUpdatedInPlace(const std::string& id, std::uint32_t updated) {
        std::string bytes;
        field::PutTime(bytes, updated);
        storefs::CFileHandle info;
        ASSERT_TRUE(
            info.Open(storepaths::InfoFile(root, id), storefs::CFileHandle::Mode::ReadWrite));
        ASSERT_TRUE(info.WriteAt(8, bytes));
    }
};

} // namespace

TEST_F(UpdatedTimeCacheTest, ChangesByAnotherWriterReorderTheList) {
    // Thread 2 (updated 200, between 1 and 3) is changed as another process
    // would change it, after its time was cached and the clock has moved on.
    struct Case {
        const char* what;
        std::function<void()> change;
        Ids order;
    };
    const std::string two = IdText(2);
    const Case cases[] = {
        {"rewritten in place", [&] { WriteUpdatedInPlace(two, 500); }, {two, IdText(1), IdText(3)}},
        {"replaced", [&] { WriteInfo(two, 1, 1, 50); }, {IdText(1), IdText(3), two}},
        {"cut short",
         [&] { WriteAll(storepaths::InfoFile(root, two), "\1"); },
         {IdText(1), IdText(3), two}},
        {"removed",
         [&] { storefs::RemoveFile(storepaths::InfoFile(root, two)); },
         {IdText(1), IdText(3), two}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteInfo(two, 1, 1, 200);
        ASSERT_EQ(ListCached(), (Ids{IdText(1), two, IdText(3)}));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        c.change();
        EXPECT_EQ(List(), c.order);
    }
}

TEST_F(UpdatedTimeCacheTest, InfoChangedInTheSameMomentIsReadAgain) {
    // Freshly written files are not kept: an in-place rewrite within one
    // timestamp tick leaves size, inode and times as they were.
    EXPECT_EQ(List(), (Ids{IdText(1), IdText(2), IdText(3)}));
    EXPECT_EQ(Cache().Size(), 0u);
    WriteUpdatedInPlace(IdText(3), 900);
    EXPECT_EQ(List(), (Ids{IdText(3), IdText(1), IdText(2)}));
}

TEST_F(UpdatedTimeCacheTest, WritersInThisProcessReorderTheListAtOnce) {
    // A response posted to thread 3 moves it first.
    ListCached();
    ASSERT_TRUE(
        CResRecord(Id(3), Id(1, '9'), {}, "", "", "", "b", {}, {}, 700).Create(root, nullptr));
    EXPECT_EQ(Cache().Size(), 2u); // dropped by the writer, read again below
    EXPECT_EQ(List(), (Ids{IdText(3), IdText(1), IdText(2)}));
    // A refresh of thread 1 that finds a later response moves it first.
    ListCached();
    ASSERT_TRUE(
        CResRecord(Id(1), Id(2, '9'), {}, "", "", "", "b", {}, {}, 800)
            .StoreFetched(root,
                          CResRecord(Id(1), Id(2, '9'), {}, "", "", "", "b", {}, {}, 800).Encode(),
                          nullptr));
    CThreadRecord one;
    one.SetThreadId(Id(1));
    one.SetHeld(1);
    ASSERT_TRUE(one.Refresh(root, nullptr));
    EXPECT_EQ(Cache().Size(), 2u);
    EXPECT_EQ(List(), (Ids{IdText(1), IdText(3), IdText(2)}));
}
