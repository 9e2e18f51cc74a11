// Thread records: file layouts, fetched threads, loading damaged files and
// the recount of held responses.
#include "TempDir.h"

#include "res/Strings.h"
#include "store/EscapedName.h"
#include "store/ResRecord.h"
#include "store/ThreadIndex.h"

using namespace storetest;

namespace {

class ThreadRecordTest : public TempDirTest {
protected:
    CThreadRecord Thread(unsigned n, std::uint32_t created = 1000) {
        CThreadRecord thread(Id(n), "title", "News", "name", "mail", "body", Id(99, 'f'),
                             CBinaryId(), created, created);
        thread.SetHeld(1);
        thread.SetResCount(1);
        return thread;
    }
    bool StoreFetched(const std::string& bytes) {
        CThreadRecord fetched;
        fetched.SetThreadId(Id(1));
        return fetched.StoreFetched(root, bytes, &reporter);
    }
    void PutResponse(unsigned n, std::uint32_t time) {
        CResRecord res(Id(1), Id(n, '9'), {}, "", "", "", "", {}, {}, time);
        WriteAll(storepaths::ResFile(root, IdText(1), IdText(n, '9')), res.Encode());
    }
};

} // namespace

TEST_F(ThreadRecordTest, CreatedThreadHasItsLayoutLoadsBackAndIsFiled) {
    ASSERT_TRUE(CThreadRecord(Id(2), "", "", "", "", "", {}, {}, 5, 5).Create(root, &reporter));
    EXPECT_EQ(ReadAll(storepaths::ThreadFile(root, IdText(2))).size(), 58u);
    EXPECT_EQ(ReadAll(storepaths::InfoFile(root, IdText(2))).size(), 12u);

    ASSERT_TRUE(Thread(1, 1234).Create(root, &reporter));
    CThreadRecord loaded(1);
    ASSERT_TRUE(loaded.Load(IdText(1), root));
    EXPECT_EQ(loaded.EncodeThread(), Thread(1, 1234).EncodeThread());
    EXPECT_EQ(loaded.EncodeInfo(), Thread(1, 1234).EncodeInfo());
    EXPECT_EQ(loaded.GetRoot(), root);
    EXPECT_TRUE(reporter.messages.empty());

    std::vector<std::string> listed;
    EXPECT_EQ(CThreadIndex("news", root).List(listed), 1u);
    EXPECT_EQ(storefs::ListDirectories(root + "1").size(), 2u); // one bucket for both
    // New files appear by rename: nothing else is left behind.
    EXPECT_EQ(storefs::ListFiles(storepaths::ThreadDir(root, IdText(1)), "").size(), 2u);
}

TEST_F(ThreadRecordTest, CreatedThreadIsFlushedBeforeItsRenameAndFetchedOneIsNot) {
    const std::string id = IdText(1);
    {
        CSyncRecorder synced;
        ASSERT_TRUE(Thread(1).Create(root, &reporter));
        const int file = synced.TempPosition(storepaths::ThreadFile(root, id));
        const int info = synced.Position(storepaths::InfoFile(root, id));
        const int dir = synced.Position(storepaths::ThreadDir(root, id));
        ASSERT_GE(file, 0); // flushed under its temporary name: before the rename
        ASSERT_GE(info, 0);
        EXPECT_GT(dir, std::max(file, info)); // the names, once both are in place
        EXPECT_GE(synced.Position(storepaths::BucketDir(root, '1')), 0);
        EXPECT_GE(synced.Position(storepaths::IndexFile(root, CEscapedName("News").GetText())), 0);
    }
    CSyncRecorder synced;
    const std::string bytes = Thread(2).EncodeThread();
    CThreadRecord fetched;
    fetched.SetThreadId(Id(2));
    ASSERT_TRUE(fetched.StoreFetched(root, bytes, &reporter));
    EXPECT_TRUE(synced.Paths().empty());
}

TEST_F(ThreadRecordTest, FetchedThreadAloneGivesTwoByteInfoWithHeldOne) {
    const std::string bytes = Thread(1).EncodeThread();
    ASSERT_TRUE(StoreFetched(bytes));
    EXPECT_EQ(ReadAll(storepaths::ThreadFile(root, IdText(1))), bytes);
    EXPECT_EQ(ReadAll(storepaths::InfoFile(root, IdText(1))), std::string("\x01\x00", 2));
    CThreadRecord loaded(777);
    ASSERT_TRUE(loaded.Load(IdText(1), root));
    EXPECT_EQ(loaded.GetHeld(), 1);
    EXPECT_EQ(loaded.GetResCount(), 0);
    EXPECT_EQ(loaded.GetNewestHeld(), 777u);
    EXPECT_EQ(loaded.GetUpdated(), 777u);

    // An existing ".info" keeps everything but held.
    WriteInfo(IdText(1), 0, 9, 5000, 4000);
    ASSERT_TRUE(StoreFetched(bytes));
    CThreadRecord expected;
    expected.SetHeld(1);
    expected.SetResCount(9);
    expected.SetUpdated(5000);
    expected.SetNewestHeld(4000);
    EXPECT_EQ(ReadAll(storepaths::InfoFile(root, IdText(1))), expected.EncodeInfo());
}

