// CReaderDb: opening, migrating and recovering the reader's database.
#include "reader/ReaderDb.h"

#include "reader/SqlStatement.h"

#include <sqlite3.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Each entry brings the schema from version i to i + 1. Add, never edit.
const std::vector<const char*>& Migrations() {
    static const std::vector<const char*> steps = {
        "CREATE TABLE marks(thread TEXT PRIMARY KEY, seen INTEGER NOT NULL);"
        "CREATE TABLE favourites(thread TEXT PRIMARY KEY, category BLOB NOT NULL,"
        " title BLOB NOT NULL, added INTEGER NOT NULL);"
        "CREATE TABLE threads(thread TEXT PRIMARY KEY, category BLOB NOT NULL,"
        " title BLOB NOT NULL, held INTEGER NOT NULL, updated INTEGER NOT NULL);"
        "CREATE TABLE posts(id INTEGER PRIMARY KEY, thread TEXT NOT NULL, res TEXT NOT NULL,"
        " time INTEGER NOT NULL, title TEXT NOT NULL, name TEXT NOT NULL, body TEXT NOT NULL);"
        "CREATE INDEX posts_by_thread ON posts(thread);"
        "CREATE VIRTUAL TABLE posts_fts USING fts5(folded, tokenize='trigram');",
    };
    return steps;
}

// OpenFile's answer for a file a newer program made.
constexpr int kNewerSchema = -1;

bool IsDamage(int rc) {
    rc &= 0xff;
    return rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB;
}

// Waits for another connection's write a millisecond at a time, up to
// limitMs: a read mark then takes the write lock in the short gap between two
// of the worker's transactions, which SQLite's own waits (growing to 100 ms
// each) would mostly miss.
int WaitBriefly(void* limitMs, int count) {
    if (count >= *static_cast<const int*>(limitMs))
        return 0;
    sqlite3_sleep(1);
    return 1;
}

void Close(sqlite3*& db) {
    if (db)
        sqlite3_close_v2(db);
    db = nullptr;
}

} // namespace

CReaderDb::CReaderDb(std::string path, Reporter reporter, int busyTimeoutMs)
    : m_path(std::move(path)), m_reporter(std::move(reporter)), m_busyTimeoutMs(busyTimeoutMs) {}

CReaderDb::~CReaderDb() {
    for (Connection* connection : {&m_front, &m_worker, &m_memory})
        Close(connection->db);
}

CReaderDb::Session::Session(CReaderDb& owner, Connection& connection,
                            std::unique_lock<std::mutex> lock)
    : m_owner(owner), m_connection(connection), m_lock(std::move(lock)), m_db(connection.db) {}

bool CReaderDb::Session::Check(int rc) {
    return m_owner.CheckDamage(rc, m_connection);
}

CReaderDb::Session CReaderDb::Use(Link link) {
    for (;;) {
        Connection& connection = Of(link);
        std::unique_lock<std::mutex> lock(connection.mutex);
        // The file may have been given up for memory while this waited.
        if (&Of(link) != &connection)
            continue;
        if (!connection.db || connection.generation != m_generation) {
            std::lock_guard<std::mutex> opening(m_openMutex);
            Reopen(connection);
            if (&Of(link) != &connection)
                continue;
        }
        return Session(*this, connection, std::move(lock));
    }
}

void CReaderDb::Reopen(Connection& connection) {
    Close(connection.db);
    if (&connection == &m_memory)
        return GoToMemory(SQLITE_OK);
    int rc = OpenFile(connection.db);
    if (IsDamage(rc)) {
        Close(connection.db);
        SetAsideDamaged();
        rc = OpenFile(connection.db);
    }
    if (rc == SQLITE_OK) {
        connection.generation = m_generation;
        return;
    }
    Close(connection.db);
    GoToMemory(rc);
}

