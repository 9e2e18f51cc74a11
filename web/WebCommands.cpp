// CWebInterface: the commands. Each does what the desktop's command does,
// through the same document operations, with the draft or the choice taken
// from the request; the questions a dialog would ask are answered by the
// request itself, and the messages a command would show are its error
// replies. Nothing reaches the store before the whole request was checked.
#include "web/WebInterface.h"

#include "app/PelmarDoc.h"
#include "frontend/EntryPointFile.h"
#include "res/Strings.h"
#include "store/ThreadRecord.h"
#include "web/WebJson.h"

#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonObject>
#include <QUrlQuery>

#include <algorithm>

using webjson::CFieldCheck;

namespace {

// The body as one JSON object; an empty body is an empty object.
bool ReadObject(const QHttpServerRequest& request, QJsonObject& object, QString& reason) {
    if (request.body().trimmed().isEmpty())
        return true;
    return webjson::ParseObject(request.body(), object, reason);
}

// The texts a thread and a response share, within the dialogs' byte limits.
template <typename Draft>
bool TakePostTexts(const QJsonObject& object, Draft& draft, QString& reason) {
    const CFieldCheck fields[] = {{"title", webjson::kTitleLimit, false},
                                  {"name", webjson::kNameLimit, false},
                                  {"mail", webjson::kMailLimit, false},
                                  {"body", webjson::kBodyLimit, true}};
    std::string* targets[] = {&draft.title, &draft.name, &draft.mail, &draft.body};
    for (std::size_t i = 0; i < std::size(fields); ++i)
        if (!webjson::TakeField(object, fields[i], *targets[i], reason))
            return false;
    return true;
}

const QString kUnknownCategory =
    QStringLiteral("\"category\" must name a category of category.dat");

} // namespace

void CWebInterface::SelectCategoryBytes(const std::string& category) {
    // As a selection in the category tree: the list shows that category.
    if (category == m_doc.GetCurrentCategory())
        return;
    m_doc.SetCurrentCategory(category);
    m_doc.RefreshThreadList();
}

CWebInterface::Response CWebInterface::SelectCategory(const QHttpServerRequest& request) {
    QJsonObject object;
    QString reason;
    if (!ReadObject(request, object, reason))
        return Error(Status::BadRequest, reason);
    if (!object.value(QStringLiteral("category")).isString())
        return Error(Status::BadRequest, QStringLiteral("\"category\" must be a string"));
    std::string category;
    if (!KnownCategory(object.value(QStringLiteral("category")).toString(), category))
        return Error(Status::NotFound, kUnknownCategory);
    SelectCategoryBytes(category);
    return Response(
        QJsonObject{{QStringLiteral("category"), webjson::Text(m_doc.GetCurrentCategory())}});
}

CWebInterface::Response CWebInterface::RefreshCategory(const QHttpServerRequest& request) {
    QJsonObject object;
    QString reason;
    if (!ReadObject(request, object, reason))
        return Error(Status::BadRequest, reason);
    const QJsonValue category = object.value(QStringLiteral("category"));
    if (!category.isUndefined() && !category.isString())
        return Error(Status::BadRequest, QStringLiteral("\"category\" must be a string"));
    if (category.isString()) {
        std::string bytes;
        if (!KnownCategory(category.toString(), bytes))
            return Error(Status::NotFound, kUnknownCategory);
        SelectCategoryBytes(bytes);
    }
    if (m_doc.CountEstablished() == 0)
        return Error(Status::Conflict, QString::fromUtf8(strings::kNotConnected));
    // The query for the category; its answers add rows as they come.
    m_doc.SendCategoryQuery();
    return Response(
        QJsonObject{{QStringLiteral("category"), webjson::Text(m_doc.GetCurrentCategory())},
                    {QStringLiteral("queried"), true}});
}

CWebInterface::Response CWebInterface::PostThread(const QHttpServerRequest& request) {
    QJsonObject object;
    QString reason;
    if (!webjson::ParseObject(request.body(), object, reason))
        return Error(Status::BadRequest, reason);
    CThreadDraft draft;
    const QJsonValue category = object.value(QStringLiteral("category"));
    if (!category.isUndefined() && !category.isString())
        return Error(Status::BadRequest, QStringLiteral("\"category\" must be a string"));
    // Without a category the thread goes to the current one, as the dialog's
    // preset; either must be a category of "category.dat" (taken as the tree
    // has it), as the dialog offers no other.
    if (!KnownCategory(category.isString() ? category.toString()
                                           : webjson::Text(m_doc.GetCurrentCategory()),
                       draft.category))
        return Error(Status::BadRequest, kUnknownCategory);
    if (!TakePostTexts(object, draft, reason))
        return Error(Status::BadRequest, reason);

    const std::string id = m_doc.PostThread(draft);
    if (id.empty())
        return Error(Status::InternalServerError, CommandFailure());
    return Response(QJsonObject{{QStringLiteral("id"), QString::fromStdString(id)}},
                    Status::Created);
}

