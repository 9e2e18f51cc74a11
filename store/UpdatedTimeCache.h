// CUpdatedTimeCache: the updated time of each thread (offset 8 of its
// ".info") as last seen by this process, so that ordering a category does
// not read every ".info" again. Process-wide; used by the GUI thread and the
// fetch worker (and by the second reader of a large listing), guarded by one
// mutex that is never held across a file operation.
//
// A cached time is trusted only while the ".info" keeps the identity it had
// when the time was read (one stat instead of open, read, close), and only
// once that identity has settled: a file changed within the last moments may
// be changed again without its times moving, so it is read again until it is
// older than the file system's timestamp granularity. For the same reason a
// writer in this process does not record what it wrote (a second write in
// the same tick, by the other thread or another process, would go unseen):
// it drops the entry, and the next lookup reads the file once. A deleted
// thread is dropped too.
#pragma once

#include "store/FileSystem.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

class CUpdatedTimeCache {
public:
    // Past this many entries the cache is emptied and fills again.
    static constexpr std::size_t kMaxEntries = 200000;
    // A listing of 100,000 threads takes and puts its entries this many at a
    // time, so the lock is never held long against a thread that files a
    // post (the GUI thread, which also serves the overlay).
    static constexpr std::size_t kLockedBatch = 4096;
    // A file whose change time is this close to the time it was read may
    // still change unseen: 2 s covers the coarsest timestamps in use.
    static constexpr std::int64_t kSettleNs = 2'000'000'000;

    // What a lookup carries between taking the cached entry, checking the
    // file and putting the result back; made per thread looked up.
    struct SLookup {
        std::string_view threadId;
        std::uint32_t updated = 0;

    private:
        friend class CUpdatedTimeCache;
        struct SKey {
            std::uint64_t high = 0;
            std::uint64_t low = 0;
            bool operator==(const SKey&) const = default;
        };
        // Only settled entries are kept.
        struct SEntry {
            storefs::SFileIdentity identity;
            std::uint32_t updated = 0;
        };
        SKey key;
        SEntry entry;
        bool valid = false;  // a well-formed id
        bool cached = false; // entry came from the cache
        bool store = false;  // entry is to go into the cache
        bool drop = false;   // the cache's entry is to go
    };

    static CUpdatedTimeCache& Instance();

    // The updated time of one thread under root (held open as rootDir).
    std::uint32_t UpdatedTime(const std::string& root, const storefs::CDirectoryHandle& rootDir,
                              std::string_view threadId);

    // The same for many threads in three steps, so that the lock is taken
    // once per kLockedBatch lookups on the way in and on the way out, and
    // the files may be checked on several threads:
    // Take (locked), Resolve on any slice (no lock), Put (locked).
    void Take(const std::string& root, SLookup* lookups, std::size_t count);
    void Resolve(const storefs::CDirectoryHandle& rootDir, SLookup* lookups,
                 std::size_t count) const;
    void Put(const std::string& root, const SLookup* lookups, std::size_t count);

    // The thread's ".info" has just been written or removed by this process.
    void Forget(const std::string& root, std::string_view threadId);

    // Entries held now (for tests and benchmarks).
    std::size_t Size() const;
    void Clear();
    // Tests that must see entries kept without waiting shorten the time a
    // file takes to settle (kSettleNs unless set).
    void SetSettleTime(std::int64_t ns) { m_settleNs = ns; }

private:
    struct SKeyHash {
        std::size_t operator()(const SLookup::SKey& key) const {
            return static_cast<std::size_t>(key.high ^ (key.low * 0x9e3779b97f4a7c15ull));
        }
    };
    using Threads = std::unordered_map<SLookup::SKey, SLookup::SEntry, SKeyHash>;

    static bool KeyOf(std::string_view threadId, SLookup::SKey& key);
    void ResolveOne(const storefs::CDirectoryHandle& rootDir, SLookup& lookup) const;
    void PutLocked(const std::string& root, const SLookup& lookup);

    mutable std::mutex m_mutex;
    // Keyed by the store root as its users name it; a root named two ways
    // only costs a second set of entries.
    std::unordered_map<std::string, Threads> m_roots;
    std::size_t m_size = 0;
    std::atomic<std::int64_t> m_settleNs{kSettleNs};
};