int CReaderDb::OpenFile(sqlite3*& db) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
    int rc = sqlite3_open_v2(m_path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_handler(db, WaitBriefly, &m_busyTimeoutMs);
    // SQLite opens a file it may not write read-only without a word; every
    // write would then fail quietly.
    if (sqlite3_db_readonly(db, "main") == 1)
        return SQLITE_READONLY;
    // Reading the schema version is the first touch of the file: a file that
    // is not a database, or is damaged at its head, fails here.
    int version = 0;
    {
        CSqlStatement read(db, "PRAGMA user_version");
        rc = read.Prepared();
        if (rc != SQLITE_OK)
            return rc;
        rc = read.Step();
        if (rc != SQLITE_ROW)
            return rc;
        version = static_cast<int>(read.Int(0));
    }
    if (version > kSchemaVersion)
        return kNewerSchema;
    {
        CSqlStatement wal(db, "PRAGMA journal_mode=WAL");
        rc = wal.Step();
        if (rc != SQLITE_ROW)
            return rc;
        if (wal.Text(0) != "wal")
            return SQLITE_READONLY;
    }
    ExecSql(db, "PRAGMA synchronous=NORMAL");
    if (version == kSchemaVersion)
        return SQLITE_OK;
    rc = ExecSql(db, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK)
        return rc;
    const auto& steps = Migrations();
    for (int step = version; step < kSchemaVersion; ++step) {
        rc = ExecSql(db, steps[static_cast<std::size_t>(step)]);
        if (rc != SQLITE_OK) {
            ExecSql(db, "ROLLBACK");
            return rc;
        }
    }
    const std::string setVersion = "PRAGMA user_version=" + std::to_string(kSchemaVersion);
    rc = ExecSql(db, setVersion.c_str());
    if (rc == SQLITE_OK)
        rc = ExecSql(db, "COMMIT");
    if (rc != SQLITE_OK)
        ExecSql(db, "ROLLBACK");
    return rc;
}

void CReaderDb::GoToMemory(int rc) {
    if (m_inMemory) {
        // The memory connection itself, once: both links share it.
        sqlite3_open_v2(":memory:", &m_memory.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX,
                        nullptr);
        ExecSql(m_memory.db, "BEGIN");
        for (const char* step : Migrations())
            ExecSql(m_memory.db, step);
        ExecSql(m_memory.db, "COMMIT");
        m_memory.generation = m_generation;
        return;
    }
    std::string why;
    const int primary = rc & 0xff;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        why = "他のプログラムが使用中です";
    else if (rc == kNewerSchema)
        why = "新しい版の pelmar で作られています";
    else if (primary == SQLITE_READONLY)
        why = "読み取り専用で、書き込めません";
    else
        why = std::string("開けませんでした (") + sqlite3_errstr(rc) + ")";
    // The memory connection is opened by the first session that picks it.
    ++m_generation;
    m_inMemory = true;
    if (m_reporter)
        m_reporter("リーダーのデータベース「" + m_path + "」は" + why +
                   "。既読、お気に入り、検索の索引はこの起動の間だけメモリーに置きます。");
}

void CReaderDb::SetAsideDamaged() {
    // The other link may still have the damaged file open. Its close would
    // delete "-wal" and "-shm" by name, the new file's by then, unless told
    // to keep its log.
    for (Connection* connection : {&m_front, &m_worker}) {
        int persist = 1;
        if (connection->db)
            sqlite3_file_control(connection->db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    }
    const std::string aside = m_path + ".damaged";
    std::remove(aside.c_str());
    std::rename(m_path.c_str(), aside.c_str());
    std::remove((m_path + "-wal").c_str());
    std::remove((m_path + "-shm").c_str());
    ++m_generation;
    if (m_reporter)
        m_reporter(
            "リーダーのデータベース「" + m_path + "」が壊れていたので「" + aside +
            "」として残し、新しく作りました。検索の索引は保存されたスレッドから作り直します。");
}

bool CReaderDb::CheckDamage(int rc, const Connection& connection) {
    if (!IsDamage(rc) || m_inMemory)
        return false;
    std::lock_guard<std::mutex> opening(m_openMutex);
    // The other link may have set this file aside already.
    if (connection.generation == m_generation)
        SetAsideDamaged();
    return true;
}
