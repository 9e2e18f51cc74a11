// CSearchIndex: filling the FTS5 table from the store and searching it.
#include "reader/SearchIndex.h"

#include "base/Cp932Text.h"
#include "frontend/PageBuilder.h"
#include "reader/ReaderDb.h"
#include "reader/SqlStatement.h"
#include "reader/TextFolding.h"
#include "store/StorePaths.h"
#include "store/ThreadRecord.h"

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <utility>

namespace {

struct CIndexedPost {
    std::string postId;
    std::uint32_t time = 0;
    std::string title, name, body; // UTF-8
    std::string folded;
};

// The text a post is searched in and its snippet cut from.
std::string Joined(std::string_view title, std::string_view name, std::string_view body) {
    std::string text;
    text.reserve(title.size() + name.size() + body.size() + 2);
    text.append(title).append("\n").append(name).append("\n").append(body);
    return text;
}

bool IsThreadId(std::string_view name) {
    if (name.size() != 32)
        return false;
    for (char c : name)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Up to count characters of text ending at end (or starting at start).
std::size_t BackChars(std::string_view text, std::size_t end, std::size_t count) {
    std::size_t at = end;
    while (at > 0 && count > 0) {
        --at;
        while (at > 0 && IsContinuation(text[at]))
            --at;
        --count;
    }
    return at;
}

std::size_t ForwardChars(std::string_view text, std::size_t start, std::size_t count) {
    std::size_t at = start;
    while (at < text.size() && count > 0) {
        ++at;
        while (at < text.size() && IsContinuation(text[at]))
            ++at;
        --count;
    }
    return at;
}

// Line breaks read as blanks in a one-line snippet.
std::string OneLine(std::string_view text) {
    std::string line;
    line.reserve(text.size());
    for (char c : text)
        if (c == '\n')
            line += ' ';
        else if (c != '\r')
            line += c;
    return line;
}

std::size_t CountChars(std::string_view utf8) {
    std::size_t count = 0;
    for (char c : utf8)
        count += IsContinuation(c) ? 0 : 1;
    return count;
}

// The held count and update time of a thread's ".info".
bool ReadInfo(const std::string& root, std::string_view threadId, int& held,
              std::uint32_t& updated) {
    std::ifstream in(storepaths::InfoFile(root, threadId), std::ios::binary);
    if (!in)
        return false;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CThreadRecord record;
    record.DecodeInfo(bytes);
    held = record.GetHeld();
    updated = record.GetUpdated();
    return true;
}

} // namespace

CSearchIndex::CSearchIndex(CReaderDb& db, std::string storeRoot)
    : m_db(db), m_root(std::move(storeRoot)) {}

std::optional<std::map<std::string, std::int64_t>>
CSearchIndex::IndexedPosts(CReaderDb::Session& session, std::string_view threadId) {
    std::map<std::string, std::int64_t> rows;
    CSqlStatement find(session.Handle(), "SELECT res, id FROM posts WHERE thread = ?1");
    find.Bind(1, threadId);
    int rc;
    while ((rc = find.Step()) == SQLITE_ROW)
        rows.emplace(find.Text(0), find.Int(1));
    if (rc != SQLITE_DONE) {
        session.Check(rc);
        return std::nullopt;
    }
    return rows;
}

void CSearchIndex::IndexThread(std::string_view threadId) {
    CThreadRecord thread;
    if (!thread.Load(threadId, m_root)) {
        RemoveThread(threadId);
        return;
    }
    // A stored response never changes under its id, so one indexed before
    // is left as it is: a refresh that brought a few responses folds and
    // writes only those.
    std::optional<std::map<std::string, std::int64_t>> indexed;
    {
        auto session = m_db.Use(CReaderDb::Link::Worker);
        indexed = IndexedPosts(session, threadId);
    }
    if (!indexed)
        return;
    // Converting and folding happen outside the transaction, which keeps
    // other writers (the GUI thread's read marks) waiting while it lasts.
    std::vector<CIndexedPost> posts;
    std::set<std::string> held;
    for (CPagePost& post : CPageBuilder(m_root, nullptr).LoadPosts(threadId)) {
        held.insert(post.id);
        if (indexed->count(post.id))
            continue;
        CIndexedPost added{std::move(post.id),
                           post.time,
                           cp932text::ToUtf8(post.title),
                           cp932text::ToUtf8(post.name),
                           cp932text::ToUtf8(post.body),
                           {}};
        added.folded = textfold::Fold(Joined(added.title, added.name, added.body));
        posts.push_back(std::move(added));
    }
    auto session = m_db.Use(CReaderDb::Link::Worker);
    sqlite3* db = session.Handle();
    if (session.Check(ExecSql(db, "BEGIN IMMEDIATE")))
        return;
    int rc = SQLITE_DONE;
    {
        // Read again inside the transaction: what was indexed meanwhile is
        // not added twice.
        indexed = IndexedPosts(session, threadId);
        if (!indexed) {
            ExecSql(db, "ROLLBACK");
            return;
        }
        CSqlStatement dropFts(db, "DELETE FROM posts_fts WHERE rowid = ?1");
        CSqlStatement dropPost(db, "DELETE FROM posts WHERE id = ?1");
        CSqlStatement addPost(db, "INSERT INTO posts(thread, res, time, title, name, body)"
                                  " VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
        CSqlStatement addFts(db, "INSERT INTO posts_fts(rowid, folded) VALUES(?1, ?2)");
        CSqlStatement putThread(db, "INSERT OR REPLACE INTO threads(thread, category, title,"
                                    " held, updated) VALUES(?1, ?2, ?3, ?4, ?5)");
        // Responses the store no longer holds leave the index.
        for (const auto& [postId, row] : *indexed) {
            if (held.count(postId))
                continue;
            dropFts.Reset();
            rc = dropFts.Bind(1, row).Step();
            if (rc != SQLITE_DONE)
                break;
            dropPost.Reset();
            rc = dropPost.Bind(1, row).Step();
            if (rc != SQLITE_DONE)
                break;
        }
        for (const CIndexedPost& post : posts) {
            if (rc != SQLITE_DONE)
                break;
            if (indexed->count(post.postId))
                continue;
            addPost.Reset();
            rc = addPost.Bind(1, threadId)
                     .Bind(2, post.postId)
                     .Bind(3, std::int64_t{post.time})
                     .Bind(4, post.title)
                     .Bind(5, post.name)
                     .Bind(6, post.body)
                     .Step();
            if (rc != SQLITE_DONE)
                break;
            addFts.Reset();
            rc = addFts.Bind(1, static_cast<std::int64_t>(sqlite3_last_insert_rowid(db)))
                     .Bind(2, post.folded)
                     .Step();
        }
        if (rc == SQLITE_DONE)
            rc = putThread.Bind(1, threadId)
                     .BindBlob(2, thread.GetCategory())
                     .BindBlob(3, thread.GetTitle())
                     .Bind(4, std::int64_t{thread.GetHeld()})
                     .Bind(5, std::int64_t{thread.GetUpdated()})
                     .Step();
    }
    if (rc == SQLITE_DONE) {
        session.Check(ExecSql(db, "COMMIT"));
    } else {
        ExecSql(db, "ROLLBACK");
        session.Check(rc);
    }
}

void CSearchIndex::RemoveThread(std::string_view threadId) {
    auto session = m_db.Use(CReaderDb::Link::Worker);
    sqlite3* db = session.Handle();
    if (session.Check(ExecSql(db, "BEGIN IMMEDIATE")))
        return;
    int rc;
    {
        CSqlStatement dropFts(db, "DELETE FROM posts_fts WHERE rowid IN"
                                  " (SELECT id FROM posts WHERE thread = ?1)");
        CSqlStatement dropPosts(db, "DELETE FROM posts WHERE thread = ?1");
        CSqlStatement dropThread(db, "DELETE FROM threads WHERE thread = ?1");
        rc = dropFts.Bind(1, threadId).Step();
        if (rc == SQLITE_DONE)
            rc = dropPosts.Bind(1, threadId).Step();
        if (rc == SQLITE_DONE)
            rc = dropThread.Bind(1, threadId).Step();
    }
    if (rc == SQLITE_DONE) {
        session.Check(ExecSql(db, "COMMIT"));
    } else {
        ExecSql(db, "ROLLBACK");
        session.Check(rc);
    }
}

std::size_t CSearchIndex::CatchUp(const std::atomic<bool>* stop) {
    std::map<std::string, std::pair<int, std::uint32_t>> indexed;
    {
        auto session = m_db.Use(CReaderDb::Link::Worker);
        CSqlStatement all(session.Handle(), "SELECT thread, held, updated FROM threads");
        int rc;
        while ((rc = all.Step()) == SQLITE_ROW)
            indexed.emplace(all.Text(0), std::make_pair(static_cast<int>(all.Int(1)),
                                                        static_cast<std::uint32_t>(all.Int(2))));
        session.Check(rc);
    }
    std::size_t done = 0;
    std::error_code error;
    static constexpr std::string_view kBuckets = "0123456789abcdef";
    for (char bucket : kBuckets) {
        for (const auto& entry :
             std::filesystem::directory_iterator(storepaths::BucketDir(m_root, bucket), error)) {
            if (stop && stop->load())
                return done;
            const std::string name = entry.path().filename().string();
            if (!IsThreadId(name) || name[0] != bucket)
                continue;
            int held = 0;
            std::uint32_t updated = 0;
            if (!ReadInfo(m_root, name, held, updated))
                continue;
            const auto found = indexed.find(name);
            const bool current = found != indexed.end() && found->second.first == held &&
                                 found->second.second == updated;
            if (found != indexed.end())
                indexed.erase(found);
            if (current)
                continue;
            IndexThread(name);
            ++done;
        }
    }
    // What is left was indexed once and is no longer in the store.
    for (const auto& [threadId, unused] : indexed) {
        if (stop && stop->load())
            break;
        RemoveThread(threadId);
    }
    return done;
}

bool CSearchIndex::MakeSnippet(std::string_view text, std::string_view foldedQuery,
                               CSearchHit& hit) {
    std::vector<std::uint32_t> origins;
    const std::string folded = textfold::Fold(text, &origins);
    const std::size_t at = folded.find(foldedQuery);
    if (at == std::string::npos || foldedQuery.empty())
        return false;
    const std::size_t start = origins[at];
    // The match ends with the character that gave the query's last byte.
    const std::size_t lastSource = origins[at + foldedQuery.size() - 1];
    const std::size_t end = ForwardChars(text, lastSource, 1);
    const std::size_t from = BackChars(text, start, kSnippetSide);
    const std::size_t to = ForwardChars(text, end, kSnippetSide);
    hit.before = OneLine(text.substr(from, start - from));
    hit.match = OneLine(text.substr(start, end - start));
    hit.after = OneLine(text.substr(end, to - end));
    return true;
}

std::vector<CSearchHit> CSearchIndex::Search(std::string_view queryUtf8, std::size_t limit) {
    std::vector<CSearchHit> hits;
    const std::string query = textfold::Fold(queryUtf8);
    if (query.empty() || limit == 0)
        return hits;
    const bool scan = CountChars(query) < 3;
    std::string sql = "SELECT p.thread, p.res, p.time, p.title, p.name, p.body, t.title"
                      " FROM posts_fts f JOIN posts p ON p.id = f.rowid"
                      " LEFT JOIN threads t ON t.thread = p.thread WHERE ";
    sql += scan ? "instr(f.folded, ?1) > 0" : "posts_fts MATCH ?1";
    sql += " ORDER BY f.rowid DESC LIMIT ?2";
    // For the index, one phrase: the trigram tokenizer then finds the
    // folded text as it is.
    std::string match;
    if (!scan)
        match.push_back('"');
    for (char c : query) {
        match.push_back(c);
        if (!scan && c == '"')
            match.push_back(c);
    }
    if (!scan)
        match.push_back('"');
    auto session = m_db.Use(CReaderDb::Link::Front);
    CSqlStatement find(session.Handle(), sql);
    find.Bind(1, match).Bind(2, static_cast<std::int64_t>(limit));
    int rc;
    while ((rc = find.Step()) == SQLITE_ROW) {
        CSearchHit hit;
        hit.threadId = find.Text(0);
        hit.postId = find.Text(1);
        hit.time = static_cast<std::uint32_t>(find.Int(2));
        hit.threadTitle = cp932text::ToUtf8(find.Text(6));
        MakeSnippet(Joined(find.Text(3), find.Text(4), find.Text(5)), query, hit);
        hits.push_back(std::move(hit));
    }
    session.Check(rc);
    return hits;
}
