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

bool IsDamage(int rc) {
    rc &= 0xff;
    return rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB;
}

} // namespace

CReaderDb::CReaderDb(std::string path, Reporter reporter, int busyTimeoutMs)
    : m_path(std::move(path)), m_reporter(std::move(reporter)), m_busyTimeoutMs(busyTimeoutMs) {}

CReaderDb::~CReaderDb() {
    Close();
}

sqlite3* CReaderDb::Handle() {
    if (!m_db)
        Open();
    return m_db;
}

void CReaderDb::Close() {
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

void CReaderDb::Open() {
    int rc = OpenFile();
    if (IsDamage(rc)) {
        SetAsideDamaged();
        rc = OpenFile();
    }
    if (rc == SQLITE_OK) {
        ++m_generation;
        return;
    }
    Close();
    const int primary = rc & 0xff;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        OpenInMemory("他のプログラムが使用中です");
    else if (rc == -1)
        OpenInMemory("新しい版の pelmar で作られています");
    else
        OpenInMemory(std::string("開けませんでした (") + sqlite3_errstr(rc) + ")");
}

int CReaderDb::OpenFile() {
    Close();
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
    int rc = sqlite3_open_v2(m_path.c_str(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, m_busyTimeoutMs);
    // Reading the schema version is the first touch of the file: a file that
    // is not a database, or is damaged at its head, fails here.
    int version = 0;
    {
        CSqlStatement read(m_db, "PRAGMA user_version");
        rc = read.Prepared();
        if (rc != SQLITE_OK)
            return rc;
        rc = read.Step();
        if (rc != SQLITE_ROW)
            return rc;
        version = static_cast<int>(read.Int(0));
    }
    if (version > kSchemaVersion)
        return -1;
    {
        CSqlStatement wal(m_db, "PRAGMA journal_mode=WAL");
        rc = wal.Step();
        if (rc != SQLITE_ROW)
            return rc;
        if (wal.Text(0) != "wal")
            return SQLITE_READONLY;
    }
    ExecSql(m_db, "PRAGMA synchronous=NORMAL");
    if (version == kSchemaVersion)
        return SQLITE_OK;
    rc = ExecSql(m_db, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK)
        return rc;
    const auto& steps = Migrations();
    for (int step = version; step < kSchemaVersion; ++step) {
        rc = ExecSql(m_db, steps[static_cast<std::size_t>(step)]);
        if (rc != SQLITE_OK) {
            ExecSql(m_db, "ROLLBACK");
            return rc;
        }
    }
    const std::string setVersion = "PRAGMA user_version=" + std::to_string(kSchemaVersion);
    rc = ExecSql(m_db, setVersion.c_str());
    if (rc == SQLITE_OK)
        rc = ExecSql(m_db, "COMMIT");
    if (rc != SQLITE_OK)
        ExecSql(m_db, "ROLLBACK");
    return rc;
}

void CReaderDb::OpenInMemory(std::string_view why) {
    m_inMemory = true;
    sqlite3_open_v2(":memory:", &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
    ExecSql(m_db, "BEGIN");
    for (const char* step : Migrations())
        ExecSql(m_db, step);
    ExecSql(m_db, "COMMIT");
    ++m_generation;
    if (m_reporter)
        m_reporter("リーダーのデータベース「" + m_path + "」は" + std::string(why) +
                   "。既読、お気に入り、検索の索引はこの起動の間だけメモリーに置きます。");
}

void CReaderDb::SetAsideDamaged() {
    Close();
    const std::string aside = m_path + ".damaged";
    std::remove(aside.c_str());
    std::rename(m_path.c_str(), aside.c_str());
    std::remove((m_path + "-wal").c_str());
    std::remove((m_path + "-shm").c_str());
    if (m_reporter)
        m_reporter(
            "リーダーのデータベース「" + m_path + "」が壊れていたので「" + aside +
            "」として残し、新しく作りました。検索の索引は保存されたスレッドから作り直します。");
}

bool CReaderDb::Check(int rc) {
    if (!IsDamage(rc) || m_inMemory)
        return false;
    SetAsideDamaged();
    Open();
    return true;
}
