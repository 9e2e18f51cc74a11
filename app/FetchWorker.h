// CFetchWorker: the node's one fetch worker thread and its adapter to the
// document. Start is called on the GUI thread by CPelmarDoc; the thread runs
// FetchThread with this object as its host. Progress and store messages are
// handed to the GUI thread and waited for, the completion and no-holder
// events are queued to it; every event names the thread fetched. The
// document clears its fetch-in-progress flag when it handles the end. The destructor (GUI thread)
// stops a running fetch and joins it without waiting for the GUI thread, which is busy destroying
// the document, so shutdown never hangs on a worker.
#pragma once

#include "transfer/FetchThread.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class CPelmarDoc;

class CFetchWorker : public IFetchHost {
public:
    explicit CFetchWorker(CPelmarDoc& doc);
    ~CFetchWorker() override;
    CFetchWorker(const CFetchWorker&) = delete;
    CFetchWorker& operator=(const CFetchWorker&) = delete;

    // Starts a fetch. The caller has set the fetch-in-progress flag, so a
    // worker from an earlier fetch has already done its work; it is joined
    // first.
    void Start(const CFetchRequest& request);

    // IFetchHost, on the worker thread.
    std::string StoreRoot() const override { return m_root; }
    std::string BindAddress() const override { return m_bindAddress; }
    bool LookupSources(const std::string& threadId, CThreadSources& sources) override;
    void ShowMessage(std::string_view textUtf8) override;
    void ReportStoreFailure(std::string_view textUtf8) override;
    void ClearFetchInProgress() override;
    void Progress(int position, int range) override;
    void Done() override;
    void NoHolder() override;
    void HolderNotFound() override;
    // Logs the holders before the first is asked (when the log is on), so
    // the log tells whom a fetch asked and that it asked after every line
    // before this one.
    void Asking(const std::vector<CSourceEntry>& holders) override;
    bool Stopping() const override;
    bool Pause(std::chrono::milliseconds time) override;

private:
    // What the GUI thread and the worker share; calls queued to the GUI
    // thread keep it alive even if they run after the worker has gone.
    struct SShared {
        std::mutex mutex;
        std::condition_variable wake;
        bool stopping = false;
        std::uint64_t handled = 0;
    };
    // Runs call on the GUI thread and waits until it has run or stopping.
    void CallOnGui(std::function<void()> call);

    CPelmarDoc& m_doc;
    std::shared_ptr<SShared> m_shared = std::make_shared<SShared>();
    std::thread m_thread;
    std::string m_root;
    std::string m_threadId;
    std::string m_bindAddress;
    bool m_logging = false;
    std::uint64_t m_posted = 0; // worker thread only
    int m_lastPercent = -1;     // worker thread only
};
