// CWebInterface: the reader's tools over the API (/api/reader/...): NG rules,
// read marks and new counts, favourites, search, and the thread as the page
// shows it with the rules applied (a hidden post is never sent; a replaced
// one is sent as "あぼーん"). Without a reader these answer 404. GUI thread.
#include "web/WebInterface.h"

#include "app/PelmarDoc.h"
#include "base/Cp932Text.h"
#include "frontend/PageBuilder.h"
#include "reader/NgPageFilter.h"
#include "reader/Reader.h"
#include "res/Strings.h"
#include "store/ThreadRecord.h"
#include "web/WebJson.h"

#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonObject>
#include <QUrlQuery>

using webjson::Ascii;
using webjson::Text;

namespace {

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QJsonObject PostJson(const CPagePost& post, EPostShow show) {
    const bool abone = show == EPostShow::Abone;
    const QString replaced = QString::fromUtf8("あぼーん");
    return QJsonObject{
        {QStringLiteral("id"), Ascii(post.id)},
        {QStringLiteral("title"), abone ? replaced : Text(post.title)},
        {QStringLiteral("name"), abone ? replaced : Text(post.name)},
        {QStringLiteral("mail"), abone ? QString() : Text(post.mail)},
        {QStringLiteral("time"), static_cast<qint64>(post.time)},
        {QStringLiteral("timeText"), QString::fromStdString(CPageBuilder::FormatTime(post.time))},
        {QStringLiteral("body"), abone ? replaced : Text(post.body)},
        {QStringLiteral("abone"), abone}};
}

} // namespace

CWebInterface::Response CWebInterface::ReaderThread(const QString& id,
                                                    const QHttpServerRequest& request) {
    if (!m_reader)
        return Error(Status::NotFound, QStringLiteral("no reader"));
    if (!webjson::IsId(id))
        return Error(Status::NotFound, QStringLiteral("no such thread"));
    const std::string threadId = id.toStdString();
    CThreadRecord thread;
    if (!thread.Load(threadId, m_doc.GetThreadDir()) || thread.GetHeld() == 0)
        return Error(Status::NotFound, QStringLiteral("no such thread"));
    const bool all = request.query().queryItemValue(QStringLiteral("all")) == QLatin1String("1");
    const bool wasShowing = m_reader->ShowFiltered();
    m_reader->SetShowFiltered(all);
    const auto filter = m_reader->Filter();
    m_reader->SetShowFiltered(wasShowing);
    const CNgPageFilter pageFilter(*filter, threadId, CReader::CategoryText(thread.GetCategory()));
    const std::optional<int> seen = m_reader->Marks().Seen(threadId);
    const auto posts = CPageBuilder(m_doc.GetThreadDir(), nullptr).LoadPosts(threadId);
    QJsonArray shown;
    int newFrom = -1;
    for (std::size_t i = 0; i < posts.size(); ++i) {
        const EPostShow show = pageFilter.Judge(posts[i]);
        if (show == EPostShow::Hide)
            continue; // never sent
        if (seen && newFrom < 0 && static_cast<int>(i) >= *seen)
            newFrom = static_cast<int>(shown.size());
        shown.append(PostJson(posts[i], show));
    }
    // Shown now by the reader's choice: what is held counts as seen from here
    // on. A page showing the thread again after a fetch keeps the marks.
    if (request.query().queryItemValue(QStringLiteral("keep")) != QLatin1String("1"))
        m_reader->Marks().SetSeen(threadId, thread.GetHeld());
    return Response(QJsonObject{{QStringLiteral("id"), id},
                                {QStringLiteral("title"), Text(thread.GetTitle())},
                                {QStringLiteral("responses"), shown},
                                {QStringLiteral("newFrom"), newFrom}});
}

CWebInterface::Response CWebInterface::ReaderRules(const QHttpServerRequest* request) {
    if (!m_reader)
        return Error(Status::NotFound, QStringLiteral("no reader"));
    CNgRuleFile& file = m_reader->RuleFile();
    if (request) {
        QJsonObject object;
        QString reason;
        if (!webjson::ParseObject(request->body(), object, reason))
            return Error(Status::BadRequest, reason);
        if (!object.value(QStringLiteral("text")).isString())
            return Error(Status::BadRequest, QStringLiteral("\"text\" must be a string"));
        if (!file.Save(object.value(QStringLiteral("text")).toString().toStdString()))
            return Error(Status::InternalServerError, Utf8(file.LastError()));
    }
    QJsonArray errors;
    for (const std::string& error : file.Errors())
        errors.append(Utf8(error));
    return Response(QJsonObject{{QStringLiteral("text"), Utf8(file.Text())},
                                {QStringLiteral("errors"), errors}});
}

