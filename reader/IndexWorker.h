// CIndexWorker: keeps the search index current off the GUI thread. Threads
// that were posted, fetched, refreshed or deleted are queued by id; the first
// job of a run (and every job after the database was made anew) first brings
// the whole index up to the store. Its own std::thread; Post* may be called
// from any thread, the done callback runs on the worker.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class CReaderDb;
class CSearchIndex;

class CIndexWorker {
public:
    // done is told after each job with the thread id (empty after a catch-up).
    CIndexWorker(CReaderDb& db, CSearchIndex& index, std::function<void(const std::string&)> done);
    ~CIndexWorker(); // stops between two threads and joins

    // Re-reads one thread from the store (a deleted thread leaves the index).
    void Post(const std::string& threadId);
    // Brings the whole index up to the store.
    void PostCatchUp();
    // Blocks until the queue is empty and the worker idle (tests, benchmarks).
    void WaitIdle();

private:
    void Run();

    CReaderDb& m_db;
    CSearchIndex& m_index;
    std::function<void(const std::string&)> m_done;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::string> m_queue; // "" is a catch-up
    bool m_busy = false;
    std::uint64_t m_caughtUpGeneration = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
