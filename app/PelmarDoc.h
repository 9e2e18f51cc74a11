// CPelmarDoc: the node. Owns the settings, the servent id, the own address,
// the listener, the overlay (connections and message history) and the thread
// source table, and holds the selection the views work on. It is the
// overlay's host (IServentHost). Lives on the GUI
// thread; the fetch worker touches only the store root (read), the source
// table (which locks itself), the fetch-in-progress flag and the events it
// posts.
//
// The operations are split over files by concern: PelmarDoc.cpp (life cycle,
// settings, log), Connections.cpp, EntryPoint.cpp, Origination.cpp,
// FetchEvents.cpp, ThreadDeletion.cpp.
#pragma once

#include "app/PelmarUi.h"
#include "base/IPv4Address.h"
#include "protocol/ServentHost.h"
#include "store/StoreReporter.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

class CConnection;
class CListenSocket;
class CMessageHistory;
class COverlay;
class CTcpTransport;
class CThreadSourceTable;
class CFetchWorker;
class CReflectorClient;
class CRetention;
struct CReflectorAnswer;

class CPelmarDoc : public QObject, public IStoreReporter, public IServentHost {
    Q_OBJECT
public:
    static constexpr int kTargetConnections = 4; // as COverlay::kTargetConnections
    static constexpr std::uint16_t kDefaultEntryPort = 6340;
    // Cache refreshes waiting for the fetch worker; beyond this the oldest
    // is dropped.
    static constexpr std::size_t kMaxQueuedRefreshes = 100;

    struct Options {
        std::string iniPath;        // the settings file
        std::string applicationDir; // where "current.html" goes; ends with "/"
        std::string bindAddress;    // --address: listen on and connect from it only
        bool logging = false;       // --log
        // Prefix of the data files and the store ("" is the working
        // directory, the normal case); lets tests run several nodes in one
        // process. Ends with "/" when not empty.
        std::string dataDir;
    };

    CPelmarDoc(IPelmarUi& ui, Options options, QObject* parent = nullptr);
    ~CPelmarDoc() override; // logs "pelmar Shutdown!!"

    // Node start-up: log, storage, servent id, listener, own address. False
    // when the listener could not be made (the message has been shown); the
    // process then ends with status 0.
    bool Start();

    // Settings, identity, selection.
    std::uint16_t GetListenPort() const override { return m_listenPort; }
    const std::string& GetCacheMode() const { return m_cacheMode; }
    bool IsCacheServent() const { return m_cacheMode == "CacheServent"; }
    const std::string& GetServentId() const override { return m_serventId; }
    const std::string& GetThreadDir() const override { return m_threadDir; }
    const std::string& GetApplicationDir() const { return m_applicationDir; }
    // A data file ("serventid.dat", "category.dat", ...) in the data directory.
    std::string DataPath(std::string_view name) const { return m_dataDir + std::string(name); }
    const std::string& GetBindAddress() const { return m_bindAddress; }
    CIPv4Address& OwnAddress() { return m_ownAddress; }
    const CIPv4Address& OwnAddress() const override { return m_ownAddress; }
    const std::string& GetCurrentCategory() const { return m_currentCategory; }
    void SetCurrentCategory(const std::string& category) { m_currentCategory = category; }
    const std::string& GetCurrentThreadId() const { return m_currentThreadId; }
    void SetCurrentThreadId(const std::string& threadId) { m_currentThreadId = threadId; }
    const std::string& GetCurrentThreadTitle() const { return m_currentThreadTitle; }
    void SetCurrentThreadTitle(const std::string& title) { m_currentThreadTitle = title; }
    int GetReflectorState() const { return m_reflectorState; }
    const std::string& GetReflectorUrl() const { return m_reflectorUrl; }
    IPelmarUi& Ui() { return m_ui; }

    // Event log (pelmar.log in the working directory), gated by the switch,
    // rotated at the size the settings give.
    void WriteLog(std::string_view text) override;
    void SetLogging(bool on) { m_logging = on; }
    bool IsLogging() const override { return m_logging; }

    // Connections (Connections.cpp): the overlay's list, as the front ends
    // and tests see it.
    COverlay& Overlay() { return *m_overlay; }
    const std::vector<CConnection*>& GetConnections() const;
    CConnection* AppendConnection(CConnection* connection);
    // Opens an outgoing connection (closed until its connect completes).
    CConnection* OpenConnection(const std::string& host, std::uint16_t port);
    // The connection with this serial number if it is still in the list.
    CConnection* FindConnection(std::uint64_t serial) const;
    int CountEstablished() const;
    void UpdateConnectionStatus();
    bool IsKnownPeer(const std::string& host, std::uint16_t port) const;
    CListenSocket* GetListenSocket() const { return m_listenSocket.get(); }

    CMessageHistory& History();
    // Holders heard per thread; it locks itself (GUI thread and worker).
    CThreadSourceTable& Sources() { return *m_sources; }

    // Joining (EntryPoint.cpp).
    void ConnectEntryPoint();                      // command "接続"
    void ConnectToEntry(const std::string& entry); // the same, for a chosen entry
    // Asks the reflector off the GUI thread; done runs on the GUI thread
    // with the answer, after a failure has been shown as a message.
    void RequestReflector(const std::string& url,
                          std::function<void(const CReflectorAnswer&)> done);
    void OnReflectTimer();
    void DetectLocalAddress();

