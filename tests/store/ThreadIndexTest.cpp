// The category index: ordering of ".index", markers, queries, and the
// "index.temp" lock with its clean-up after a crash.
#include "TempDir.h"

#include "store/EscapedName.h"
#include "store/FieldCoding.h"
#include "store/ThreadIndex.h"

using namespace storetest;

namespace {

using Ids = std::vector<std::string>;

class ThreadIndexTest : public TempDirTest {
protected:
    // Made per use: the root is known only once the fixture is set up.
    CThreadIndex Index() const { return CThreadIndex("News", root); }
    std::string Dir() const { return storepaths::CategoryDir(root, "%6e%65%77%73"); }
    std::string IndexPath() const { return Dir() + "/%6e%65%77%73.index"; }
    std::string TempPath() const { return Dir() + "/index.temp"; }
    std::string Marker(const std::string& id) const { return Dir() + "/" + id + ".id"; }

    void WriteIndex(const Ids& ids) {
        std::string bytes;
        for (const std::string& id : ids)
            field::PutId(bytes, CBinaryId::FromText(id));
        ASSERT_TRUE(storefs::MakeDirectories(Dir()));
        WriteAll(IndexPath(), bytes);
    }
    Ids ReadIndex() const {
        std::vector<CBinaryId> ids;
        field::CFieldReader(ReadAll(IndexPath())).ReadIdList(ids);
        Ids texts;
        for (const CBinaryId& id : ids)
            texts.push_back(id.GetText());
        return texts;
    }
    // Threads 1..count updated at first, first - step, ...
    Ids Threads(unsigned count, std::uint32_t first, std::uint32_t step) {
        Ids ids;
        for (unsigned i = 0; i < count; ++i) {
            ids.push_back(IdText(i + 1));
            WriteInfo(ids.back(), 1, 1, first - i * step);
        }
        return ids;
    }
};

} // namespace

TEST_F(ThreadIndexTest, FirstThreadMakesDirectoryMarkerAndOneEntryIndex) {
    WriteInfo(IdText(1), 1, 1, 100);
    EXPECT_TRUE(Index().Add(IdText(1)));
    EXPECT_TRUE(storefs::Exists(Marker(IdText(1))));
    EXPECT_EQ(ReadAll(IndexPath()).size(), 16u);
    EXPECT_EQ(ReadIndex(), Ids{IdText(1)});
    EXPECT_FALSE(storefs::Exists(TempPath()));
}

TEST_F(ThreadIndexTest, UnchangedFirstThreadStaysFirstButATieMovesItBehind) {
    Ids ids = Threads(2, 300, 100);
    WriteIndex(ids);
    Index().Add(ids[0]);
    EXPECT_EQ(ReadIndex(), ids);
    WriteInfo(ids[1], 1, 1, 300);
    Index().Add(ids[0]);
    EXPECT_EQ(ReadIndex(), (Ids{ids[1], ids[0]}));
}

TEST_F(ThreadIndexTest, EqualTimesAppendAndNewerGoesBeforeFirstEarlier) {
    const Ids ids = Threads(4, 100, 0);
    WriteIndex({ids[0], ids[1], ids[2]});
    Index().Add(ids[3]);
    EXPECT_EQ(ReadIndex(), ids);
    WriteInfo(IdText(9), 1, 1, 150);
    Index().Add(IdText(9));
    EXPECT_EQ(ReadIndex(), (Ids{IdText(9), ids[0], ids[1], ids[2], ids[3]}));
}

TEST_F(ThreadIndexTest, FullIndexIgnoresAnOlderThreadButKeepsItsMarker) {
    const Ids ids = Threads(100, 1000, 1);
    WriteIndex(ids);
    WriteInfo(IdText(500), 1, 1, 5);
    Index().Add(IdText(500));
    EXPECT_EQ(ReadIndex(), ids);
    Ids listed;
    EXPECT_EQ(Index().List(listed), 1u);
    EXPECT_EQ(listed, Ids{IdText(500)});
}

TEST_F(ThreadIndexTest, InsertingAfter99EntriesKeeps101) {
    const Ids ids = Threads(100, 2000, 2);
    WriteIndex(ids);
    WriteInfo(IdText(500), 1, 1, 2000 - 2 * 99 + 1); // between entries 99 and 100
    Index().Add(IdText(500));
    const Ids after = ReadIndex();
    ASSERT_EQ(after.size(), 101u);
    EXPECT_EQ(after[99], IdText(500));
    EXPECT_EQ(after[100], ids[99]);
    WriteInfo(IdText(501), 1, 1, 5000);
    Index().Add(IdText(501));
    EXPECT_EQ(ReadIndex().size(), 100u); // the next rewrite keeps 100 again
}

TEST_F(ThreadIndexTest, RemoveDropsEntryAndMarker) {
    const Ids ids = Threads(3, 300, 100);
    for (const std::string& id : ids)
        Index().Add(id);
    EXPECT_TRUE(Index().Remove(ids[1]));
    EXPECT_EQ(ReadIndex(), (Ids{ids[0], ids[2]}));
    EXPECT_FALSE(storefs::Exists(Marker(ids[1])));
    // Not in the ".index": same entries, its marker still goes.
    ASSERT_TRUE(storefs::CreateEmptyFile(Marker(IdText(7))));
    EXPECT_TRUE(Index().Remove(IdText(7)));
    EXPECT_EQ(ReadIndex(), (Ids{ids[0], ids[2]}));
    EXPECT_FALSE(storefs::Exists(Marker(IdText(7))));
}

