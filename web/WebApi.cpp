// CWebInterface: the API's reading side. Every text the store or a file holds
// leaves as a JSON string converted from Shift_JIS, never as markup.
#include "web/WebInterface.h"

#include "app/PelmarDoc.h"
#include "app/Retention.h"
#include "base/Cp932Text.h"
#include "frontend/CategoryFile.h"
#include "frontend/EntryPointFile.h"
#include "frontend/PageBuilder.h"
#include "protocol/Connection.h"
#include "res/Strings.h"
#include "store/StorePaths.h"
#include "store/ThreadRecord.h"
#include "web/WebJson.h"

#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonObject>
#include <QUrlQuery>

#include <filesystem>

using webjson::Ascii;
using webjson::Text;

namespace {

// JSON text written straight from the stored bytes: a thread of a thousand
// responses is a megabyte, and building it as JSON objects first would cost
// more than reading it.
void AppendJsonString(std::string& out, std::string_view utf8) {
    out += '"';
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0f];
        } else {
            out += c;
        }
    }
    out += '"';
}

void AppendText(std::string& out, std::string_view key, const std::string& raw) {
    out += '"';
    out += key;
    out += "\":";
    AppendJsonString(out, cp932text::ToUtf8(raw));
}

void AppendPost(std::string& out, const CPagePost& post) {
    out += "{\"id\":\"" + post.id + "\",";
    AppendText(out, "title", post.title);
    out += ',';
    AppendText(out, "name", post.name);
    out += ',';
    AppendText(out, "mail", post.mail);
    out += ",\"time\":" + std::to_string(post.time) + ",\"timeText\":\"" +
           CPageBuilder::FormatTime(post.time) + "\",";
    AppendText(out, "body", post.body);
    out += '}';
}

// What tells that a thread's files changed: responses are written under a
// temporary name and renamed into its directory, and every post rewrites
// its ".info".
std::pair<std::filesystem::file_time_type, std::filesystem::file_time_type>
ThreadStamp(const std::string& root, const std::string& threadId) {
    std::error_code error;
    const auto dir = std::filesystem::last_write_time(storepaths::ThreadDir(root, threadId), error);
    const auto info = std::filesystem::last_write_time(storepaths::InfoFile(root, threadId), error);
    return {dir, info};
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

bool CWebInterface::KnownCategory(const QString& name, std::string& bytes) const {
    CCategoryFile categories;
    if (name.isEmpty() ||
        categories.Load(m_doc.DataPath("category.dat")) != CCategoryFile::Result::Ok)
        return false;
    for (const CCategoryItem& item : categories.Items())
        if (Text(item.name) == name) {
            bytes = item.name;
            return true;
        }
    return false;
}

CWebInterface::Response CWebInterface::Status_() const {
    QJsonArray peers;
    for (const CConnection* connection : m_doc.GetConnections())
        if (!connection->IsClosed() && connection->IsEstablished())
            peers.append(
                QJsonObject{{QStringLiteral("address"), Ascii(connection->GetPeerAddress())},
                            {QStringLiteral("port"), connection->GetPeerPort()}});
    const int state = m_doc.GetReflectorState();
    const bool fetching = m_doc.IsFetchInProgress();
    const CRetention& retention = m_doc.Retention();
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
        // The store as its last hourly look found it; null before the first.
        {QStringLiteral("store"),
         retention.HasSurvey()
             ? QJsonValue(QJsonObject{
                   {QStringLiteral("bytes"), static_cast<qint64>(retention.StoreBytes())},
                   {QStringLiteral("threads"), static_cast<qint64>(retention.StoreThreads())}})
             : QJsonValue()},
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

namespace {
// What the worker makes of a thread: its JSON, or why there is none.
struct SThreadJson {
    enum { kOk, kNoThread, kNoPosts } result = kOk;
    std::string json;
};

SThreadJson BuildThreadJson(const std::string& root, const std::string& threadId) {
    SThreadJson made;
    CThreadRecord thread;
    if (!thread.Load(threadId, root)) {
        made.result = SThreadJson::kNoThread;
        return made;
    }
    const std::vector<CPagePost> posts = CPageBuilder(root, nullptr).LoadPosts(threadId);
    if (posts.empty()) { // known, but none of its posts is held here
        made.result = SThreadJson::kNoPosts;
        return made;
    }
    std::string& json = made.json;
    json = "{\"id\":\"" + threadId + "\",";
    AppendText(json, "title", thread.GetTitle());
    json += ',';
    AppendText(json, "category", thread.GetCategory());
    json += ",\"held\":" + std::to_string(thread.GetHeld()) +
            ",\"resCount\":" + std::to_string(thread.GetResCount()) +
            ",\"created\":" + std::to_string(thread.GetCreated()) +
            ",\"updated\":" + std::to_string(thread.GetUpdated()) + ",\"responses\":[";
    for (std::size_t i = 0; i < posts.size(); ++i) {
        if (i > 0)
            json += ',';
        AppendPost(json, posts[i]);
    }
    json += "]}";
    return made;
}
} // namespace

void CWebInterface::Thread(const QString& id, QHttpServerResponder&& responder) {
    const SLater later = Later(std::move(responder));
    if (!webjson::IsId(id))
        return Answer(later, Error(Status::NotFound, QStringLiteral("no such thread")));
    const std::string threadId = id.toStdString();
    const std::string root = m_doc.GetThreadDir();
    const auto stamp = ThreadStamp(root, threadId);
    for (const CThreadCache& cached : m_threadCache)
        if (cached.threadId == threadId && cached.stamp == stamp)
            return AnswerJson(later, cached.json);

    // A thread of 30,000 responses takes most of a second to read and write
    // out: the worker does it, and its buffer is what the socket is given.
    OffThread([root, threadId] { return BuildThreadJson(root, threadId); },
              [this, later, threadId, stamp](SThreadJson made) {
                  if (made.result == SThreadJson::kNoThread)
                      return Answer(later,
                                    Error(Status::NotFound, QStringLiteral("no such thread")));
                  if (made.result == SThreadJson::kNoPosts)
                      return Answer(
                          later, Error(Status::NotFound, QStringLiteral("データが存在しません。")));
                  auto json = std::make_shared<const std::string>(std::move(made.json));
                  // The page asks again after every change it hears of; a few
                  // threads' answers are kept until their files change, a
                  // large one is not kept.
                  if (json->size() < static_cast<std::size_t>(kLargeAnswer)) {
                      if (m_threadCache.size() >= kThreadCacheSize)
                          m_threadCache.erase(m_threadCache.begin());
                      m_threadCache.push_back(CThreadCache{threadId, stamp, json});
                  }
                  AnswerJson(later, std::move(json));
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
