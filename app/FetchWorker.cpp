// CFetchWorker: starting, stopping and joining the fetch worker thread, and
// the host calls that carry its reports to the GUI thread.
#include "app/FetchWorker.h"

#include "app/PelmarDoc.h"
#include "transfer/ThreadSourceTable.h"

#include <QMetaObject>

CFetchWorker::CFetchWorker(CPelmarDoc& doc) : m_doc(doc) {}

CFetchWorker::~CFetchWorker() {
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->stopping = true;
    }
    m_shared->wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CFetchWorker::Start(const CFetchRequest& request) {
    if (m_thread.joinable())
        m_thread.join();
    m_root = m_doc.GetThreadDir();
    m_threadId = request.threadId;
    m_bindAddress = m_doc.GetBindAddress();
    m_logging = m_doc.IsLogging();
    m_lastPercent = -1;
    m_thread = std::thread([this, request] { FetchThread(request, *this); });
}

bool CFetchWorker::LookupSources(const std::string& threadId, CThreadSources& sources) {
    return m_doc.Sources().Lookup(threadId, sources);
}

void CFetchWorker::CallOnGui(std::function<void()> call) {
    const std::uint64_t ticket = ++m_posted;
    std::shared_ptr<SShared> shared = m_shared;
    {
        std::lock_guard lock(shared->mutex);
        if (shared->stopping)
            return;
    }
    QMetaObject::invokeMethod(
        &m_doc,
        [shared, ticket, call = std::move(call)] {
            {
                std::lock_guard lock(shared->mutex);
                if (shared->stopping)
                    return;
            }
            call();
            std::lock_guard lock(shared->mutex);
            shared->handled = std::max(shared->handled, ticket);
            shared->wake.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(shared->mutex);
    shared->wake.wait(lock, [&] { return shared->stopping || shared->handled >= ticket; });
}

void CFetchWorker::ShowMessage(std::string_view textUtf8) {
    CallOnGui([doc = &m_doc, text = std::string(textUtf8)] {
        doc->Ui().ShowMessage(text, IPelmarUi::MessageIcon::None);
    });
}

void CFetchWorker::ReportStoreFailure(std::string_view textUtf8) {
    // On the GUI thread the document shows it directly.
    CallOnGui([doc = &m_doc, text = std::string(textUtf8)] { doc->ReportStoreFailure(text); });
}

void CFetchWorker::ClearFetchInProgress() {
    // The document clears it on the GUI thread as it handles the fetch's end,
    // so nothing can start in between and the end is taken in order.
}

void CFetchWorker::Progress(int position, int range) {
    if (range == 0)
        return;
    // The frame shows a percentage and ignores repeats of the last one, so a
    // repeat need not cost a round trip to the GUI thread.
    const int percent = static_cast<int>(static_cast<long long>(position) * 100 / range);
    if (percent == m_lastPercent)
        return;
    m_lastPercent = percent;
    CallOnGui([doc = &m_doc, threadId = m_threadId, position, range] {
        doc->OnFetchProgress(threadId, position, range);
    });
}

void CFetchWorker::Done() {
    QMetaObject::invokeMethod(
        &m_doc, [doc = &m_doc, threadId = m_threadId] { doc->OnFetchDone(threadId); },
        Qt::QueuedConnection);
}

void CFetchWorker::NoHolder() {
    QMetaObject::invokeMethod(
        &m_doc, [doc = &m_doc, threadId = m_threadId] { doc->OnFetchNoHolder(threadId); },
        Qt::QueuedConnection);
}

void CFetchWorker::HolderNotFound() {
    QMetaObject::invokeMethod(
        &m_doc, [doc = &m_doc, threadId = m_threadId] { doc->OnFetchHolderNotFound(threadId); },
        Qt::QueuedConnection);
}

void CFetchWorker::Asking(const std::vector<CSourceEntry>& holders) {
    if (!m_logging)
        return;
    // "fetch TID=<thread id> ask <address> <port>[, <address> <port>...]"
    std::string line = "fetch TID=" + m_threadId + " ask";
    const char* separator = " ";
    for (const CSourceEntry& holder : holders) {
        line += separator;
        line += holder.address.GetText();
        line += ' ';
        line += std::to_string(holder.port);
        separator = ", ";
    }
    CallOnGui([doc = &m_doc, line = std::move(line)] { doc->WriteLog(line); });
}

bool CFetchWorker::Stopping() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->stopping;
}

bool CFetchWorker::Pause(std::chrono::milliseconds time) {
    std::unique_lock lock(m_shared->mutex);
    return !m_shared->wake.wait_for(lock, time, [&] { return m_shared->stopping; });
}
