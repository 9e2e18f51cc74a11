// CWebInterface: the API's reading side. Every text the store or a file holds
// leaves as a JSON string converted from Shift_JIS, never as markup.
#include "web/WebInterface.h"

#include "app/PelmarDoc.h"
#include "base/Cp932Text.h"
#include "frontend/CategoryFile.h"
#include "frontend/EntryPointFile.h"
#include "frontend/PageBuilder.h"
#include "protocol/ServentSocket.h"
#include "res/Strings.h"
#include "store/ThreadRecord.h"
#include "web/WebJson.h"

#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonObject>
#include <QUrlQuery>

using webjson::Text;

namespace {

QString Ascii(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QJsonObject PostObject(const CPagePost& post) {
    return QJsonObject{
        {QStringLiteral("id"), Ascii(post.id)},
        {QStringLiteral("title"), Text(post.title)},
        {QStringLiteral("name"), Text(post.name)},
        {QStringLiteral("mail"), Text(post.mail)},
        {QStringLiteral("time"), static_cast<qint64>(post.time)},
        {QStringLiteral("timeText"), Ascii(CPageBuilder::FormatTime(post.time))},
        {QStringLiteral("body"), Text(post.body)},
    };
}

} // namespace

std::string CWebInterface::CategoryBytes(const QString& name) const {
    // Shift_JIS has characters with two codes, so a name converted back may
    // not be the bytes the category file (and the store) use.
    CCategoryFile categories;
    if (categories.Load(m_doc.DataPath("category.dat")) == CCategoryFile::Result::Ok)
        for (const CCategoryItem& item : categories.Items())
            if (Text(item.name) == name)
                return item.name;
    if (Text(m_doc.GetCurrentCategory()) == name)
        return m_doc.GetCurrentCategory();
    const QByteArray utf8 = name.toUtf8();
    return cp932text::FromUtf8(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

CThreadRows CWebInterface::RowsOf(const std::string& category) const {
    if (category == m_doc.GetCurrentCategory() && m_rowsFilled && m_rows.Category() == category)
        return m_rows;
    CThreadRows rows(m_doc.GetThreadDir());
    rows.Refill(category);
    return rows;
}

CWebInterface::Response CWebInterface::Status_() const {
    QJsonArray peers;
    for (const CServentSocket* connection : m_doc.GetConnections())
        if (!connection->IsClosed() && connection->IsEstablished())
            peers.append(
                QJsonObject{{QStringLiteral("address"), Ascii(connection->GetPeerAddress())},
                            {QStringLiteral("port"), connection->GetPeerPort()}});
    const int state = m_doc.GetReflectorState();
    const bool fetching = m_doc.IsFetchInProgress();
    return Response(QJsonObject{
        {QStringLiteral("serventId"), Ascii(m_doc.GetServentId())},
        {QStringLiteral("address"), Ascii(m_doc.OwnAddress().GetText())},
        {QStringLiteral("port"), m_doc.GetListenPort()},
        {QStringLiteral("reachable"), state == 1   ? QStringLiteral("open")
                                      : state == 2 ? QStringLiteral("close")
                                                   : QString()},
        {QStringLiteral("peers"), peers},
        {QStringLiteral("fetch"),
         QJsonObject{{QStringLiteral("running"), fetching},
                     {QStringLiteral("percent"), fetching ? m_progress : 0},
                     {QStringLiteral("threadId"), Ascii(m_doc.GetCurrentThreadId())}}},
        {QStringLiteral("category"), Text(m_doc.GetCurrentCategory())},
        {QStringLiteral("threadId"), Ascii(m_doc.GetCurrentThreadId())},
        {QStringLiteral("message"), m_lastMessage},
    });
}

CWebInterface::Response CWebInterface::Categories() const {
    CCategoryFile categories;
    QJsonArray items;
    if (categories.Load(m_doc.DataPath("category.dat")) == CCategoryFile::Result::Ok)
        for (const CCategoryItem& item : categories.Items())
            items.append(QJsonObject{{QStringLiteral("name"), Text(item.name)},
                                     {QStringLiteral("depth"), item.depth},
                                     {QStringLiteral("parent"), item.parent}});
    return Response(items);
}

CWebInterface::Response CWebInterface::ThreadList(const QHttpServerRequest& request) {
    const QUrlQuery query = request.query();
    const std::string category =
        query.hasQueryItem(QStringLiteral("category"))
            ? CategoryBytes(query.queryItemValue(QStringLiteral("category"), QUrl::FullyDecoded))
            : m_doc.GetCurrentCategory();
    const CThreadRows list = RowsOf(category);
    QJsonArray rows;
    for (const CThreadRow& row : list.Rows())
        rows.append(QJsonObject{
            {QStringLiteral("id"), Ascii(row.id)},
            {QStringLiteral("title"), Text(row.title)},
            {QStringLiteral("held"), static_cast<int>(row.held)},
            {QStringLiteral("resCount"), static_cast<int>(row.resCount)},
            {QStringLiteral("name"), Text(row.name)},
            {QStringLiteral("updated"), Ascii(row.updated)},
            {QStringLiteral("created"), Ascii(row.created)},
            {QStringLiteral("mark"),
             row.icon == CThreadRow::kLightning ? QStringLiteral("new") : QStringLiteral("held")},
        });
    return Response(rows);
}

CWebInterface::Response CWebInterface::Thread(const QString& id) const {
    if (!webjson::IsId(id))
        return Error(Status::NotFound, QStringLiteral("no such thread"));
    const std::string threadId = id.toStdString();
    CThreadRecord thread;
    if (!thread.Load(threadId, m_doc.GetThreadDir()))
        return Error(Status::NotFound, QStringLiteral("no such thread"));
    const CPageBuilder builder(m_doc.GetThreadDir(), nullptr);
    const std::vector<CPagePost> posts = builder.LoadPosts(threadId);
    if (posts.empty()) // known, but none of its posts is held here
        return Error(Status::NotFound, QStringLiteral("データが存在しません。"));
    QJsonArray responses;
    for (const CPagePost& post : posts)
        responses.append(PostObject(post));
    return Response(QJsonObject{
        {QStringLiteral("id"), id},
        {QStringLiteral("title"), Text(thread.GetTitle())},
        {QStringLiteral("category"), Text(thread.GetCategory())},
        {QStringLiteral("held"), thread.GetHeld()},
        {QStringLiteral("resCount"), thread.GetResCount()},
        {QStringLiteral("created"), static_cast<qint64>(thread.GetCreated())},
        {QStringLiteral("updated"), static_cast<qint64>(thread.GetUpdated())},
        {QStringLiteral("responses"), responses},
    });
}

CWebInterface::Response CWebInterface::EntryPoints() const {
    CEntryPointFile file(m_doc.DataPath(CEntryPointFile::kFileName));
    file.Load();
    QJsonArray entries;
    for (const std::string& entry : file.Entries())
        entries.append(Text(entry));
    return Response(QJsonObject{{QStringLiteral("entries"), entries}});
}
