// CReadMarks: the marks table.
#include "reader/ReadMarks.h"

#include "reader/ReaderDb.h"
#include "reader/SqlStatement.h"

#include <sqlite3.h>

void CReadMarks::SetSeen(std::string_view threadId, int held) {
    auto session = m_db.Use();
    CSqlStatement put(session.Handle(), "INSERT INTO marks(thread, seen) VALUES(?1, ?2)"
                                     " ON CONFLICT(thread) DO UPDATE SET seen = excluded.seen");
    session.Check(put.Bind(1, threadId).Bind(2, std::int64_t{held}).Step());
}

std::optional<int> CReadMarks::Seen(std::string_view threadId) {
    auto session = m_db.Use();
    CSqlStatement get(session.Handle(), "SELECT seen FROM marks WHERE thread = ?1");
    const int rc = get.Bind(1, threadId).Step();
    if (rc == SQLITE_ROW)
        return static_cast<int>(get.Int(0));
    session.Check(rc);
    return std::nullopt;
}

std::map<std::string, int> CReadMarks::All() {
    std::map<std::string, int> marks;
    auto session = m_db.Use();
    CSqlStatement all(session.Handle(), "SELECT thread, seen FROM marks");
    int rc;
    while ((rc = all.Step()) == SQLITE_ROW)
        marks.emplace(all.Text(0), static_cast<int>(all.Int(1)));
    session.Check(rc);
    return marks;
}

void CReadMarks::MarkAllRead() {
    auto session = m_db.Use();
    CSqlStatement update(session.Handle(), "UPDATE marks SET seen = (SELECT held FROM threads"
                                        " WHERE threads.thread = marks.thread)"
                                        " WHERE thread IN (SELECT thread FROM threads)");
    session.Check(update.Step());
}

std::map<std::string, int> CReadMarks::NewByCategory() {
    std::map<std::string, int> counts;
    auto session = m_db.Use();
    CSqlStatement sum(session.Handle(), "SELECT t.category, SUM(t.held - m.seen) FROM threads t"
                                     " JOIN marks m ON m.thread = t.thread WHERE t.held > m.seen"
                                     " GROUP BY t.category");
    int rc;
    while ((rc = sum.Step()) == SQLITE_ROW)
        counts.emplace(sum.Text(0), static_cast<int>(sum.Int(1)));
    session.Check(rc);
    return counts;
}
