// CWebInterface: serving the page and the API, the checks every request
// passes, and the event stream that tells open pages what changed.
#include "web/WebInterface.h"

#include "app/PelmarDoc.h"
#include "web/WebHeaders.h"
#include "web/WebJson.h"
#include "web/WebReplyWriter.h"

#include <QFile>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#include <algorithm>

#include <malloc.h>

namespace {

using Method = QHttpServerRequest::Method;

using webheaders::kSecurity;

// An event stream whose client stopped reading is dropped once this much
// waits to be sent.
constexpr qint64 kMaxStreamBacklog = 64 * 1024;

const char* MethodName(Method method) {
    switch (method) {
    case Method::Get:
        return "GET";
    case Method::Post:
        return "POST";
    case Method::Delete:
        return "DELETE";
    default:
        return "";
    }
}

QByteArray Header(const QHttpServerRequest& request, const char* name) {
    return request.value(name);
}

std::string_view View(const QByteArray& bytes) {
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

CWebInterface::CWebInterface(CPelmarDoc& doc, Options options, QObject* parent)
    : QObject(parent), m_doc(doc), m_options(std::move(options)),
      m_lists(std::make_unique<CWebThreadLists>(doc.GetThreadDir())),
      m_worker(std::make_unique<CWebWorker>()) {
    // Listings and large answers are made and freed in bursts, on the worker
    // and its helper. With glibc's sliding thresholds, once a large buffer
    // was freed the next ones come from the threads' heaps, whose free tops
    // malloc_trim does not give back (tens of MiB after two 10 MB answers).
    // Fixed thresholds map every large buffer alone, so it goes back when
    // freed, and shrink a heap whose free top passes 1 MiB.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024);
    m_trimTimer.setSingleShot(true);
    m_trimTimer.setInterval(2000);
    // malloc_trim walks the heap: the worker does it, not the GUI thread.
    connect(&m_trimTimer, &QTimer::timeout, this,
            [this] { m_worker->Run([] { malloc_trim(0); }); });
}

CWebInterface::~CWebInterface() {
    m_worker.reset();
    for (const QPointer<QTcpSocket>& stream : m_streams)
        if (stream)
            stream->abort();
}

bool CWebInterface::Start(std::string& error) {
    const std::string token =
        CWebAccess::LoadOrCreateToken(m_doc.DataPath(CWebAccess::kTokenFile), error);
    if (token.empty())
        return false;
    const QHostAddress address(QString::fromStdString(m_options.address));
    auto* listener = new CWebListener(m_options.limits, this);
    if (!listener->listen(address, m_options.port)) {
        error = "cannot listen on " + m_options.address + ":" + std::to_string(m_options.port) +
                ": " + listener->errorString().toStdString();
        delete listener;
        return false;
    }
    m_listener = listener;
    m_port = m_listener->serverPort();
    // Out of descriptors the listener pauses; it tries again a second later
    // instead of staying deaf for the rest of the run.
    connect(listener, &QTcpServer::acceptError, listener, [listener] {
        QTimer::singleShot(1000, listener, [listener] { listener->resumeAccepting(); });
    });
    // Listening on every address includes the loopback one; other names the
    // page is reached by must be given with --web-host.
    const std::string port = std::to_string(m_port);
    std::vector<std::string> names{m_options.address + ":" + port};
    if (address == QHostAddress::AnyIPv4)
        names.push_back("127.0.0.1:" + port);
    if (address.isLoopback() || address == QHostAddress::AnyIPv4)
        names.push_back("localhost:" + port);
    names.insert(names.end(), m_options.hosts.begin(), m_options.hosts.end());
    m_access = std::make_unique<CWebAccess>(token, std::move(names));
    AddRoutes();
    m_server.bind(m_listener);
    // The current category is listed now, while no one waits for it: the
    // first page asked is then read from the rows, not from every thread's
    // files.
    Refill();
    return true;
}

std::string CWebInterface::PageUrl() const {
    const bool any =
        QHostAddress(QString::fromStdString(m_options.address)) == QHostAddress::AnyIPv4;
    return "http://" + (any ? std::string("127.0.0.1") : m_options.address) + ":" +
           std::to_string(m_port) + "/";
}

template <typename Handler>
CWebInterface::Response CWebInterface::Guarded(const QHttpServerRequest& request, bool needsToken,
                                               Handler handler) {
    switch (m_access->Check(View(Header(request, "Host")), View(Header(request, "Origin")),
                            View(Header(request, "Sec-Fetch-Site")),
                            View(Header(request, "Authorization")), needsToken)) {
    case CWebAccess::Verdict::Forbidden:
        return Error(Status::Forbidden, QStringLiteral("this interface is not reached that way"));
    case CWebAccess::Verdict::Unauthorized:
        return Error(Status::Unauthorized, QStringLiteral("アクセストークンがないか、違います。"));
    case CWebAccess::Verdict::Allowed:
        break;
    }
    if (request.body().size() > webjson::kMaxBodyBytes)
        return Error(Status::PayloadTooLarge, QStringLiteral("request too large"));
    const bool outer = m_runningCommand;
    if (!outer)
        m_commandMessage.clear();
    m_runningCommand = true;
    Response response = handler();
    m_runningCommand = outer;
    return response;
}

CWebInterface::Response CWebInterface::Error(Status status, const QString& reason) {
    return Response(QJsonObject{{QStringLiteral("error"), reason}}, status);
}

QString CWebInterface::CommandFailure() const {
    return m_commandMessage.isEmpty() ? QStringLiteral("the store did not take it")
                                      : m_commandMessage;
}

CWebInterface::Response CWebInterface::Asset(const QString& name, const QByteArray& mimeType) {
    QFile file(QStringLiteral(":/web/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return Error(Status::NotFound, QStringLiteral("not found"));
    return Response(mimeType, file.readAll());
}

template <typename Handler>
void CWebInterface::Route(const char* path, Method method, Handler handler) {
    QString pattern = QRegularExpression::escape(QString::fromLatin1(path));
    pattern.replace(QStringLiteral("\\<arg\\>"), QStringLiteral("[^/]+"));
    const QByteArray name(MethodName(method));
    auto known = std::find_if(m_allowed.begin(), m_allowed.end(),
                              [&](const auto& entry) { return entry.first == pattern; });
    if (known == m_allowed.end())
        m_allowed.emplace_back(pattern, name);
    else
        known->second += ", " + name;
    m_server.route(QString::fromLatin1(path), method, std::move(handler));
}

void CWebInterface::AddRoutes() {
    // The page.
    const std::pair<const char*, const char*> assets[] = {
        {"/index.html", "text/html; charset=utf-8"}, {"/app.js", "text/javascript; charset=utf-8"},
        {"/app.css", "text/css; charset=utf-8"},     {"/sheet.svg", "image/svg+xml"},
        {"/lightning.svg", "image/svg+xml"},         {"/folder.svg", "image/svg+xml"},
    };
    Route("/", Method::Get, [this](const QHttpServerRequest& request) {
        return Guarded(request, false, [] {
            return Asset(QStringLiteral("index.html"), "text/html; charset=utf-8");
        });
    });
    for (const auto& [path, mimeType] : assets) {
        const QString file = QString::fromLatin1(path + 1);
        const QByteArray type(mimeType);
        Route(path, Method::Get, [this, file, type](const QHttpServerRequest& request) {
            return Guarded(request, false, [&] { return Asset(file, type); });
        });
    }
    Route("/favicon.ico", Method::Get, [this](const QHttpServerRequest& request) {
        return Guarded(request, false,
                       [] { return Asset(QStringLiteral("sheet.svg"), "image/svg+xml"); });
    });
    Route("/login", Method::Get,
          [this](const QHttpServerRequest& request) { return Login(request); });

    // Reading.
    Route("/api/status", Method::Get, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return Status_(); });
    });
    Route("/api/categories", Method::Get, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return Categories(); });
    });
    Route("/api/threads", Method::Get,
          [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
              ThreadList(request, std::move(responder));
          });
    Route("/api/threads/<arg>", Method::Get,
          [this](const QString& id, const QHttpServerRequest& request,
                 QHttpServerResponder&& responder) {
              if (Admit(request, responder))
                  Thread(id, std::move(responder));
          });
    Route("/api/entrypoints", Method::Get, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return EntryPoints(); });
    });
    Route("/api/events", Method::Get,
          [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
              OpenEventStream(request, std::move(responder));
          });

    // Commands.
    Route("/api/select", Method::Post, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return SelectCategory(request); });
    });
    Route("/api/refresh", Method::Post, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return RefreshCategory(request); });
    });
    Route("/api/threads", Method::Post, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return PostThread(request); });
    });
    Route("/api/threads/<arg>/responses", Method::Post,
          [this](const QString& id, const QHttpServerRequest& request) {
              return Guarded(request, true, [&] { return PostResponse(id, request); });
          });
    Route("/api/threads/<arg>/fetch", Method::Post,
          [this](const QString& id, const QHttpServerRequest& request) {
              return Guarded(request, true, [&] { return FetchThread(id); });
          });
    Route("/api/threads/<arg>", Method::Delete,
          [this](const QString& id, const QHttpServerRequest& request) {
              return Guarded(request, true, [&] { return DeleteThread(id, request); });
          });
    Route("/api/connect", Method::Post, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return Connect(request); });
    });
    Route("/api/entrypoints/<arg>", Method::Post,
          [this](const QString& action, const QHttpServerRequest& request) {
              return Guarded(request, true, [&] { return EditEntryPoints(action, request); });
          });

    AddReaderRoutes();

    m_server.afterRequest([](QHttpServerResponse&& response) {
        for (const auto& [name, value] : kSecurity)
            response.setHeader(name, value);
        return std::move(response);
    });
    m_server.setMissingHandler(
        [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
            Missing(request, std::move(responder));
        });
}

