// CReaderDb: the reader's database "reader.db" (SQLite, WAL): read marks,
// favourites and the search index. Opened on first use, so an idle node never
// loads it; created with its schema when missing and migrated from older
// schema versions. A damaged file is kept aside as "reader.db.damaged" and made
// anew (the index is rebuilt from the store); a file that is locked, read-only,
// a directory or from a newer program leaves the reader on a database in
// memory for this run. Each case is told once, in Japanese, to the reporter.
// Two connections to the file, the front ends' (GUI and web threads) and the
// index worker's, so that the GUI thread reads its marks while the worker
// commits (WAL lets readers and one writer run at once). A caller holds a
// Session of its link for each operation, which serializes that link; in
// memory both links are one connection.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

struct sqlite3;

class CReaderDb {
    struct Connection;

public:
    static constexpr std::string_view kFileName = "reader.db";
    static constexpr int kSchemaVersion = 1;
    using Reporter = std::function<void(std::string_view textUtf8)>;
    enum class Link { Front, Worker };

    // One operation's hold on a link's connection, which stays the same
    // while the session lasts.
    class Session {
    public:
        // Never null (a database in memory stands in when the file cannot serve).
        sqlite3* Handle() const { return m_db; }
        // A statement ended with rc: a damaged file is set aside and made anew
        // (every link reopens at its next session). True when it did so: the
        // caller's work is lost and it stops; the index refills.
        bool Check(int rc);

    private:
        friend class CReaderDb;
        Session(CReaderDb& owner, Connection& connection, std::unique_lock<std::mutex> lock);
        CReaderDb& m_owner;
        Connection& m_connection;
        std::unique_lock<std::mutex> m_lock;
        sqlite3* m_db;
    };

    CReaderDb(std::string path, Reporter reporter, int busyTimeoutMs = 2000);
    ~CReaderDb();
    CReaderDb(const CReaderDb&) = delete;
    CReaderDb& operator=(const CReaderDb&) = delete;

    // Waits for the link's connection, opening it first when needed.
    Session Use(Link link = Link::Front);

    bool InMemory() const { return m_inMemory.load(); }
    // Grows each time the database was made anew; the index worker refills
    // the index when it sees a new value.
    std::uint64_t Generation() const { return m_generation.load(); }
    const std::string& Path() const { return m_path; }

private:
    struct Connection {
        std::mutex mutex;
        sqlite3* db = nullptr; // changed under both mutex and m_openMutex
        std::uint64_t generation = 0;
    };
    Connection& Of(Link link) {
        return m_inMemory ? m_memory : link == Link::Front ? m_front : m_worker;
    }
    // Brings a connection to the current file, or gives the file up for
    // memory; under its mutex and m_openMutex.
    void Reopen(Connection& connection);
    // Opens the file and brings its schema up to date; an SQLite code.
    int OpenFile(sqlite3*& db);
    void GoToMemory(int rc);
    void SetAsideDamaged();
    bool CheckDamage(int rc, const Connection& connection);

    std::string m_path;
    Reporter m_reporter;
    int m_busyTimeoutMs;
    Connection m_front;
    Connection m_worker;
    Connection m_memory;
    std::mutex m_openMutex;
    std::atomic<bool> m_inMemory{false};
    // The file's incarnation: 1 for the first one opened in this run.
    std::atomic<std::uint64_t> m_generation{1};
};
