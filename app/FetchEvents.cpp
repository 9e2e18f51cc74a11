// CPelmarDoc: starting fetches, the cache servent's refresh queue, the fetch
// worker's events and the view calls. GUI thread only.
//
// The fetch in progress is the user's (GetThread) or a cache refresh (an
// update this cache servent passed on). Each event names its thread: that
// thread's row is refreshed, and only the user's fetch shows the page. A
// refresh never moves the selection. Refreshes that come while a fetch runs
// wait in a queue, one entry per thread, and start in turn.
#include "app/PelmarDoc.h"

#include "app/FetchWorker.h"
#include "res/Strings.h"
#include "store/ThreadRecord.h"
#include "transfer/ThreadSourceTable.h"

#include <algorithm>

bool CPelmarDoc::GetThread(const std::string& threadId, int delayMs) {
    if (CountEstablished() == 0) {
        m_ui.ShowMessage(strings::kNotConnected, IPelmarUi::MessageIcon::Warning);
        return false;
    }
    StartFetch(threadId, delayMs, false); // dropped, not queued, while one runs
    return true;
}

bool CPelmarDoc::StartFetch(const std::string& threadId, int delayMs, bool refresh) {
    if (m_fetchInProgress.exchange(true))
        return false;
    m_fetchIsRefresh = refresh;
    if (!m_fetchWorker)
        m_fetchWorker = std::make_unique<CFetchWorker>(*this);
    m_fetchWorker->Start(CFetchRequest{threadId, delayMs});
    return true;
}

void CPelmarDoc::QueueRefresh(const std::string& threadId) {
    if (StartFetch(threadId, 0, true))
        return;
    // The running fetch may have read its lists before this update's posts
    // existed, so even its own thread is fetched once more.
    if (std::find(m_refreshQueue.begin(), m_refreshQueue.end(), threadId) != m_refreshQueue.end())
        return;
    if (m_refreshQueue.size() == kMaxQueuedRefreshes) {
        WriteLog("cache fetch queue full, dropped thread " + m_refreshQueue.front());
        m_refreshQueue.pop_front();
    }
    m_refreshQueue.push_back(threadId);
}

void CPelmarDoc::StartQueuedRefresh() {
    if (m_refreshQueue.empty() || m_fetchInProgress)
        return;
    const std::string threadId = m_refreshQueue.front();
    m_refreshQueue.pop_front();
    StartFetch(threadId, 0, true);
}

void CPelmarDoc::ShowCurrentThread(std::string_view title) {
    m_ui.ShowCurrentThread(title);
}

void CPelmarDoc::OpenThreadInNewTab() {
    // Without a current thread no tab is added; the selected one is rendered.
    if (m_currentThreadId.empty())
        m_ui.ShowCurrentThread("");
    else
        m_ui.OpenThreadInNewTab(m_currentThreadTitle);
}

void CPelmarDoc::RefreshThreadList() {
    m_ui.RefreshThreadList();
}

void CPelmarDoc::UpdateThreadListItem(const CThreadSummary& summary) {
    if (summary.category == m_currentCategory)
        m_ui.UpdateThreadRow(summary);
}

void CPelmarDoc::HolderHeard(const std::string& threadId, const CIPv4Address& address,
                             std::uint16_t port, std::uint16_t resCount) {
    m_sources->AddSource(threadId, address, port, Now(), resCount);
}

void CPelmarDoc::ThreadAnnounced(const CThreadSummary& summary) {
    // Only the list learns of the thread here; its data comes by a fetch.
    UpdateThreadListItem(summary);
    // A cache servent keeps copies of the threads it helps announce. An
    // update without a thread id names nothing to fetch: following it would
    // ask the overlay for the whole category instead.
    if (!IsCacheServent() || summary.threadId.empty())
        return;
    QueueRefresh(summary.threadId);
}

void CPelmarDoc::OnFetchProgress(const std::string&, int position, int range) {
    if (range == 0)
        return;
    const int percent = static_cast<int>(static_cast<long long>(position) * 100 / range);
    if (percent == m_lastProgress)
        return;
    m_lastProgress = percent;
    m_ui.SetProgress(percent > 100 ? 100 : percent);
}

void CPelmarDoc::OnFetchDone(const std::string& threadId) {
    ThreadChanged(threadId);
    if (!m_fetchIsRefresh)
        ShowCurrentThread("");
    // A thread that is still not held here has no row to refresh.
    CThreadRecord thread;
    if (thread.Load(threadId, m_threadDir)) {
        CThreadSummary summary;
        summary.category = thread.GetCategory();
        summary.threadId = threadId;
        summary.title = thread.GetTitle();
        summary.resCount = thread.GetResCount();
        summary.name = thread.GetName();
        summary.time = thread.GetUpdated();
        summary.isNew = false;
        UpdateThreadListItem(summary);
    }
    m_ui.SetProgress(0);
    m_lastProgress = -1;
    m_fetchInProgress = false;
    m_fetchIsRefresh = false;
    StartQueuedRefresh();
}

void CPelmarDoc::OnFetchNoHolder(const std::string& threadId) {
    // Ask the overlay who holds the thread, and look again once answers had
    // time to come.
    m_fetchInProgress = false;
    const bool refresh = m_fetchIsRefresh;
    SendThreadQuery(threadId);
    const bool started = refresh ? StartFetch(threadId, 500, true) : GetThread(threadId, 500);
    if (!started)
        StartQueuedRefresh();
}

void CPelmarDoc::OnFetchHolderNotFound(const std::string&) {
    m_ui.ShowStatusText(strings::kNoHolderNote);
    m_fetchInProgress = false;
    m_fetchIsRefresh = false;
    StartQueuedRefresh();
}