// The reader's tools (handled in WebReader.cpp).
void CWebInterface::AddReaderRoutes() {
    Route("/api/reader/threads/<arg>", Method::Get,
          [this](const QString& id, const QHttpServerRequest& request) {
              return Guarded(request, true, [&] { return ReaderThread(id, request); });
          });
    Route("/api/reader/rules", Method::Get, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return ReaderRules(nullptr); });
    });
    Route("/api/reader/rules", Method::Post, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return ReaderRules(&request); });
    });
    Route("/api/reader/news", Method::Get, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return ReaderNews(); });
    });
    Route("/api/reader/read-all", Method::Post, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return ReaderReadAll(); });
    });
    Route("/api/reader/favourites", Method::Get, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return ReaderFavourites(); });
    });
    Route("/api/reader/favourites/<arg>", Method::Post,
          [this](const QString& id, const QHttpServerRequest& request) {
              return Guarded(request, true, [&] { return ReaderFavourite(id, true); });
          });
    Route("/api/reader/favourites/<arg>", Method::Delete,
          [this](const QString& id, const QHttpServerRequest& request) {
              return Guarded(request, true, [&] { return ReaderFavourite(id, false); });
          });
    Route("/api/reader/favourites-refresh", Method::Post,
          [this](const QHttpServerRequest& request) {
              return Guarded(request, true, [&] { return ReaderRefreshFavourites(); });
          });
    Route("/api/reader/search", Method::Get, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return ReaderSearch(request); });
    });
}