TEST_F(ThreadRecordTest, FetchedThreadIsStoredWholeAndOnlyUnderItsOwnId) {
    CThreadRecord big = Thread(1);
    big.SetTitle(std::string(255, 't'));
    big.SetBody(std::string(65535, 'b'));
    const std::string bytes = big.EncodeThread();
    ASSERT_GT(bytes.size(), 65536u);
    ASSERT_TRUE(StoreFetched(bytes));
    EXPECT_EQ(ReadAll(storepaths::ThreadFile(root, IdText(1))), bytes);

    EXPECT_FALSE(StoreFetched(Thread(2).EncodeThread()));
    EXPECT_FALSE(StoreFetched("short"));
    EXPECT_EQ(ReadAll(storepaths::ThreadFile(root, IdText(1))), bytes);
    EXPECT_TRUE(reporter.messages.empty());
}

TEST_F(ThreadRecordTest, DamagedOrMissingFilesLoadWhatTheyHoldWithoutAMessage) {
    ASSERT_TRUE(Thread(1).Create(root, nullptr));
    const std::string full = Thread(1).EncodeThread();
    CThreadRecord loaded(1);
    loaded.SetName("before");
    loaded.SetBody("before");
    // Cut inside the name: title and category are read, the rest stays.
    WriteAll(storepaths::ThreadFile(root, IdText(1)), full.substr(0, 52 + 6 + 5 + 3));
    EXPECT_TRUE(loaded.Load(IdText(1), root));
    EXPECT_EQ(loaded.GetCategory(), "News");
    EXPECT_EQ(loaded.GetName(), "before");
    // A body length far past the end of the file.
    WriteAll(storepaths::ThreadFile(root, IdText(1)), full.substr(0, full.size() - 6) + "\xff\xff");
    EXPECT_TRUE(loaded.Load(IdText(1), root));
    EXPECT_EQ(loaded.GetBody(), "before");

    EXPECT_FALSE(loaded.Load(IdText(5), root));
    EXPECT_FALSE(loaded.Load("../../etc/passwd", root));
    EXPECT_TRUE(reporter.messages.empty());
}

TEST_F(ThreadRecordTest, UncreatableDirectoryIsReported) {
    WriteAll(root + "1", "x"); // the bucket is a file
    EXPECT_FALSE(Thread(1).Create(root, &reporter));
    ASSERT_FALSE(reporter.messages.empty());
    EXPECT_EQ(reporter.messages.front(), strings::kDirectoryCreateFailed);
}

TEST_F(ThreadRecordTest, RefreshWithoutResponsesHoldsTheOpeningPostAtItsCreatedTime) {
    CThreadRecord thread = Thread(1, 1000);
    ASSERT_TRUE(thread.Create(root, nullptr));
    thread.SetUpdated(3000);
    thread.SetHeld(4);
    ASSERT_TRUE(thread.Refresh(root, &reporter));
    CThreadRecord loaded;
    ASSERT_TRUE(loaded.Load(IdText(1), root));
    EXPECT_EQ(loaded.GetHeld(), 1);
    EXPECT_EQ(loaded.GetNewestHeld(), 1000u);
    EXPECT_EQ(loaded.GetUpdated(), 1000u);
}

TEST_F(ThreadRecordTest, RefreshCountsResponsesAndTakesTheNewestReadableTime) {
    CThreadRecord thread = Thread(1, 1000);
    ASSERT_TRUE(thread.Create(root, nullptr));
    PutResponse(1, 1500);
    PutResponse(2, 2500);
    WriteAll(storepaths::ResFile(root, IdText(1), IdText(3, '9')), "short"); // no time
    ASSERT_TRUE(thread.Refresh(root, &reporter));
    EXPECT_EQ(thread.GetHeld(), 4);
    EXPECT_EQ(thread.GetResCount(), 4);
    EXPECT_EQ(thread.GetNewestHeld(), 2500u);
    EXPECT_EQ(thread.GetUpdated(), 2500u);
    EXPECT_EQ(ReadAll(storepaths::InfoFile(root, IdText(1))), thread.EncodeInfo());
}

TEST_F(ThreadRecordTest, RefreshWithoutOpeningPostCountsOnlyFiles) {
    WriteInfo(IdText(1), 0, 10, 800);
    PutResponse(1, 1500);
    PutResponse(2, 1600);
    CThreadRecord thread; // known from fetched responses only: held 0
    thread.SetThreadId(Id(1));
    thread.SetResCount(10);
    thread.SetUpdated(800);
    ASSERT_TRUE(thread.Refresh(root, nullptr));
    EXPECT_EQ(thread.GetHeld(), 2);
    EXPECT_EQ(thread.GetResCount(), 10);
    EXPECT_EQ(thread.GetUpdated(), 800u);
}
