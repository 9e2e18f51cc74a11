// CSqlStatement: a thin owner of sqlite3_stmt.
#include "reader/SqlStatement.h"

#include <sqlite3.h>

CSqlStatement::CSqlStatement(sqlite3* db, std::string_view sql) {
    m_prepared =
        db ? sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &m_statement, nullptr)
           : SQLITE_MISUSE;
}

CSqlStatement::~CSqlStatement() {
    sqlite3_finalize(m_statement);
}

CSqlStatement& CSqlStatement::Bind(int index, std::string_view text) {
    sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
    return *this;
}

CSqlStatement& CSqlStatement::BindBlob(int index, std::string_view bytes) {
    sqlite3_bind_blob(m_statement, index, bytes.data(), static_cast<int>(bytes.size()),
                      SQLITE_TRANSIENT);
    return *this;
}

CSqlStatement& CSqlStatement::Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(m_statement, index, value);
    return *this;
}

int CSqlStatement::Step() {
    return m_statement ? sqlite3_step(m_statement) : m_prepared;
}

void CSqlStatement::Reset() {
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

std::int64_t CSqlStatement::Int(int column) const {
    return sqlite3_column_int64(m_statement, column);
}

std::string CSqlStatement::Text(int column) const {
    const void* bytes = sqlite3_column_blob(m_statement, column);
    const int size = sqlite3_column_bytes(m_statement, column);
    return bytes ? std::string(static_cast<const char*>(bytes), static_cast<std::size_t>(size))
                 : std::string();
}

int ExecSql(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}