    // Messages this node starts: SendPing and Broadcast (Origination.cpp),
    // the queries (QueryOrigination.cpp), posting (Posting.cpp).
    void SendPing();
    void SendCategoryQuery();
    void SendThreadQuery();
    // The same for a thread that need not be the current one.
    void SendThreadQuery(const std::string& threadId);
    void PostNewThread();
    void PostNewResponse();
    // What the two commands do once their dialog has given the draft: store,
    // announce and refresh the views. The new thread's or response's id, or
    // empty when the store could not take it (the user has been told). Front
    // ends that take drafts without a dialog (the web interface) call them
    // directly; a response needs CanRespondTo first.
    std::string PostThread(const CThreadDraft& draft);
    std::string PostResponse(const std::string& threadId, const CResponseDraft& draft);
    // The thread is held here with at least one post.
    bool CanRespondTo(const std::string& threadId) const;

    // Views and fetching (FetchEvents.cpp). GetThread is the user's fetch:
    // false (with a warning) without connections; a request made while a
    // fetch runs is dropped. Its end shows the current thread's page.
    bool GetThread(const std::string& threadId, int delayMs);
    // Cache refreshes waiting for the worker, oldest first.
    const std::deque<std::string>& QueuedRefreshes() const { return m_refreshQueue; }
    void ShowCurrentThread(std::string_view title);
    void OpenThreadInNewTab(); // command "新しいタブで開く"
    void RefreshThreadList();
    void UpdateThreadListItem(const CThreadSummary& summary);
    bool IsFetchInProgress() const { return m_fetchInProgress.load(); }

    // Local deletion (ThreadDeletion.cpp).
    void DeleteCurrentThread();
    // The same after the question was answered Yes, for any thread of the
    // current category (the web interface asks its own question).
    void DeleteThread(const std::string& threadId);
    // Removes the thread's files and its entry in the index of category,
    // without refreshing the views (retention removes many at once).
    void RemoveStoredThread(const std::string& threadId, const std::string& category);

    // The store's bounds, its size and the threads it always keeps
    // (Retention.h).
    CRetention& Retention() { return *m_retention; }
    const CRetention& Retention() const { return *m_retention; }

    // Told on the GUI thread whenever a thread's files were written or removed
    // here (posted, fetched, deleted), with the thread id: the reader's search
    // index follows the store through it.
    void SetThreadChangedHook(std::function<void(const std::string&)> hook) {
        m_threadChanged = std::move(hook);
    }
    void ThreadChanged(const std::string& threadId) {
        if (m_threadChanged && !threadId.empty())
            m_threadChanged(threadId);
    }

    // Time in seconds since 1970 and the node's pseudo-random generator; both
    // can be replaced by tests.
    std::uint32_t Now() const override { return m_clock(); }
    unsigned Random() override { return m_random(); }
    void SetClock(std::function<std::uint32_t()> clock) { m_clock = std::move(clock); }
    void SetRandom(std::function<unsigned()> random) { m_random = std::move(random); }

    // IStoreReporter, on the GUI thread (the fetch worker reaches it through
    // CFetchWorker, waiting until the message has been shown).
    void ReportStoreFailure(std::string_view textUtf8) override;

    // IServentHost, the rest (Connections.cpp and FetchEvents.cpp).
    void LearnReflectedAddress(const std::string& address) override;
    void ConnectionStateChanged() override { UpdateConnectionStatus(); }
    // An outgoing connection could not be made: the status line says so.
    void ConnectFailed(const std::string& host, std::uint16_t port) override;
    void HolderHeard(const std::string& threadId, const CIPv4Address& address, std::uint16_t port,
                     std::uint16_t resCount) override;
    void ThreadHeard(const CThreadSummary& summary) override { UpdateThreadListItem(summary); }
    void ThreadAnnounced(const CThreadSummary& summary) override;
    CBinaryId NewMessageId() override;

public slots:
    // Events from the fetch worker, delivered on the GUI thread; each names
    // the thread its fetch was for.
    void OnFetchDone(const std::string& threadId);
    void OnFetchProgress(const std::string& threadId, int position, int range);
    void OnFetchNoHolder(const std::string& threadId);
    void OnFetchHolderNotFound(const std::string& threadId);

private:
    void OnReflectorAnswer(const std::string& url, const std::vector<std::string>& lines);
    void PrepareStorage();
    void LoadServentId();
    bool StartListening();
    // Starts a fetch unless one runs; a refresh is a cache servent's own
    // fetch, which never touches the selection or the page.
    bool StartFetch(const std::string& threadId, int delayMs, bool refresh);
    void QueueRefresh(const std::string& threadId);
    void StartQueuedRefresh();

    IPelmarUi& m_ui;
    std::string m_dataDir;
    std::string m_applicationDir;
    std::string m_serventId;
    std::string m_threadDir;
    std::string m_currentCategory;
    std::string m_currentThreadId;
    std::string m_currentThreadTitle;
    CIPv4Address m_ownAddress;
    std::uint16_t m_listenPort = 6340;
    int m_reflectorState = 0;
    std::string m_reflectorUrl;
    std::unique_ptr<CListenSocket> m_listenSocket;
    std::unique_ptr<CTcpTransport> m_transport;
    std::unique_ptr<COverlay> m_overlay;
    std::unique_ptr<CThreadSourceTable> m_sources;
    bool m_logging = false;
    std::uint64_t m_logMaxBytes = 0; // [Log] MaxKilobytes; 0: no rotation
    unsigned m_logKeep = 0;          // [Log] Keep
    std::atomic<bool> m_fetchInProgress{false};
    bool m_fetchIsRefresh = false;
    std::deque<std::string> m_refreshQueue;
    std::string m_cacheMode = "Disable";
    std::string m_bindAddress;
    int m_lastProgress = -1;
    std::unique_ptr<CFetchWorker> m_fetchWorker;
    std::unique_ptr<CReflectorClient> m_reflector;
    std::unique_ptr<CRetention> m_retention;
    std::function<std::uint32_t()> m_clock;
    std::function<void(const std::string&)> m_threadChanged;
    std::mt19937 m_generator;
    std::function<unsigned()> m_random;
};
