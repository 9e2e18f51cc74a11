// CPelmarDoc: starting fetches, the fetch worker's events and the view calls.
// GUI thread only.
#include "app/PelmarDoc.h"

#include "app/ThreadSourceTable.h"
#include "res/Strings.h"
#include "store/ThreadRecord.h"
#include "transfer/FetchWorker.h"

bool CPelmarDoc::GetThread(const std::string& threadId, int delayMs) {
    if (CountEstablished() == 0) {
        m_ui.ShowMessage(strings::kNotConnected, IPelmarUi::MessageIcon::Warning);
        return false;
    }
    if (m_fetchInProgress.exchange(true))
        return true; // dropped, not queued
    if (!m_fetchWorker)
        m_fetchWorker = std::make_unique<CFetchWorker>(*this);
    m_fetchWorker->Start(CFetchRequest{threadId, delayMs});
    return true;
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
    // The fetch worker reads the table under the same lock.
    std::lock_guard<std::mutex> lock(m_sourceLock);
    m_sources->AddSource(threadId, address, port, Now(), resCount);
}

void CPelmarDoc::ThreadAnnounced(const CThreadSummary& summary) {
    // Only the list learns of the thread here; its data comes by a fetch.
    UpdateThreadListItem(summary);
    // A cache servent keeps copies of the threads it helps announce. An
    // update without a thread id names nothing to fetch: following it would
    // clear the selection and ask the overlay for the whole category instead.
    if (!IsCacheServent() || summary.threadId.empty())
        return;
    SetCurrentThreadId(summary.threadId);
    GetThread(summary.threadId, 0);
}

void CPelmarDoc::OnFetchProgress(int position, int range) {
    if (range == 0)
        return;
    const int percent = static_cast<int>(static_cast<long long>(position) * 100 / range);
    if (percent == m_lastProgress)
        return;
    m_lastProgress = percent;
    m_ui.SetProgress(percent > 100 ? 100 : percent);
}

void CPelmarDoc::OnFetchDone() {
    ThreadChanged(m_currentThreadId);
    ShowCurrentThread("");
    // A thread that is still not held here has no row to refresh.
    CThreadRecord thread;
    if (thread.Load(m_currentThreadId, m_threadDir)) {
        CThreadSummary summary;
        summary.category = thread.GetCategory();
        summary.threadId = m_currentThreadId;
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
}

void CPelmarDoc::OnFetchNoHolder() {
    SendThreadQuery();
    GetThread(m_currentThreadId, 500);
}

void CPelmarDoc::OnFetchHolderNotFound() {
    m_ui.ShowStatusText(strings::kNoHolderNote);
}
