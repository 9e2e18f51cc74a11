// CWebInterface: the node in a browser. Serves one page (from Qt resources)
// and a JSON API under /api/ on a port of its own with Qt HTTP Server, on the
// GUI thread's event loop. It is a view of the document: it watches the
// views' calls through the document's user interface (IPelmarView) and
// issues the same document operations the desktop's commands do, taking
// drafts and choices from the request instead of from dialogs. GUI thread.
//
// The endpoints are split over files: WebInterface.cpp (serving, checks,
// events), WebApi.cpp (reading), WebThreadList.cpp (the thread list's pages),
// WebCommands.cpp (posting and commands).
//
// What walks the store, builds a large answer or takes time in proportion to
// a category (its listing, the rows kept of it, a page's rows, a thread)
// runs on the worker (CWebWorker); its answer is handed to the socket here
// a piece at a time from the worker's buffer (CWebReplyWriter), so the
// overlay and the transfer port never wait for a browser.
#pragma once

#include "app/PelmarView.h"
#include "web/WebAccess.h"
#include "web/WebListener.h"
#include "web/WebThreadLists.h"
#include "web/WebWorker.h"

#include <QHttpServer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CPelmarDoc;
class CReader;
class QTcpSocket;

class CWebInterface : public QObject, public IPelmarView {
    Q_OBJECT
public:
    struct Options {
        std::string address = "127.0.0.1"; // IPv4
        quint16 port = 6341;
        std::vector<std::string> hosts; // further names it is reached by
        CWebListener::Limits limits;
    };

    // At most this many pages listen for events at once.
    static constexpr int kMaxEventStreams = 16;
    // Rows of the thread list in one answer: when none is asked, and at most.
    static constexpr std::size_t kPageRows = 200;
    static constexpr std::size_t kMaxPageRows = 1000;
    // An answer this large is not kept, and the memory it took goes back to
    // the system soon after it was sent.
    static constexpr qsizetype kLargeAnswer = 1024 * 1024;

    CWebInterface(CPelmarDoc& doc, Options options, QObject* parent = nullptr);
    ~CWebInterface() override;

    // Loads or makes the token and listens. False with a reason when the
    // token cannot be kept or the port cannot be bound.
    bool Start(std::string& error);
    // The page's address, without the token.
    std::string PageUrl() const;
    quint16 Port() const { return m_port; }
    // Connections open on the web port now.
    int OpenConnections() const { return m_listener ? m_listener->OpenConnections() : 0; }
    // The reader's tools under /api/reader/ (nullptr: those answer 404).
    void SetReader(CReader* reader) { m_reader = reader; }
    const std::string& Token() const { return m_access ? m_access->Token() : m_noToken; }

    // IPelmarView.
    void OnMessage(std::string_view textUtf8) override;
    void RefreshThreadList() override;
    void UpdateThreadRow(const CThreadSummary& summary) override;
    void ShowCurrentThread(std::string_view title) override;
    void SetStatusOpen(int state) override;
    void SetStatusNeighbours(const std::array<std::string, 4>& peers) override;
    void SetProgress(int percent) override;
    bool IsRunningCommand() const override { return m_runningCommand; }

private:
    using Response = QHttpServerResponse;
    using Status = QHttpServerResponder::StatusCode;

    void AddRoutes();
    // Runs handler when the request passes the checks; else 403 or 401.
    template <typename Handler>
    Response Guarded(const QHttpServerRequest& request, bool needsToken, Handler handler);
    static Response Error(Status status, const QString& reason);
    // Why the running command failed, as the node told it.
    QString CommandFailure() const;
    static Response Asset(const QString& name, const QByteArray& mimeType);
    Response Login(const QHttpServerRequest& request);
    // A known path asked with another method: 405 with the methods it takes;
    // else 404. No body for HEAD.
    void Missing(const QHttpServerRequest& request, QHttpServerResponder&& responder) const;
    template <typename Handler>
    void Route(const char* path, QHttpServerRequest::Method method, Handler handler);
    void OpenEventStream(const QHttpServerRequest& request, QHttpServerResponder&& responder);
    void SendEvent(const char* name, const QByteArray& data = "{}");

