// Responses: file layout, the accounting of a posted response, fetched
// responses and the held-response list.
#include "TempDir.h"

#include "res/Strings.h"
#include "store/ResRecord.h"
#include "store/ThreadIndex.h"

#include <algorithm>

using namespace storetest;

namespace {

class ResRecordTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        CreateThread(1, 100);
    }
    CResRecord Response(unsigned n, std::uint32_t time) {
        return CResRecord(Id(1), Id(n, '9'), {}, "t", "n", "m", "body", Id(5), {}, time);
    }
    CThreadRecord Thread() {
        CThreadRecord thread;
        EXPECT_TRUE(thread.Load(IdText(1), root));
        return thread;
    }
    void CreateThread(unsigned n, std::uint32_t time) {
        CThreadRecord thread(Id(n), "title", "News", "", "", "", {}, {}, time, time);
        ASSERT_TRUE(thread.Create(root, nullptr));
    }
};

} // namespace

TEST_F(ResRecordTest, EmptyResponseIs89BytesAndResponsesLoadBack) {
    ASSERT_TRUE(
        CResRecord(Id(1), Id(1, '9'), {}, "", "", "", "", {}, {}, 200).Create(root, nullptr));
    EXPECT_EQ(ReadAll(storepaths::ResFile(root, IdText(1), IdText(1, '9'))).size(), 89u);

    ASSERT_TRUE(Response(2, 300).Create(root, &reporter));
    CResRecord loaded;
    ASSERT_TRUE(loaded.Load(IdText(1), IdText(2, '9'), root, &reporter));
    EXPECT_EQ(loaded.Encode(), Response(2, 300).Encode());
    EXPECT_TRUE(reporter.messages.empty());
}

TEST_F(ResRecordTest, PostingCountsTheResponseInInfo) {
    struct Case {
        std::uint16_t held, resCount;
        std::uint32_t updated, time;
        std::uint16_t heldAfter, resCountAfter;
        std::uint32_t updatedAfter;
    };
    const Case cases[] = {
        {3, 3, 150, 200, 4, 4, 200}, // held and res count rise together
        {3, 7, 150, 200, 4, 7, 200}, // a higher res count stays
        {1, 5, 900, 500, 2, 5, 900}, // an earlier response leaves updated
    };
    for (const Case& c : cases) {
        WriteInfo(IdText(1), c.held, c.resCount, c.updated, 1);
        CResRecord res = Response(1, c.time);
        ASSERT_TRUE(res.Create(root, nullptr));
        EXPECT_EQ(res.GetThreadCategory(), "News");
        const CThreadRecord thread = Thread();
        EXPECT_EQ(thread.GetHeld(), c.heldAfter);
        EXPECT_EQ(thread.GetResCount(), c.resCountAfter);
        EXPECT_EQ(thread.GetUpdated(), c.updatedAfter);
        EXPECT_EQ(thread.GetNewestHeld(), c.time);
    }
    // The 2-byte ".info" of a fetched thread is completed.
    WriteAll(storepaths::InfoFile(root, IdText(1)), std::string("\x01\x00", 2));
    ASSERT_TRUE(Response(1, 500).Create(root, nullptr));
    EXPECT_EQ(ReadAll(storepaths::InfoFile(root, IdText(1))).size(), 12u);
    EXPECT_EQ(Thread().GetResCount(), 2);
    EXPECT_EQ(Thread().GetUpdated(), 500u);
}

TEST_F(ResRecordTest, PostedResponseIsFlushedBeforeItsRenameAndFetchedOneIsNot) {
    const std::string resFile = storepaths::ResFile(root, IdText(1), IdText(2, '9'));
    {
        CSyncRecorder synced;
        ASSERT_TRUE(Response(2, 300).Create(root, nullptr));
        const int file = synced.TempPosition(resFile);
        ASSERT_GE(file, 0);
        EXPECT_GT(synced.Position(storepaths::ThreadDir(root, IdText(1))), file);
        EXPECT_GE(synced.Position(storepaths::InfoFile(root, IdText(1))), 0);
    }
    CSyncRecorder synced;
    CResRecord fetched;
    fetched.SetThreadId(Id(1));
    fetched.SetResId(Id(3, '9'));
    ASSERT_TRUE(fetched.StoreFetched(root, Response(3, 400).Encode(), nullptr));
    EXPECT_TRUE(synced.Paths().empty());
}

