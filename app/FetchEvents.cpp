// CPelmarDoc: starting fetches, the fetch worker's events and the view calls.
// GUI thread only.
#include "app/PelmarDoc.h"

#include "res/Strings.h"
#include "transfer/FetchWorker.h"

bool CPelmarDoc::GetThread(const std::string& threadId, int delayMs) {
    if (CountEstablished() == 0) {
        m_ui.ShowMessage(strings::kNotConnected, IPelmarUi::MessageIcon::Warning);
        return false;
    }
    if (m_fetchInProgress.exchange(true))
        return true; // dropped, not queued
    (void)threadId;
    (void)delayMs;
    // TODO(fetch): start the worker.
    m_fetchInProgress = false;
    return true;
}

void CPelmarDoc::ShowCurrentThread(std::string_view title) { m_ui.ShowCurrentThread(title); }

void CPelmarDoc::RefreshThreadList() { m_ui.RefreshThreadList(); }

void CPelmarDoc::UpdateThreadListItem(const CThreadSummary& summary) {
    if (summary.category == m_currentCategory)
        m_ui.UpdateThreadRow(summary);
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
    // TODO(fetch): reload the current thread and update its row.
    ShowCurrentThread("");
    m_ui.SetProgress(0);
    m_lastProgress = -1;
    m_fetchInProgress = false;
}

void CPelmarDoc::OnFetchNoHolder() {
    SendThreadQuery();
    GetThread(m_currentThreadId, 500);
}