TEST_F(ThreadIndexTest, ListIsNewestFirstWithTiesInListingOrderAcrossCase) {
    const Ids ids = Threads(6, 100, 0);
    WriteInfo(ids[2], 1, 1, 300);
    WriteInfo(ids[4], 1, 1, 200);
    for (std::size_t i = 0; i < ids.size(); ++i)
        CThreadIndex(i % 2 ? "NEWS" : "news", root).Add(ids[i]);
    EXPECT_EQ(storefs::ListDirectories(storepaths::IndexRoot(root)).size(), 1u);
    ASSERT_TRUE(storefs::CreateEmptyFile(Marker(IdText(77)))); // no ".info": time 0

    Ids expected{ids[2], ids[4]};
    for (const std::string& marker : storefs::ListFiles(Dir(), ".id")) {
        const std::string id = marker.substr(0, 32);
        if (id != ids[2] && id != ids[4] && id != IdText(77))
            expected.push_back(id);
    }
    expected.push_back(IdText(77));
    Ids listed;
    EXPECT_EQ(Index().List(listed), 7u);
    EXPECT_EQ(listed, expected);
}

TEST_F(ThreadIndexTest, QueryAnswersAtMostTenEntriesInFileOrder) {
    WriteIndex({IdText(3), IdText(1), IdText(2)});
    Ids found;
    EXPECT_EQ(Index().MatchQuery("", found), 3u);
    EXPECT_EQ(found, (Ids{IdText(3), IdText(1), IdText(2)}));
    Ids many;
    for (unsigned i = 1; i <= 12; ++i)
        many.push_back(IdText(i));
    WriteIndex(many);
    found.clear();
    EXPECT_EQ(Index().MatchQuery("", found), 10u);
    EXPECT_EQ(found, Ids(many.begin(), many.begin() + 10));
    EXPECT_EQ(CThreadIndex("Other", root).MatchQuery("", found), 0u);
}

TEST_F(ThreadIndexTest, QueryByThreadIdFindsAHeldThreadUnderAnyCategory) {
    ASSERT_TRUE(
        CThreadRecord(Id(1), "t", "News", "", "", "", {}, {}, 10, 10).Create(root, nullptr));
    Ids found;
    EXPECT_EQ(CThreadIndex("Other", root).MatchQuery(IdText(1), found), 1u);
    EXPECT_EQ(CThreadIndex("Other", root).MatchQuery(IdText(2), found), 0u);
    EXPECT_EQ(found, Ids{IdText(1)});
}

TEST_F(ThreadIndexTest, HeldTempFileLeavesIndexToItsWriter) {
    const Ids ids = Threads(2, 300, 100);
    WriteIndex({ids[1]});
    WriteAll(TempPath(), "in progress");
    EXPECT_FALSE(Index().Add(ids[0]));
    EXPECT_EQ(ReadIndex(), Ids{ids[1]});
    EXPECT_TRUE(storefs::Exists(Marker(ids[0])));
    EXPECT_EQ(ReadAll(TempPath()), "in progress");
}

TEST_F(ThreadIndexTest, CrashBeforeRenameKeepsOldIndexAndStartUpClearsTheLeftover) {
    const Ids ids = Threads(3, 300, 100);
    WriteIndex({ids[1], ids[2]});
    WriteAll(TempPath(), std::string(20, '\x7f')); // a writer died mid-way
    ASSERT_TRUE(storefs::MakeDirectories(storepaths::CategoryDir(root, "%6f")));
    Ids found;
    EXPECT_EQ(Index().MatchQuery("", found), 2u);
    EXPECT_EQ(found, (Ids{ids[1], ids[2]}));

    EXPECT_EQ(CThreadIndex::RemoveLeftoverTemp(root), 1u);
    EXPECT_TRUE(Index().Add(ids[0]));
    EXPECT_EQ(ReadIndex(), ids);
    EXPECT_EQ(CThreadIndex::RemoveLeftoverTemp(root), 0u);
}

TEST_F(ThreadIndexTest, IllFormedThreadIdTouchesNothing) {
    EXPECT_FALSE(Index().Add("../../escape"));
    EXPECT_FALSE(Index().Remove("../../escape"));
    EXPECT_FALSE(Index().Add(""));
    EXPECT_FALSE(storefs::Exists(Dir()));
}

TEST_F(ThreadIndexTest, LargeCategoryListsNewestFirstWithTiesInListingOrder) {
    // Enough threads for the listing to be read by two threads; times repeat
    // every 7 threads, so ties straddle the halves.
    const unsigned count = 2100;
    ASSERT_TRUE(storefs::MakeDirectories(Dir()));
    for (unsigned i = 1; i <= count; ++i) {
        WriteInfo(IdText(i), 1, 1, 1000 + i % 7);
        ASSERT_TRUE(storefs::CreateEmptyFile(Marker(IdText(i))));
    }
    Ids expected;
    for (std::uint32_t time = 1006; time >= 1000; --time)
        for (const std::string& marker : storefs::ListFiles(Dir(), ".id")) {
            const auto n = std::stoul(marker.substr(24, 8), nullptr, 16);
            if (1000 + n % 7 == time)
                expected.push_back(marker.substr(0, 32));
        }
    Ids listed;
    EXPECT_EQ(Index().List(listed), count);
    EXPECT_EQ(listed, expected);
}

TEST_F(ThreadIndexTest, ThreadInItsPlaceLeavesTheIndexButADamagedTailIsCut) {
    const Ids ids = Threads(3, 300, 100);
    WriteIndex(ids);
    const std::string before = ReadAll(IndexPath());
    WriteAll(TempPath(), "held"); // only a rewrite would need it
    EXPECT_TRUE(Index().Add(ids[1]));
    EXPECT_EQ(ReadAll(IndexPath()), before);
    storefs::RemoveFile(TempPath());

    WriteAll(IndexPath(), before + "\x01");
    EXPECT_TRUE(Index().Add(ids[1]));
    EXPECT_EQ(ReadAll(IndexPath()), before);
}
