// CRetention: keeps a cache servent's store within the bounds its settings
// give ("[Cache] MaxMegabytes=", "MaxDays=", both off unless set). The store
// is walked at start and then hourly on a thread of its own; the removals are
// chosen and made on the GUI thread, oldest-updated thread first, through the
// node's own local deletion, until the store is within its bounds. Threads
// this node wrote or answered and threads a keep predicate (the reader's
// favourites) names are never removed. The last walk also gives the store's
// size and thread count for the status lines. GUI thread, but for the walk.
#pragma once

#include "app/OwnThreads.h"
#include "store/StoreSurvey.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class CPelmarDoc;

struct SRetentionLimits {
    std::uint64_t maxBytes = 0;   // 0: no bound on the size
    std::uint32_t maxSeconds = 0; // 0: no bound on the age since the last update
    bool Enabled() const { return maxBytes > 0 || maxSeconds > 0; }
};

class CRetention : public QObject {
    Q_OBJECT
public:
    static constexpr int kCheckIntervalMs = 60 * 60 * 1000;
    using KeepPredicate = std::function<bool(const std::string& threadId)>;

    CRetention(CPelmarDoc& doc, SRetentionLimits limits, std::string ownThreadsPath);
    ~CRetention() override; // waits for a walk under way, which stops early

    // Walks the store now and then every hour.
    void Start();
    // Walks the store now (nothing when a walk is under way); Checked()
    // follows once its removals are made.
    void CheckNow();
    bool IsChecking() const { return m_worker.joinable(); }

    // Threads the predicate is true for are never removed (the reader's
    // favourites). Called on the GUI thread.
    void SetKeepPredicate(KeepPredicate keep) { m_keep = std::move(keep); }
    // A thread posted or answered here.
    void NoteOwnThread(const std::string& threadId) { m_own.Add(threadId); }
    bool IsOwnThread(const std::string& threadId) const { return m_own.Contains(threadId); }

    // The store as the last walk found it, less what was removed since.
    bool HasSurvey() const { return m_surveyed; }
    std::uint64_t StoreBytes() const { return m_storeBytes; }
    std::size_t StoreThreads() const { return m_storeThreads; }

    // The threads to remove, oldest-updated first: every unkept thread older
    // than the age bound, and further ones until the store is within its size.
    static std::vector<const SThreadUsage*>
    Choose(const SStoreUsage& usage, const SRetentionLimits& limits, std::uint32_t now,
           const std::function<bool(const SThreadUsage&)>& keep);

signals:
    void Checked();

private:
    void OnSurveyed(std::shared_ptr<SStoreUsage> usage);
    void Apply(const SStoreUsage& usage);

    CPelmarDoc& m_doc;
    SRetentionLimits m_limits;
    COwnThreads m_own;
    KeepPredicate m_keep;
    QTimer m_timer;
    std::thread m_worker;
    std::atomic<bool> m_stop{false};
    bool m_surveyed = false;
    std::uint64_t m_storeBytes = 0;
    std::size_t m_storeThreads = 0;
};
