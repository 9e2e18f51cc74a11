// CWebInterface: serving the page and the API, the checks every request
// passes, and the event stream that tells open pages what changed.
#include "web/WebInterface.h"

#include "app/PelmarDoc.h"
#include "web/WebJson.h"
#include "web/WebListener.h"

#include <QFile>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#include <algorithm>

namespace {

using Method = QHttpServerRequest::Method;

// Every answer forbids framing and sniffing, runs only the page's own
// scripts and is not cached.
constexpr std::pair<const char*, const char*> kSecurityHeaders[] = {
    {"Content-Security-Policy",
     "default-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'self'"},
    {"X-Frame-Options", "DENY"},
    {"X-Content-Type-Options", "nosniff"},
    {"Referrer-Policy", "no-referrer"},
    {"Cache-Control", "no-store"},
};

QByteArray Header(const QHttpServerRequest& request, const char* name) {
    return request.value(name);
}

std::string_view View(const QByteArray& bytes) {
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

CWebInterface::CWebInterface(CPelmarDoc& doc, Options options, QObject* parent)
    : QObject(parent), m_doc(doc), m_options(std::move(options)), m_rows(doc.GetThreadDir()) {}

CWebInterface::~CWebInterface() {
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
    auto* listener = new CWebListener(this);
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
    return true;
}

std::string CWebInterface::LoginUrl() const {
    const bool any =
        QHostAddress(QString::fromStdString(m_options.address)) == QHostAddress::AnyIPv4;
    return "http://" + (any ? std::string("127.0.0.1") : m_options.address) + ":" +
           std::to_string(m_port) + "/login?token=" + Token();
}

template <typename Handler>
CWebInterface::Response CWebInterface::Guarded(const QHttpServerRequest& request, bool needsToken,
                                               Handler handler) {
    switch (m_access->Check(View(Header(request, "Host")), View(Header(request, "Origin")),
                            View(Header(request, "Sec-Fetch-Site")),
                            View(Header(request, "Authorization")), View(Header(request, "Cookie")),
                            needsToken)) {
    case CWebAccess::Verdict::Forbidden:
        return Error(Status::Forbidden, QStringLiteral("this interface is not reached that way"));
    case CWebAccess::Verdict::Unauthorized:
        return Error(Status::Unauthorized, QStringLiteral("the access token is missing or wrong"));
    case CWebAccess::Verdict::Allowed:
        break;
    }
    if (request.body().size() > webjson::kMaxBodyBytes)
        return Error(Status::PayloadTooLarge, QStringLiteral("request too large"));
    return handler();
}

CWebInterface::Response CWebInterface::Error(Status status, const QString& reason) {
    return Response(QJsonObject{{QStringLiteral("error"), reason}}, status);
}

CWebInterface::Response CWebInterface::Asset(const QString& name, const QByteArray& mimeType) {
    QFile file(QStringLiteral(":/web/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return Error(Status::NotFound, QStringLiteral("not found"));
    return Response(mimeType, file.readAll());
}

void CWebInterface::AddRoutes() {
    // The page.
    const std::pair<const char*, const char*> assets[] = {
        {"index.html", "text/html; charset=utf-8"}, {"app.js", "text/javascript; charset=utf-8"},
        {"app.css", "text/css; charset=utf-8"},     {"sheet.svg", "image/svg+xml"},
        {"lightning.svg", "image/svg+xml"},         {"folder.svg", "image/svg+xml"},
    };
    m_server.route("/", Method::Get, [this](const QHttpServerRequest& request) {
        return Guarded(request, false, [] {
            return Asset(QStringLiteral("index.html"), "text/html; charset=utf-8");
        });
    });
    for (const auto& [name, mimeType] : assets) {
        const QString file = QString::fromLatin1(name);
        const QByteArray type(mimeType);
        m_server.route(QStringLiteral("/") + file, Method::Get,
                       [this, file, type](const QHttpServerRequest& request) {
                           return Guarded(request, false, [&] { return Asset(file, type); });
                       });
    }
    m_server.route("/favicon.ico", Method::Get, [this](const QHttpServerRequest& request) {
        return Guarded(request, false,
                       [] { return Asset(QStringLiteral("sheet.svg"), "image/svg+xml"); });
    });
    m_server.route("/login", Method::Get,
                   [this](const QHttpServerRequest& request) { return Login(request); });

    // Reading.
    m_server.route("/api/status", Method::Get, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return Status_(); });
    });
    m_server.route("/api/categories", Method::Get, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return Categories(); });
    });
    m_server.route("/api/threads", Method::Get, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return ThreadList(request); });
    });
    m_server.route("/api/threads/<arg>", Method::Get,
                   [this](const QString& id, const QHttpServerRequest& request) {
                       return Guarded(request, true, [&] { return Thread(id); });
                   });
    m_server.route("/api/entrypoints", Method::Get, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return EntryPoints(); });
    });
    m_server.route("/api/events", Method::Get,
                   [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
                       OpenEventStream(request, std::move(responder));
                   });

    // Commands.
    m_server.route("/api/select", Method::Post, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return SelectCategory(request); });
    });
    m_server.route("/api/refresh", Method::Post, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return RefreshCategory(request); });
    });
    m_server.route("/api/threads", Method::Post, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return PostThread(request); });
    });
    m_server.route("/api/threads/<arg>/responses", Method::Post,
                   [this](const QString& id, const QHttpServerRequest& request) {
                       return Guarded(request, true, [&] { return PostResponse(id, request); });
                   });
    m_server.route("/api/threads/<arg>/fetch", Method::Post,
                   [this](const QString& id, const QHttpServerRequest& request) {
                       return Guarded(request, true, [&] { return FetchThread(id); });
                   });
    m_server.route("/api/threads/<arg>", Method::Delete,
                   [this](const QString& id, const QHttpServerRequest& request) {
                       return Guarded(request, true, [&] { return DeleteThread(id, request); });
                   });
    m_server.route("/api/connect", Method::Post, [this](const QHttpServerRequest& request) {
        return Guarded(request, true, [&] { return Connect(request); });
    });
    m_server.route("/api/entrypoints/<arg>", Method::Post,
                   [this](const QString& action, const QHttpServerRequest& request) {
                       return Guarded(request, true,
                                      [&] { return EditEntryPoints(action, request); });
                   });

    m_server.afterRequest([](QHttpServerResponse&& response) {
        for (const auto& [name, value] : kSecurityHeaders)
            response.setHeader(name, value);
        return std::move(response);
    });
    m_server.setMissingHandler([](const QHttpServerRequest&, QHttpServerResponder&& responder) {
        responder.write(QJsonDocument(QJsonObject{
                            {QStringLiteral("error"), QStringLiteral("no such resource")}}),
                        {kSecurityHeaders[0], kSecurityHeaders[1], kSecurityHeaders[2],
                         kSecurityHeaders[3], kSecurityHeaders[4]},
                        Status::NotFound);
    });
}