void CWebInterface::Missing(const QHttpServerRequest& request,
                            QHttpServerResponder&& responder) const {
    const QString path = request.url().path();
    QByteArray allow;
    for (const auto& [pattern, methods] : m_allowed)
        if (QRegularExpression(QStringLiteral("^") + pattern + QStringLiteral("$"))
                .match(path)
                .hasMatch())
            allow = methods;
    const Status status = allow.isEmpty() ? Status::NotFound : Status::MethodNotAllowed;
    const QByteArray body =
        QJsonDocument(QJsonObject{{QStringLiteral("error"),
                                   allow.isEmpty() ? QStringLiteral("no such resource")
                                                   : QStringLiteral("method not allowed")}})
            .toJson(QJsonDocument::Compact);
    responder.writeStatusLine(status);
    for (const auto& [name, value] : kSecurity)
        responder.writeHeader(name, value);
    if (!allow.isEmpty())
        responder.writeHeader("Allow", allow);
    responder.writeHeader("Content-Type", "application/json");
    // A HEAD asks for the head alone.
    const bool head = request.method() == Method::Head;
    responder.writeHeader("Content-Length", QByteArray::number(head ? 0 : body.size()));
    responder.writeBody(head ? QByteArray() : body);
}

CWebInterface::Response CWebInterface::Login(const QHttpServerRequest& request) {
    // The address printed by earlier versions: the token moves to the
    // fragment, where the page takes it; no cookie is ever set.
    return Guarded(request, false, [&] {
        const QString token = request.query().queryItemValue(QStringLiteral("token"));
        static const QRegularExpression kTokenText(QStringLiteral("^[0-9a-fA-F]{32,128}$"));
        Response response(Status::SeeOther);
        response.setHeader("Location", kTokenText.match(token).hasMatch()
                                           ? "/#token=" + token.toLatin1()
                                           : QByteArray("/"));
        return response;
    });
}

bool CWebInterface::Admit(const QHttpServerRequest& request, QHttpServerResponder& responder) {
    Response refusal = Guarded(request, true, [] { return Response(Status::Ok); });
    if (refusal.statusCode() == Status::Ok)
        return true;
    for (const auto& [name, value] : kSecurity)
        refusal.setHeader(name, value);
    refusal.write(std::move(responder));
    return false;
}

CWebInterface::SLater CWebInterface::Later(QHttpServerResponder&& responder) {
    QTcpSocket* socket = responder.socket();
    return SLater{std::make_shared<QHttpServerResponder>(std::move(responder)), socket};
}

