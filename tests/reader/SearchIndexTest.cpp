// CSearchIndex and CIndexWorker: finding held posts by folded text, snippets
// around the match, and an index that follows the store.
#include "reader/SearchIndex.h"

#include "reader/IndexWorker.h"
#include "reader/ReaderDb.h"
#include "reader/ReaderStore.h"
#include "reader/TextFolding.h"

#include <filesystem>

namespace {

class SearchIndexTest : public ::testing::Test {
protected:
    readertest::CStore store;
    std::vector<std::string> messages;
    CReaderDb db{store.dir / "reader.db", [this](std::string_view m) { messages.emplace_back(m); }};
    CSearchIndex index{db, store.root};

    std::vector<std::string> Found(const std::string& query) {
        std::vector<std::string> posts;
        for (const CSearchHit& hit : index.Search(query))
            posts.push_back(hit.postId);
        return posts;
    }
};

TEST_F(SearchIndexTest, FindsBodiesTitlesAndNamesByFoldedWordsLongAndShort) {
    const std::string t = store.Thread(1, "猫の話", "はじめまして");
    const std::string r = store.Response(t, 1, "ＫＥＹＢＯＡＲＤを買った\r\n二行目", 2000);
    index.CatchUp();
    EXPECT_EQ(Found("keyboard"), std::vector<std::string>{r});
    EXPECT_EQ(Found("ネコの"), std::vector<std::string>{});  // 猫 is no kana
    EXPECT_EQ(Found("猫の話"), std::vector<std::string>{t}); // the opening post's title
    EXPECT_EQ(Found("ハジメ"), std::vector<std::string>{t}); // kana folded
    EXPECT_EQ(Found("二行"), std::vector<std::string>{r});   // shorter than three: a scan
    EXPECT_EQ(Found("猫").size(), 1u);
    EXPECT_TRUE(Found("ない言葉").empty());
    EXPECT_TRUE(Found("").empty());
    EXPECT_EQ(Found("\"quote"), std::vector<std::string>{}); // no syntax error
}

TEST_F(SearchIndexTest, SnippetMarksTheOriginalTextAroundTheMatch) {
    const std::string t = store.Thread(1, "t", "x");
    store.Response(t, 1, std::string(40, 'a') + "ＫＥＹｂｏａｒｄ\r\nzz", 2000);
    index.CatchUp();
    const auto hits = index.Search("keyboard");
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].match, "ＫＥＹｂｏａｒｄ");
    EXPECT_EQ(hits[0].before, std::string(CSearchIndex::kSnippetSide, 'a'));
    EXPECT_EQ(hits[0].after, " zz");
    EXPECT_EQ(hits[0].threadTitle, "t");
    EXPECT_EQ(hits[0].time, 2000u);
}

TEST_F(SearchIndexTest, CatchUpFollowsNewResponsesAndDeletedThreads) {
    const std::string t1 = store.Thread(1, "one", "first");
    const std::string t2 = store.Thread(2, "two", "second");
    EXPECT_EQ(index.CatchUp(), 2u);
    EXPECT_EQ(index.CatchUp(), 0u); // nothing changed
    const std::string r = store.Response(t1, 1, "later words", 3000);
    std::filesystem::remove_all(store.root + "a/" + t2);
    EXPECT_EQ(index.CatchUp(), 1u);
    EXPECT_EQ(Found("later"), std::vector<std::string>{r});
    EXPECT_TRUE(Found("second").empty());
}

TEST_F(SearchIndexTest, ReindexingAddsOnlyNewResponsesAndNeverTwice) {
    const std::string t = store.Thread(1, "one", "same word");
    const std::string r1 = store.Response(t, 1, "same word again", 2000);
    index.IndexThread(t);
    index.IndexThread(t); // nothing new
    const std::string r2 = store.Response(t, 2, "same word later", 3000);
    index.IndexThread(t);
    EXPECT_EQ(Found("same word"), (std::vector<std::string>{r2, r1, t}));
}

TEST_F(SearchIndexTest, WorkerReindexesAPostedThreadAndCatchesUpFirst) {
    const std::string t = store.Thread(1, "one", "first");
    std::vector<std::string> done;
    {
        CIndexWorker worker(db, index, [&](const std::string& id) { done.push_back(id); });
        worker.Post(t);
        worker.WaitIdle();
        EXPECT_EQ(Found("first").size(), 1u);
        store.Response(t, 1, "another", 3000);
        worker.Post(t);
        worker.WaitIdle();
    }
    EXPECT_EQ(Found("another").size(), 1u);
    EXPECT_EQ(done, (std::vector<std::string>{"", t, t}));
}

TEST_F(SearchIndexTest, DamagedDatabaseIsSetAsideAndTheIndexRebuiltFromTheStore) {
    const std::string t = store.Thread(1, "one", "findable");
    TempDir::WriteFile(store.dir / "reader.db", std::string(8192, 'x'));
    {
        CIndexWorker worker(db, index, nullptr);
        worker.PostCatchUp();
        worker.WaitIdle();
    }
    EXPECT_EQ(Found("findable"), std::vector<std::string>{t});
    EXPECT_FALSE(db.InMemory());
    EXPECT_EQ(TempDir::ReadFile(store.dir / "reader.db.damaged"), std::string(8192, 'x'));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("壊れていた"), std::string::npos);
}

} // namespace
