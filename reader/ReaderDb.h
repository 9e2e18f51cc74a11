// CReaderDb: the reader's database "reader.db" (SQLite, WAL): read marks,
// favourites and the search index. Opened on first use, so an idle node never
// loads it; created with its schema when missing and migrated from older
// schema versions. A damaged file is kept aside as "reader.db.damaged" and made
// anew (the index is rebuilt from the store); a file that is locked, read-only,
// a directory or from a newer program leaves the reader on a database in
// memory for this run. Each case is told once, in Japanese, to the reporter.
// One connection, serialized: callers on the GUI thread and the index worker
// hold Lock() around each operation.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

struct sqlite3;

class CReaderDb {
public:
    static constexpr std::string_view kFileName = "reader.db";
    static constexpr int kSchemaVersion = 1;
    using Reporter = std::function<void(std::string_view textUtf8)>;

    CReaderDb(std::string path, Reporter reporter, int busyTimeoutMs = 2000);
    ~CReaderDb();
    CReaderDb(const CReaderDb&) = delete;
    CReaderDb& operator=(const CReaderDb&) = delete;

    // The connection, opened on first call; never null afterwards (a memory
    // database stands in when the file cannot serve). Call under Lock().
    sqlite3* Handle();
    std::unique_lock<std::recursive_mutex> Lock() {
        return std::unique_lock<std::recursive_mutex>(m_mutex);
    }

    // A statement ended with rc: a damaged file is set aside and made anew.
    // True when it did so (the caller's work is lost; the index refills).
    bool Check(int rc);

    bool IsOpen() const { return m_db != nullptr; }
    bool InMemory() const { return m_inMemory; }
    // Grows each time the database was made anew; the index worker refills
    // the index when it sees a new value.
    std::uint64_t Generation() const { return m_generation.load(); }
    const std::string& Path() const { return m_path; }

private:
    void Open();
    // Opens the file and brings its schema up to date; an SQLite code.
    int OpenFile();
    void OpenInMemory(std::string_view why);
    void SetAsideDamaged();
    void Close();

    std::string m_path;
    Reporter m_reporter;
    int m_busyTimeoutMs;
    sqlite3* m_db = nullptr;
    bool m_inMemory = false;
    std::atomic<std::uint64_t> m_generation{0};
    std::recursive_mutex m_mutex;
};
