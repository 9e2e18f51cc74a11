// CWebWorker: one thread beside the GUI thread for the web interface's work
// that walks the store or builds a large reply, so that the overlay and the
// transfer port, served on the GUI thread, never wait for a browser. Made,
// owned and stopped by CWebInterface.
//
// Ownership: a job owns what it captured (values: paths, ids, rows copied
// or shared as const). It reads the store's files and the process-wide
// updated-time cache (which locks itself), and touches nothing the GUI
// thread owns; its result goes back to the GUI thread as a queued call.
// Locking: m_mutex guards the queue and the stop flag only, never a job.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class CWebWorker {
public:
    CWebWorker();
    // Stops after the running job; jobs not started are dropped.
    ~CWebWorker();
    CWebWorker(const CWebWorker&) = delete;
    CWebWorker& operator=(const CWebWorker&) = delete;

    // Queues a job; jobs run one at a time in the order given.
    void Run(std::function<void()> job);

private:
    void Loop();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread; // last: started once the rest is made
};