    // Reading (WebApi.cpp).
    Response Status_() const;
    Response Categories() const;
    void Thread(const QString& id, QHttpServerResponder&& responder);
    Response EntryPoints() const;
    // Commands (WebCommands.cpp).
    Response SelectCategory(const QHttpServerRequest& request);
    Response RefreshCategory(const QHttpServerRequest& request);
    Response PostThread(const QHttpServerRequest& request);
    Response PostResponse(const QString& id, const QHttpServerRequest& request);
    Response FetchThread(const QString& id);
    Response DeleteThread(const QString& id, const QHttpServerRequest& request);
    Response Connect(const QHttpServerRequest& request);
    Response EditEntryPoints(const QString& action, const QHttpServerRequest& request);
    // The reader's tools (WebReader.cpp).
    void AddReaderRoutes();
    Response ReaderThread(const QString& id, const QHttpServerRequest& request);
    Response ReaderRules(const QHttpServerRequest* request);
    Response ReaderNews();
    Response ReaderReadAll();
    Response ReaderFavourites();
    Response ReaderFavourite(const QString& id, bool add);
    Response ReaderRefreshFavourites();
    Response ReaderSearch(const QHttpServerRequest& request);

    // A category named in UTF-8 as its raw bytes: the bytes of the
    // "category.dat" entry that shows as that name, else the name converted.
    std::string CategoryBytes(const QString& name) const;
    // The same for a command: only a category of "category.dat" may be
    // chosen, posted into or deleted from. False when name is none of them.
    bool KnownCategory(const QString& name, std::string& bytes) const;

    // Answers made on the worker (see the file comment).
    struct SLater {
        std::shared_ptr<QHttpServerResponder> responder;
        QPointer<QTcpSocket> socket; // gone when the client left meanwhile
    };
    // Writes the refusal and returns false when the request fails the checks.
    bool Admit(const QHttpServerRequest& request, QHttpServerResponder& responder);
    static SLater Later(QHttpServerResponder&& responder);
    void Answer(const SLater& later, Response response);
    // A JSON answer made on the worker, written from its buffer.
    void AnswerJson(const SLater& later, std::shared_ptr<const std::string> json);
    // Runs work on the worker, then done with its result on the GUI thread.
    template <typename Work, typename Done> void OffThread(Work work, Done done);
    // Gives freed memory back to the system a moment after a large answer.
    void TrimSoon();

    // The thread list (WebThreadList.cpp).
    struct SPage {
        std::string category;
        std::size_t offset = 0;
        std::size_t limit = kPageRows;
    };
    void ThreadList(const QHttpServerRequest& request, QHttpServerResponder&& responder);
    void ServePage(const SPage& page, const SLater& later);
    // Has the current category listed again on the worker.
    void Refill();
    // The title of the current category's row an announcement or a fetch
    // gave, else null.
    const std::string* ShownTitle(const std::string& threadId) const;
    void SelectCategoryBytes(const std::string& category);

    CPelmarDoc& m_doc;
    CReader* m_reader = nullptr;
    Options m_options;
    std::unique_ptr<CWebAccess> m_access;
    std::string m_noToken;
    QHttpServer m_server;
    CWebListener* m_listener = nullptr;
    quint16 m_port = 0;
    // The current category's rows and the last other category listed: the
    // worker's alone (each use is a job queued there).
    std::unique_ptr<CWebThreadLists> m_lists;
    // The titles of the rows an announcement or a fetch gave the current
    // category since it was last listed (a command names a row by them).
    std::string m_shownCategory;
    std::unordered_map<std::string, std::string> m_shownTitles;
    QTimer m_trimTimer;
    int m_progress = 0;
    QString m_lastMessage;
    // While a request runs, what the node tells the user is its caller's.
    bool m_runningCommand = false;
    QString m_commandMessage;
    std::vector<QPointer<QTcpSocket>> m_streams;
    // The paths served, as patterns, with the methods each takes.
    std::vector<std::pair<QString, QByteArray>> m_allowed;
    // The last threads' answers, with what tells that their files changed.
    struct CThreadCache {
        std::string threadId;
        std::pair<std::filesystem::file_time_type, std::filesystem::file_time_type> stamp;
        std::shared_ptr<const std::string> json;
    };
    static constexpr std::size_t kThreadCacheSize = 8;
    mutable std::vector<CThreadCache> m_threadCache;
    // Made last and stopped first (in the destructor): no job outlives what
    // its answer is written to.
    std::unique_ptr<CWebWorker> m_worker;
};

template <typename Work, typename Done> void CWebInterface::OffThread(Work work, Done done) {
    m_worker->Run([this, work = std::move(work), done = std::move(done)]() mutable {
        auto result = std::make_shared<decltype(work())>(work());
        // Delivered on the GUI thread; dropped with this object.
        QMetaObject::invokeMethod(
            this, [done, result]() mutable { done(std::move(*result)); }, Qt::QueuedConnection);
    });
}
