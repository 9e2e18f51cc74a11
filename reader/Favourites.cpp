// CFavourites: the favourites table.
#include "reader/Favourites.h"

#include "reader/ReaderDb.h"
#include "reader/SqlStatement.h"

#include <sqlite3.h>

void CFavourites::Add(const CFavourite& favourite, std::uint32_t now) {
    auto session = m_db.Use();
    CSqlStatement add(session.Handle(), "INSERT INTO favourites(thread, category, title, added)"
                                     " VALUES(?1, ?2, ?3, ?4) ON CONFLICT(thread) DO UPDATE SET"
                                     " category = excluded.category, title = excluded.title");
    session.Check(add.Bind(1, favourite.threadId)
                   .BindBlob(2, favourite.category)
                   .BindBlob(3, favourite.title)
                   .Bind(4, std::int64_t{now})
                   .Step());
}

void CFavourites::Remove(std::string_view threadId) {
    auto session = m_db.Use();
    CSqlStatement remove(session.Handle(), "DELETE FROM favourites WHERE thread = ?1");
    session.Check(remove.Bind(1, threadId).Step());
}

bool CFavourites::Contains(std::string_view threadId) {
    auto session = m_db.Use();
    CSqlStatement find(session.Handle(), "SELECT 1 FROM favourites WHERE thread = ?1");
    const int rc = find.Bind(1, threadId).Step();
    session.Check(rc);
    return rc == SQLITE_ROW;
}

std::vector<CFavourite> CFavourites::List() {
    std::vector<CFavourite> list;
    auto session = m_db.Use();
    CSqlStatement all(session.Handle(),
                      "SELECT thread, category, title FROM favourites ORDER BY added, rowid");
    int rc;
    while ((rc = all.Step()) == SQLITE_ROW)
        list.push_back(CFavourite{all.Text(0), all.Text(1), all.Text(2)});
    session.Check(rc);
    return list;
}