CWebInterface::Response CWebInterface::ReaderNews() {
    if (!m_reader)
        return Error(Status::NotFound, QStringLiteral("no reader"));
    // Threads by what the store holds now; categories by the index.
    QJsonObject threads;
    for (const auto& [threadId, seen] : m_reader->Marks().All()) {
        CThreadRecord thread;
        if (thread.Load(threadId, m_doc.GetThreadDir()))
            threads.insert(Ascii(threadId), CReadMarks::NewCount(seen, thread.GetHeld()));
    }
    QJsonObject categories;
    for (const auto& [category, count] : m_reader->Marks().NewByCategory())
        categories.insert(Text(category), count);
    // The favourites by the store too, which a fetch has just written.
    int favourites = 0;
    for (const CFavourite& favourite : m_reader->Favourites().List()) {
        const auto found = threads.constFind(Ascii(favourite.threadId));
        if (found != threads.constEnd())
            favourites += found->toInt();
    }
    m_reader->StartIndexing();
    return Response(QJsonObject{{QStringLiteral("threads"), threads},
                                {QStringLiteral("categories"), categories},
                                {QStringLiteral("favourites"), favourites}});
}

CWebInterface::Response CWebInterface::ReaderReadAll() {
    if (!m_reader)
        return Error(Status::NotFound, QStringLiteral("no reader"));
    m_reader->Marks().MarkAllRead();
    for (const auto& [threadId, seen] : m_reader->Marks().All()) {
        CThreadRecord thread;
        if (thread.Load(threadId, m_doc.GetThreadDir()) && thread.GetHeld() > seen)
            m_reader->Marks().SetSeen(threadId, thread.GetHeld());
    }
    return Response(QJsonObject{});
}

CWebInterface::Response CWebInterface::ReaderFavourites() {
    if (!m_reader)
        return Error(Status::NotFound, QStringLiteral("no reader"));
    QJsonArray list;
    for (const CFavourite& favourite : m_reader->Favourites().List()) {
        CThreadRecord thread;
        const bool held = thread.Load(favourite.threadId, m_doc.GetThreadDir());
        const int fresh = held ? CReadMarks::NewCount(m_reader->Marks().Seen(favourite.threadId),
                                                      thread.GetHeld())
                               : 0;
        list.append(QJsonObject{{QStringLiteral("id"), Ascii(favourite.threadId)},
                                {QStringLiteral("category"), Text(favourite.category)},
                                {QStringLiteral("title"), Text(favourite.title)},
                                {QStringLiteral("held"), held ? int{thread.GetHeld()} : 0},
                                {QStringLiteral("new"), fresh}});
    }
    return Response(list);
}

CWebInterface::Response CWebInterface::ReaderFavourite(const QString& id, bool add) {
    if (!m_reader)
        return Error(Status::NotFound, QStringLiteral("no reader"));
    if (!webjson::IsId(id))
        return Error(Status::NotFound, QStringLiteral("no such thread"));
    const std::string threadId = id.toStdString();
    if (!add) {
        m_reader->Favourites().Remove(threadId);
        return Response(QJsonObject{});
    }
    CThreadRecord thread;
    if (!thread.Load(threadId, m_doc.GetThreadDir()))
        return Error(Status::NotFound, QStringLiteral("no such thread"));
    m_reader->Favourites().Add(CFavourite{threadId, thread.GetCategory(), thread.GetTitle()},
                               m_doc.Now());
    return Response(QJsonObject{});
}

CWebInterface::Response CWebInterface::ReaderRefreshFavourites() {
    if (!m_reader)
        return Error(Status::NotFound, QStringLiteral("no reader"));
    if (m_doc.CountEstablished() == 0)
        return Error(Status::Conflict, QString::fromUtf8(strings::kNotConnected));
    // A thread query for each, as the list refresh sends one for a category.
    const std::string current = m_doc.GetCurrentThreadId();
    int sent = 0;
    for (const CFavourite& favourite : m_reader->Favourites().List()) {
        m_doc.SetCurrentThreadId(favourite.threadId);
        m_doc.SendThreadQuery();
        ++sent;
    }
    m_doc.SetCurrentThreadId(current);
    return Response(QJsonObject{{QStringLiteral("queries"), sent}});
}

CWebInterface::Response CWebInterface::ReaderSearch(const QHttpServerRequest& request) {
    if (!m_reader)
        return Error(Status::NotFound, QStringLiteral("no reader"));
    const QString query =
        request.query().queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded).trimmed();
    if (query.size() > 200)
        return Error(Status::BadRequest, QStringLiteral("query too long"));
    m_reader->StartIndexing();
    QJsonArray hits;
    for (const CSearchHit& hit : m_reader->Index().Search(query.toStdString()))
        hits.append(QJsonObject{{QStringLiteral("thread"), Ascii(hit.threadId)},
                                {QStringLiteral("post"), Ascii(hit.postId)},
                                {QStringLiteral("time"), static_cast<qint64>(hit.time)},
                                {QStringLiteral("timeText"),
                                 QString::fromStdString(CPageBuilder::FormatTime(hit.time))},
                                {QStringLiteral("title"), Utf8(hit.threadTitle)},
                                {QStringLiteral("before"), Utf8(hit.before)},
                                {QStringLiteral("match"), Utf8(hit.match)},
                                {QStringLiteral("after"), Utf8(hit.after)}});
    return Response(hits);
}
