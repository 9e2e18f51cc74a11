// CReaderDb, CReadMarks, CFavourites: the database file and what it keeps,
// and what happens when the file cannot serve.
#include "reader/ReaderDb.h"

#include "reader/Favourites.h"
#include "reader/ReadMarks.h"
#include "reader/ReaderStore.h"
#include "reader/SearchIndex.h"
#include "reader/SqlStatement.h"

#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <optional>

namespace {

class ReaderDbTest : public ::testing::Test {
protected:
    TempDir dir;
    std::vector<std::string> messages;
    CReaderDb::Reporter reporter = [this](std::string_view m) { messages.emplace_back(m); };
};

TEST_F(ReaderDbTest, IsCreatedOnFirstUseInWalWithItsSchemaVersionAndKeepsMarks) {
    {
        CReaderDb db(dir / "reader.db", reporter);
        EXPECT_FALSE(std::filesystem::exists(dir / "reader.db")); // not before it is used
        CReadMarks(db).SetSeen("t1", 3);
    }
    CReaderDb db(dir / "reader.db", reporter);
    EXPECT_EQ(CReadMarks(db).Seen("t1"), 3);
    EXPECT_EQ(CReadMarks(db).Seen("t2"), std::nullopt);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db.Use().Handle(), "PRAGMA journal_mode", -1, &statement, nullptr);
    sqlite3_step(statement);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)), "wal");
    sqlite3_finalize(statement);
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(db.InMemory());
}

TEST_F(ReaderDbTest, FileThatCannotServeLeavesTheReaderInMemoryWithAMessage) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> prepare;
        const char* says;
    };
    sqlite3* holder = nullptr;
    const Case cases[] = {
        {"directory", [](const std::string& p) { std::filesystem::create_directory(p); },
         "開けませんでした"},
        {"newer",
         [](const std::string& p) {
             sqlite3* db = nullptr;
             sqlite3_open(p.c_str(), &db);
             sqlite3_exec(db, "PRAGMA user_version=99", nullptr, nullptr, nullptr);
             sqlite3_close(db);
         },
         "新しい版"},
        {"locked",
         [&holder](const std::string& p) {
             sqlite3_open(p.c_str(), &holder);
             sqlite3_exec(holder,
                          "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;"
                          "CREATE TABLE x(y)",
                          nullptr, nullptr, nullptr);
         },
         "使用中"},
    };
    for (const Case& c : cases) {
        messages.clear();
        const std::string path = dir / (std::string(c.what) + ".db");
        c.prepare(path);
        CReaderDb db(path, reporter, 50);
        CFavourites favourites(db);
        favourites.Add(CFavourite{"t", "cat", "title"}, 1);
        EXPECT_TRUE(db.InMemory()) << c.what;
        EXPECT_TRUE(favourites.Contains("t")) << c.what;
        ASSERT_EQ(messages.size(), 1u) << c.what;
        EXPECT_NE(messages[0].find(c.says), std::string::npos) << messages[0];
    }
    sqlite3_close(holder);
}

TEST_F(ReaderDbTest, ReadOnlyFileLeavesTheReaderInMemoryAndTheFileAsItWas) {
    {
        CReaderDb db(dir / "reader.db", reporter);
        CReadMarks(db).SetSeen("t1", 3);
    }
    const std::string before = TempDir::ReadFile(dir / "reader.db");
    using std::filesystem::perms;
    std::filesystem::permissions(dir / "reader.db",
                                 perms::owner_read | perms::group_read | perms::others_read);
    // The directory is open to all: SQLite could make its "-wal" and "-shm"
    // beside the file, so only the file itself refuses. Root may write any
    // file: the reader runs as a user who may not.
    std::filesystem::permissions(dir.Path(), perms::all);
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                std::_Exit(2);
            std::vector<std::string> said;
            CReaderDb db(dir / "reader.db", [&](std::string_view m) { said.emplace_back(m); }, 50);
            CReadMarks marks(db);
            marks.SetSeen("t2", 5);
            const bool kept = db.InMemory() && marks.Seen("t2") == 5 && said.size() == 1;
            std::fprintf(stderr, "%s\n", said.empty() ? "(nothing said)" : said[0].c_str());
            std::_Exit(kept ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "読み取り専用");
    EXPECT_EQ(TempDir::ReadFile(dir / "reader.db"), before);
}

TEST_F(ReaderDbTest, FrontEndsReadWhileTheWorkerHoldsAWriteOpen) {
    CReaderDb db(dir / "reader.db", reporter);
    CReadMarks marks(db);
    marks.SetSeen("t1", 1);
    std::optional<CReaderDb::Session> worker = db.Use(CReaderDb::Link::Worker);
    ASSERT_EQ(ExecSql(worker->Handle(), "BEGIN IMMEDIATE"), SQLITE_OK);
    ASSERT_EQ(ExecSql(worker->Handle(), "UPDATE marks SET seen = 9"), SQLITE_OK);
    // From another thread, as the GUI thread reads while the worker commits.
    auto read = std::async(std::launch::async, [&] { return marks.Seen("t1"); });
    const bool answered = read.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    ExecSql(worker->Handle(), "COMMIT");
    worker.reset();
    EXPECT_TRUE(answered) << "the read waited for the worker's transaction";
    EXPECT_EQ(read.get(), 1); // what was committed when it read
    EXPECT_EQ(marks.Seen("t1"), 9);
}

TEST_F(ReaderDbTest, NewCountsComeFromHeldBeyondSeenAndMarkAllReadClearsThem) {
    readertest::CStore store;
    const std::string t1 = store.Thread(1, "one", "x", "雑談");
    const std::string t2 = store.Thread(2, "two", "x", "ニュース");
    store.Response(t1, 1, "a", 2000);
    store.Response(t1, 2, "b", 2001);
    store.Response(t2, 3, "c", 2002);
    CReaderDb db(dir / "reader.db", reporter);
    CSearchIndex(db, store.root).CatchUp();
    CReadMarks marks(db);
    marks.SetSeen(t1, 1);
    const auto counts = marks.NewByCategory(); // t2 was never read: no count
    ASSERT_EQ(counts.size(), 1u);
    EXPECT_EQ(counts.begin()->first, cp932text::FromUtf8("雑談"));
    EXPECT_EQ(counts.begin()->second, 2);
    EXPECT_EQ(CReadMarks::NewCount(marks.Seen(t1), 3), 2);
    EXPECT_EQ(CReadMarks::NewCount(marks.Seen(t2), 2), 0);
    marks.MarkAllRead();
    EXPECT_TRUE(marks.NewByCategory().empty());
    EXPECT_EQ(marks.Seen(t1), 3);
}

TEST_F(ReaderDbTest, FavouritesKeepTheirOrderAndRawBytes) {
    CReaderDb db(dir / "reader.db", reporter);
    CFavourites favourites(db);
    const std::string raw = "\x83\x5c\x8a\xbf"; // Shift_JIS with a 0x5c trail byte
    favourites.Add(CFavourite{"b", raw, raw}, 5);
    favourites.Add(CFavourite{"a", "c", "t"}, 6);
    favourites.Add(CFavourite{"b", raw, raw}, 7); // again: keeps its place
    const auto list = favourites.List();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].threadId, "b");
    EXPECT_EQ(list[0].title, raw);
    favourites.Remove("b");
    EXPECT_FALSE(favourites.Contains("b"));
    EXPECT_TRUE(favourites.Contains("a"));
}

} // namespace