CWebInterface::Response CWebInterface::PostResponse(const QString& id,
                                                    const QHttpServerRequest& request) {
    QJsonObject object;
    QString reason;
    if (!webjson::ParseObject(request.body(), object, reason))
        return Error(Status::BadRequest, reason);
    CResponseDraft draft;
    if (!TakePostTexts(object, draft, reason))
        return Error(Status::BadRequest, reason);
    const std::string threadId = id.toStdString();
    if (!webjson::IsId(id) || !m_doc.CanRespondTo(threadId))
        return Error(Status::NotFound, QString::fromUtf8(strings::kNoThreadData));

    const std::string resId = m_doc.PostResponse(threadId, draft);
    if (resId.empty())
        return Error(Status::InternalServerError, CommandFailure());
    return Response(QJsonObject{{QStringLiteral("id"), QString::fromStdString(resId)},
                                {QStringLiteral("threadId"), id}},
                    Status::Created);
}

CWebInterface::Response CWebInterface::FetchThread(const QString& id) {
    if (!webjson::IsId(id))
        return Error(Status::NotFound, QStringLiteral("no such thread"));
    if (m_doc.CountEstablished() == 0)
        return Error(Status::Conflict, QString::fromUtf8(strings::kNotConnected));
    // As a double click on the row: the thread becomes current, then the
    // fetch starts (a fetch already running makes it do nothing).
    const bool running = m_doc.IsFetchInProgress();
    const std::string threadId = id.toStdString();
    if (!running) {
        m_doc.SetCurrentThreadId(threadId);
        // The title its row shows: an announced one, else the stored one.
        CThreadRecord record;
        if (const std::string* title = ShownTitle(threadId))
            m_doc.SetCurrentThreadTitle(*title);
        else if (record.Load(threadId, m_doc.GetThreadDir()))
            m_doc.SetCurrentThreadTitle(record.GetTitle());
        m_doc.GetThread(threadId, 0);
    }
    return Response(
        QJsonObject{{QStringLiteral("started"), !running}, {QStringLiteral("threadId"), id}},
        Status::Accepted);
}

CWebInterface::Response CWebInterface::DeleteThread(const QString& id,
                                                    const QHttpServerRequest& request) {
    if (!webjson::IsId(id))
        return Error(Status::NotFound, QStringLiteral("no such thread"));
    // Deleted from the category the page lists (by default the current one).
    const QUrlQuery query = request.query();
    std::string category = m_doc.GetCurrentCategory();
    if (query.hasQueryItem(QStringLiteral("category")) &&
        !KnownCategory(query.queryItemValue(QStringLiteral("category"), QUrl::FullyDecoded),
                       category))
        return Error(Status::NotFound, kUnknownCategory);
    // Only a thread the category lists or the store holds can go.
    const std::string threadId = id.toStdString();
    // Another category lists only threads whose record is held.
    CThreadRecord record;
    const bool listed = category == m_doc.GetCurrentCategory() && ShownTitle(threadId);
    if (!listed && !record.Load(threadId, m_doc.GetThreadDir()))
        return Error(Status::NotFound, QStringLiteral("no such thread"));
    SelectCategoryBytes(category);
    m_doc.SetCurrentThreadId(threadId);
    m_doc.DeleteThread(threadId);
    return Response(QJsonObject{{QStringLiteral("deleted"), id}});
}

CWebInterface::Response CWebInterface::Connect(const QHttpServerRequest& request) {
    QJsonObject object;
    QString reason;
    if (!webjson::ParseObject(request.body(), object, reason))
        return Error(Status::BadRequest, reason);
    std::string entry;
    if (!webjson::TakeField(object, CFieldCheck{"entry", 1024, false}, entry, reason))
        return Error(Status::BadRequest, reason);
    if (entry.empty())
        return Error(Status::BadRequest, QStringLiteral("\"entry\" must name a host or a URL"));
    // As "接続" in the entry point dialog: the entry joins the list first.
    CEntryPointFile file(m_doc.DataPath(CEntryPointFile::kFileName));
    file.Load();
    file.Add(entry);
    m_doc.ConnectToEntry(entry);
    return Response(QJsonObject{{QStringLiteral("entry"), webjson::Text(entry)}}, Status::Accepted);
}

CWebInterface::Response CWebInterface::EditEntryPoints(const QString& action,
                                                       const QHttpServerRequest& request) {
    QJsonObject object;
    QString reason;
    if (!webjson::ParseObject(request.body(), object, reason))
        return Error(Status::BadRequest, reason);
    CEntryPointFile file(m_doc.DataPath(CEntryPointFile::kFileName));
    file.Load();
    if (action == QLatin1String("add")) {
        std::string entry;
        if (!webjson::TakeField(object, CFieldCheck{"entry", 1024, false}, entry, reason))
            return Error(Status::BadRequest, reason);
        if (entry.find_first_not_of(" \t") == std::string::npos)
            return Error(Status::BadRequest, QStringLiteral("\"entry\" must name a host or a URL"));
        file.Add(entry);
        return EntryPoints();
    }
    const QJsonValue index = object.value(QStringLiteral("index"));
    if (!index.isDouble() || index.toDouble() != index.toInt() || index.toInt() < 0 ||
        index.toInt() >= static_cast<int>(file.Entries().size()))
        return Error(Status::BadRequest, QStringLiteral("\"index\" must name an entry"));
    int selected = index.toInt();
    if (action == QLatin1String("up"))
        file.MoveUp(selected);
    else if (action == QLatin1String("down"))
        file.MoveDown(selected);
    else if (action == QLatin1String("remove"))
        file.Remove(selected);
    else
        return Error(Status::NotFound, QStringLiteral("no such action"));
    return EntryPoints();
}
