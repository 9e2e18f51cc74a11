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

} // namespace

void CWebInterface::SelectCategoryBytes(const std::string& category) {
    // As a selection in the category tree: the list shows that category.
    if (category == m_doc.GetCurrentCategory() && m_rowsFilled)
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
    SelectCategoryBytes(CategoryBytes(object.value(QStringLiteral("category")).toString()));
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
    if (category.isString())
        SelectCategoryBytes(CategoryBytes(category.toString()));
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
    // preset; a category of "category.dat" is taken as the tree has it.
    draft.category =
        category.isString() ? CategoryBytes(category.toString()) : m_doc.GetCurrentCategory();
    if (draft.category.find_first_of("\r\n") != std::string::npos)
        return Error(Status::BadRequest, QStringLiteral("\"category\" must be one line"));
    if (draft.category.size() > webjson::kCategoryLimit &&
        draft.category != m_doc.GetCurrentCategory())
        return Error(Status::BadRequest,
                     QString::fromUtf8(strings::kTooLong).arg(webjson::kCategoryLimit));
    if (!TakePostTexts(object, draft, reason))
        return Error(Status::BadRequest, reason);

    const std::string id = m_doc.PostThread(draft);
    if (id.empty())
        return Error(Status::InternalServerError, m_lastMessage);
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
        return Error(Status::InternalServerError, m_lastMessage);
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
        for (const CThreadRow& row : m_rows.Rows())
            if (row.id == threadId)
                m_doc.SetCurrentThreadTitle(row.title);
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
    if (query.hasQueryItem(QStringLiteral("category")))
        SelectCategoryBytes(
            CategoryBytes(query.queryItemValue(QStringLiteral("category"), QUrl::FullyDecoded)));
    m_doc.SetCurrentThreadId(id.toStdString());
    m_doc.DeleteThread(id.toStdString());
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
