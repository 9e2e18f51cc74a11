// CWebInterface: the node in a browser. Serves one page (from Qt resources)
// and a JSON API under /api/ on a port of its own with Qt HTTP Server, on the
// GUI thread's event loop. It is a view of the document: it watches the
// views' calls through the document's user interface (IPelmarView) and
// issues the same document operations the desktop's commands do, taking
// drafts and choices from the request instead of from dialogs. GUI thread.
//
// The endpoints are split over files: WebInterface.cpp (serving, checks,
// events), WebApi.cpp (reading), WebCommands.cpp (posting and commands).
#pragma once

#include "app/PelmarView.h"
#include "frontend/ThreadRows.h"
#include "web/WebAccess.h"
#include "web/WebListener.h"

#include <QHttpServer>
#include <QObject>
#include <QPointer>

#include <filesystem>
#include <memory>
#include <string>
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
    Response ThreadList(const QHttpServerRequest& request);
    Response Thread(const QString& id) const;
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
    // The rows of a category: the live list for the current one, else a
    // list filled from the store.
    CThreadRows RowsOf(const std::string& category) const;
    void SelectCategoryBytes(const std::string& category);

    CPelmarDoc& m_doc;
    CReader* m_reader = nullptr;
    Options m_options;
    std::unique_ptr<CWebAccess> m_access;
    std::string m_noToken;
    QHttpServer m_server;
    CWebListener* m_listener = nullptr;
    quint16 m_port = 0;
    // The current category's rows, as the desktop's list holds them.
    CThreadRows m_rows;
    bool m_rowsFilled = false;
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
        QByteArray json;
    };
    static constexpr std::size_t kThreadCacheSize = 8;
    mutable std::vector<CThreadCache> m_threadCache;
};
