// CSqlStatement: one prepared SQLite statement, finalized when it goes. Used
// by whichever thread holds the database's lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

class CSqlStatement {
public:
    CSqlStatement(sqlite3* db, std::string_view sql);
    ~CSqlStatement();
    CSqlStatement(const CSqlStatement&) = delete;
    CSqlStatement& operator=(const CSqlStatement&) = delete;

    // The result of preparing; SQLITE_OK when the statement can run.
    int Prepared() const { return m_prepared; }

    CSqlStatement& Bind(int index, std::string_view text); // as TEXT
    CSqlStatement& BindBlob(int index, std::string_view bytes);
    CSqlStatement& Bind(int index, std::int64_t value);

    // sqlite3_step's result (SQLITE_ROW, SQLITE_DONE or an error).
    int Step();
    void Reset();

    std::int64_t Int(int column) const;
    std::string Text(int column) const; // TEXT or BLOB bytes alike

private:
    sqlite3_stmt* m_statement = nullptr;
    int m_prepared = 0;
};

// Runs SQL without results; the SQLite result code.
int ExecSql(sqlite3* db, const char* sql);
