// CRetention: the hourly walk and the removals it leads to. The walk runs on
// a std::thread and hands its result to the GUI thread through the event loop.
#include "app/Retention.h"

#include "app/PelmarDoc.h"

#include <algorithm>

CRetention::CRetention(CPelmarDoc& doc, SRetentionLimits limits, std::string ownThreadsPath)
    : m_doc(doc), m_limits(limits), m_own(std::move(ownThreadsPath)) {
    m_timer.setInterval(kCheckIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &CRetention::CheckNow);
}

CRetention::~CRetention() {
    m_stop = true;
    if (m_worker.joinable())
        m_worker.join();
}

void CRetention::Start() {
    m_timer.start();
    CheckNow();
}

void CRetention::CheckNow() {
    if (m_worker.joinable())
        return;
    m_worker = std::thread([this, root = m_doc.GetThreadDir()] {
        auto usage = std::make_shared<SStoreUsage>(SurveyStore(root, &m_stop));
        // Queued to this object: dropped if it is gone by then.
        QMetaObject::invokeMethod(
            this, [this, usage] { OnSurveyed(usage); }, Qt::QueuedConnection);
    });
}

void CRetention::OnSurveyed(std::shared_ptr<SStoreUsage> usage) {
    if (m_worker.joinable())
        m_worker.join();
    if (usage->complete)
        Apply(*usage);
    emit Checked();
}

void CRetention::Apply(const SStoreUsage& usage) {
    m_surveyed = true;
    m_storeBytes = usage.bytes;
    m_storeThreads = usage.threads.size();
    if (m_limits.Enabled() && m_doc.IsFetchInProgress()) {
        // The fetch may be writing into a thread that would go: the check
        // comes again in a minute.
        QTimer::singleShot(60 * 1000, this, &CRetention::CheckNow);
    } else if (m_limits.Enabled()) {
        const std::string ownServent = m_doc.GetServentId();
        const auto keep = [&](const SThreadUsage& thread) {
            return thread.creatorId == ownServent || m_own.Contains(thread.threadId) ||
                   (m_keep && m_keep(thread.threadId));
        };
        const auto removals = Choose(usage, m_limits, m_doc.Now(), keep);
        for (const SThreadUsage* thread : removals) {
            m_doc.RemoveStoredThread(thread->threadId, thread->category);
            m_doc.WriteLog("retention remove thread " + thread->threadId + " updated " +
                           std::to_string(thread->updated) + " bytes " +
                           std::to_string(thread->bytes));
            m_storeBytes -= std::min(m_storeBytes, thread->bytes);
            --m_storeThreads;
        }
        if (!removals.empty()) {
            m_doc.RefreshThreadList();
            m_doc.ShowCurrentThread("");
        }
    }
    m_doc.Ui().SetStatusStore(m_storeBytes, m_storeThreads);
}

std::vector<const SThreadUsage*>
CRetention::Choose(const SStoreUsage& usage, const SRetentionLimits& limits, std::uint32_t now,
                   const std::function<bool(const SThreadUsage&)>& keep) {
    std::vector<const SThreadUsage*> oldestFirst;
    for (const SThreadUsage& thread : usage.threads)
        oldestFirst.push_back(&thread);
    std::sort(oldestFirst.begin(), oldestFirst.end(), [](const auto* a, const auto* b) {
        return a->updated != b->updated ? a->updated < b->updated : a->threadId < b->threadId;
    });
    std::vector<const SThreadUsage*> chosen;
    std::uint64_t bytes = usage.bytes;
    for (const SThreadUsage* thread : oldestFirst) {
        if (keep && keep(*thread))
            continue;
        // A time ahead of the clock is not old.
        const bool tooOld = limits.maxSeconds > 0 && now > thread->updated &&
                            now - thread->updated > limits.maxSeconds;
        const bool tooLarge = limits.maxBytes > 0 && bytes > limits.maxBytes;
        if (!tooOld && !tooLarge)
            break; // every later thread is newer
        chosen.push_back(thread);
        bytes -= std::min(bytes, thread->bytes);
    }
    return chosen;
}