CWebInterface::Response CWebInterface::Login(const QHttpServerRequest& request) {
    return Guarded(request, false, [&] {
        const QString token = request.query().queryItemValue(QStringLiteral("token"));
        if (!m_access->IsToken(token.toStdString()))
            return Error(Status::Unauthorized, QStringLiteral("the access token is wrong"));
        // The cookie carries the token from now on; it never leaves for
        // another site and scripts cannot read it.
        Response response(Status::SeeOther);
        response.setHeader("Location", "/");
        response.setHeader("Set-Cookie", QByteArray(CWebAccess::kCookieName.data()) + "=" +
                                             token.toLatin1() +
                                             "; Path=/; HttpOnly; SameSite=Strict");
        return response;
    });
}

void CWebInterface::OpenEventStream(const QHttpServerRequest& request,
                                    QHttpServerResponder&& responder) {
    Response refusal = Guarded(request, true, [] { return Response(Status::Ok); });
    m_streams.erase(std::remove(m_streams.begin(), m_streams.end(), nullptr), m_streams.end());
    if (refusal.statusCode() == Status::Ok &&
        static_cast<int>(m_streams.size()) >= kMaxEventStreams)
        refusal = Error(Status::ServiceUnavailable, QStringLiteral("too many event streams"));
    if (refusal.statusCode() != Status::Ok) {
        for (const auto& [name, value] : kSecurityHeaders)
            refusal.setHeader(name, value);
        refusal.write(std::move(responder));
        return;
    }
    // A stream of events: the answer has no length and ends when the page
    // goes. Each event names what changed; the page then asks for it.
    QTcpSocket* socket = responder.socket();
    QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\n";
    for (const auto& [name, value] : kSecurityHeaders)
        head += QByteArray(name) + ": " + value + "\r\n";
    head += "Connection: close\r\n\r\nretry: 2000\n\n";
    socket->write(head);
    m_streams.emplace_back(socket);
}

void CWebInterface::SendEvent(const char* name, const QByteArray& data) {
    const QByteArray event = QByteArray("event: ") + name + "\ndata: " + data + "\n\n";
    for (const QPointer<QTcpSocket>& stream : m_streams)
        if (stream && stream->state() == QAbstractSocket::ConnectedState)
            stream->write(event);
}

// The views' calls: keep the list as the desktop's, tell the pages.
void CWebInterface::OnMessage(std::string_view textUtf8) {
    m_lastMessage = QString::fromUtf8(textUtf8.data(), static_cast<qsizetype>(textUtf8.size()));
    SendEvent("message", QJsonDocument(QJsonObject{{QStringLiteral("text"), m_lastMessage}})
                             .toJson(QJsonDocument::Compact));
}

// Every change of the store the node makes itself ends in one of these
// calls (posts, deletions, finished fetches), so the kept answers go.
void CWebInterface::RefreshThreadList() {
    m_threadCache.clear();
    m_rows.Refill(m_doc.GetCurrentCategory());
    m_rowsFilled = true;
    SendEvent("threads");
}

void CWebInterface::UpdateThreadRow(const CThreadSummary& summary) {
    m_threadCache.clear();
    if (!m_rowsFilled || m_rows.Category() != m_doc.GetCurrentCategory()) {
        m_rows.Refill(m_doc.GetCurrentCategory());
        m_rowsFilled = true;
    }
    m_rows.UpdateThreadRow(summary.threadId, summary.title, summary.resCount, summary.name,
                           summary.time, summary.isNew);
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