void CWebInterface::Answer(const SLater& later, Response response) {
    if (!later.socket || later.socket->state() != QAbstractSocket::ConnectedState)
        return;
    for (const auto& [name, value] : kSecurity)
        response.setHeader(name, value);
    response.write(std::move(*later.responder));
}

void CWebInterface::AnswerJson(const SLater& later, std::shared_ptr<const std::string> json) {
    if (!later.socket || later.socket->state() != QAbstractSocket::ConnectedState)
        return;
    const bool large = json->size() >= static_cast<std::size_t>(kLargeAnswer);
    CWebReplyWriter* writer =
        CWebReplyWriter::Start(later.responder, "application/json", std::move(json));
    // The memory goes back once the answer is out (or its client gone).
    if (writer && large)
        connect(writer, &QObject::destroyed, this, [this] { TrimSoon(); });
}

void CWebInterface::TrimSoon() {
    m_trimTimer.start();
}

void CWebInterface::OpenEventStream(const QHttpServerRequest& request,
                                    QHttpServerResponder&& responder) {
    Response refusal = Guarded(request, true, [] { return Response(Status::Ok); });
    m_streams.erase(std::remove(m_streams.begin(), m_streams.end(), nullptr), m_streams.end());
    if (refusal.statusCode() == Status::Ok &&
        static_cast<int>(m_streams.size()) >= kMaxEventStreams)
        refusal = Error(Status::ServiceUnavailable, QStringLiteral("too many event streams"));
    if (refusal.statusCode() != Status::Ok) {
        for (const auto& [name, value] : kSecurity)
            refusal.setHeader(name, value);
        refusal.write(std::move(responder));
        return;
    }
    // A stream of events: the answer has no length and ends when the page
    // goes. Each event names what changed; the page then asks for it.
    QTcpSocket* socket = responder.socket();
    QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\n";
    for (const auto& [name, value] : kSecurity)
        head += QByteArray(name) + ": " + value + "\r\n";
    head += "Connection: close\r\n\r\nretry: 2000\n\n";
    if (CWebConnection* connection = CWebConnection::Of(socket))
        connection->KeepOpen();
    socket->write(head);
    m_streams.emplace_back(socket);
}

void CWebInterface::SendEvent(const char* name, const QByteArray& data) {
    const QByteArray event = QByteArray("event: ") + name + "\ndata: " + data + "\n\n";
    for (const QPointer<QTcpSocket>& stream : m_streams) {
        if (!stream || stream->state() != QAbstractSocket::ConnectedState)
            continue;
        if (stream->bytesToWrite() > kMaxStreamBacklog)
            stream->abort();
        else
            stream->write(event);
    }
}

// The views' calls: keep the list as the desktop's, tell the pages.
void CWebInterface::OnMessage(std::string_view textUtf8) {
    m_lastMessage = QString::fromUtf8(textUtf8.data(), static_cast<qsizetype>(textUtf8.size()));
    if (m_runningCommand)
        m_commandMessage = m_lastMessage;
    SendEvent("message", QJsonDocument(QJsonObject{{QStringLiteral("text"), m_lastMessage}})
                             .toJson(QJsonDocument::Compact));
}

// Every change of the store the node makes itself ends in one of these
// calls (posts, deletions, finished fetches), so the kept answers go.
void CWebInterface::RefreshThreadList() {
    m_threadCache.clear();
    m_lists->StoreChanged();
    Refill();
    SendEvent("threads");
}

void CWebInterface::UpdateThreadRow(const CThreadSummary& summary) {
    m_threadCache.clear();
    // An announcement changes no file; a fetched thread does.
    if (!summary.isNew)
        m_lists->StoreChanged();
    const std::string current = m_doc.GetCurrentCategory();
    if (m_shownCategory != current) {
        // The worker lists the new category before it takes this row in.
        m_shownCategory = current;
        m_shownTitles.clear();
    }
    m_shownTitles[summary.threadId] = summary.title;
    OffThread([lists = m_lists.get(), current, summary] { return lists->Update(current, summary); },
              [this](bool listed) {
                  if (listed)
                      TrimSoon();
              });
    SendEvent("threads");
}

void CWebInterface::ShowCurrentThread(std::string_view) {
    m_threadCache.clear();
    SendEvent("thread",
              QJsonDocument(QJsonObject{{QStringLiteral("id"),
                                         QString::fromStdString(m_doc.GetCurrentThreadId())}})
                  .toJson(QJsonDocument::Compact));
}

void CWebInterface::SetStatusOpen(int) {
    SendEvent("status");
}

void CWebInterface::SetStatusNeighbours(const std::array<std::string, 4>&) {
    SendEvent("status");
}

void CWebInterface::SetProgress(int percent) {
    m_progress = percent;
    SendEvent("status");
}
