// CFavourites: the favourites table.
#include "reader/Favourites.h"

#include "reader/ReaderDb.h"
#include "reader/SqlStatement.h"

#include <sqlite3.h>

void CFavourites::Add(const CFavourite& favourite, std::uint32_t now) {
    auto lock = m_db.Lock();
    CSqlStatement add(m_db.Handle(), "INSERT INTO favourites(thread, category, title, added)"
                                     " VALUES(?1, ?2, ?3, ?4) ON CONFLICT(thread) DO UPDATE SET"
                                     " category = excluded.category, title = excluded.title");
    m_db.Check(add.Bind(1, favourite.threadId)
                   .BindBlob(2, favourite.category)
                   .BindBlob(3, favourite.title)
                   .Bind(4, std::int64_t{now})
                   .Step());
}

void CFavourites::Remove(std::string_view threadId) {
    auto lock = m_db.Lock();
    CSqlStatement remove(m_db.Handle(), "DELETE FROM favourites WHERE thread = ?1");
    m_db.Check(remove.Bind(1, threadId).Step());
}

bool CFavourites::Contains(std::string_view threadId) {
    auto lock = m_db.Lock();
    CSqlStatement find(m_db.Handle(), "SELECT 1 FROM favourites WHERE thread = ?1");
    const int rc = find.Bind(1, threadId).Step();
    m_db.Check(rc);
    return rc == SQLITE_ROW;
}

std::vector<CFavourite> CFavourites::List() {
    std::vector<CFavourite> list;
    auto lock = m_db.Lock();
    CSqlStatement all(m_db.Handle(),
                      "SELECT thread, category, title FROM favourites ORDER BY added, rowid");
    int rc;
    while ((rc = all.Step()) == SQLITE_ROW)
        list.push_back(CFavourite{all.Text(0), all.Text(1), all.Text(2)});
    m_db.Check(rc);
    return list;
}
