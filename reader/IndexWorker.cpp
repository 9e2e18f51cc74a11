// CIndexWorker: the queue and the worker's loop.
#include "reader/IndexWorker.h"

#include "reader/ReaderDb.h"
#include "reader/SearchIndex.h"

#include <algorithm>

CIndexWorker::CIndexWorker(CReaderDb& db, CSearchIndex& index,
                           std::function<void(const std::string&)> done)
    : m_db(db), m_index(index), m_done(std::move(done)), m_thread([this] { Run(); }) {}

CIndexWorker::~CIndexWorker() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void CIndexWorker::Post(const std::string& threadId) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (std::find(m_queue.begin(), m_queue.end(), threadId) == m_queue.end())
            m_queue.push_back(threadId);
    }
    m_wake.notify_one();
}

void CIndexWorker::PostCatchUp() {
    Post(std::string());
}

void CIndexWorker::WaitIdle() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [this] { return m_queue.empty() && !m_busy; });
}

void CIndexWorker::Run() {
    for (;;) {
        std::string job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_busy = false;
            if (m_queue.empty())
                m_idle.notify_all();
            m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            if (m_stop)
                return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
            m_busy = true;
        }
        // A database made anew (first opened, or set aside when damaged) has
        // an index that lags the store until it is caught up.
        std::uint64_t generation;
        {
            auto session = m_db.Use(CReaderDb::Link::Worker);
            generation = m_db.Generation();
        }
        if (generation != m_caughtUpGeneration || job.empty()) {
            m_caughtUpGeneration = generation;
            m_index.CatchUp(&m_stop);
            if (m_done)
                m_done(std::string());
        }
        if (!job.empty() && !m_stop) {
            m_index.IndexThread(job);
            if (m_done)
                m_done(job);
        }
    }
}