TEST_F(ResRecordTest, PostingMovesTheThreadToTheFrontOfItsIndex) {
    CreateThread(2, 200);
    std::vector<std::string> ids;
    CThreadIndex("news", root).MatchQuery("", ids);
    ASSERT_EQ(ids, (std::vector<std::string>{IdText(2), IdText(1)}));
    ASSERT_TRUE(Response(1, 300).Create(root, nullptr));
    ids.clear();
    CThreadIndex("news", root).MatchQuery("", ids);
    EXPECT_EQ(ids, (std::vector<std::string>{IdText(1), IdText(2)}));
}

TEST_F(ResRecordTest, FailuresAreReportedAndWrittenFilesStay) {
    ASSERT_TRUE(storefs::RemoveFile(storepaths::InfoFile(root, IdText(1))));
    EXPECT_FALSE(Response(1, 200).Create(root, &reporter));
    EXPECT_TRUE(storefs::Exists(storepaths::ResFile(root, IdText(1), IdText(1, '9'))));
    EXPECT_FALSE(storefs::Exists(storepaths::InfoFile(root, IdText(1))));
    EXPECT_FALSE(CResRecord().Load(IdText(1), IdText(3, '9'), root, &reporter));
    EXPECT_EQ(reporter.messages,
              (std::vector<std::string>{strings::kFileCreateFailed, strings::kResReadFailed}));
}

TEST_F(ResRecordTest, FetchedResponseIsStoredWholeAndOnlyUnderItsOwnIds) {
    CResRecord big = Response(1, 200);
    big.SetTitle(std::string(255, 't'));
    big.SetBody(std::string(65535, 'b'));
    const std::string bytes = big.Encode();
    ASSERT_GT(bytes.size(), 65536u);
    CBinaryId threadId, resId;
    ASSERT_TRUE(CResRecord::PeekIds(bytes, threadId, resId));
    CResRecord fetched;
    fetched.SetThreadId(threadId);
    fetched.SetResId(resId);
    ASSERT_TRUE(fetched.StoreFetched(root, bytes, &reporter));
    EXPECT_EQ(ReadAll(storepaths::ResFile(root, IdText(1), IdText(1, '9'))), bytes);

    EXPECT_FALSE(fetched.StoreFetched(root, bytes.substr(0, 20), &reporter));
    fetched.SetResId(Id(2, '9'));
    EXPECT_FALSE(fetched.StoreFetched(root, bytes, &reporter));
    fetched.SetResId(resId);
    fetched.SetThreadId(Id(2));
    EXPECT_FALSE(fetched.StoreFetched(root, bytes, &reporter));
    EXPECT_TRUE(reporter.messages.empty());
}

TEST_F(ResRecordTest, HeldListHasOneEntryPerResFile) {
    CThreadRecord thread = Thread();
    std::vector<CBinaryId> held;
    EXPECT_EQ(CResRecord::ListHeld(thread, held), 0u);
    ASSERT_TRUE(Response(1, 200).Create(root, nullptr));
    ASSERT_TRUE(Response(2, 300).Create(root, nullptr));
    // Named like a response without being one: still an entry.
    WriteAll(storepaths::ThreadDir(root, IdText(1)) + "/not-a-response-id.res", "");
    EXPECT_EQ(CResRecord::ListHeld(thread, held), 3u);
    std::vector<std::string> texts;
    for (const CBinaryId& id : held) {
        texts.push_back(id.GetText());
        EXPECT_TRUE(CBinaryId::IsWellFormedText(texts.back())) << texts.back();
    }
    EXPECT_EQ(std::count(texts.begin(), texts.end(), IdText(1, '9')), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), IdText(2, '9')), 1);
}
