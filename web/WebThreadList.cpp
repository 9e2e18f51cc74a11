// CWebInterface: the thread list served in pages. The current category's
// rows are the live list (the desktop's order and marks), listed from the
// index on the worker; another category is listed there too and kept until
// the store changes. Each page's rows are read from the store on the worker.
// GUI thread, except the work handed to the worker.
#include "web/WebInterface.h"

#include "app/PelmarDoc.h"
#include "web/WebJson.h"

#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

#include <utility>

namespace {

QString Ascii(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// {"total","offset","rows":[...]}: a row as the desktop's list shows it.
QByteArray PageJson(std::size_t total, std::size_t offset, const std::vector<CThreadRow>& list) {
    QJsonArray rows;
    for (const CThreadRow& row : list)
        rows.append(QJsonObject{
            {QStringLiteral("id"), Ascii(row.id)},
            {QStringLiteral("title"), webjson::Text(row.title)},
            {QStringLiteral("held"), static_cast<int>(row.held)},
            {QStringLiteral("resCount"), static_cast<int>(row.resCount)},
            {QStringLiteral("name"), webjson::Text(row.name)},
            {QStringLiteral("updated"), Ascii(row.updated)},
            {QStringLiteral("created"), Ascii(row.created)},
            {QStringLiteral("mark"),
             row.icon == CThreadRow::kLightning ? QStringLiteral("new") : QStringLiteral("held")},
        });
    return QJsonDocument(QJsonObject{{QStringLiteral("total"), static_cast<qint64>(total)},
                                     {QStringLiteral("offset"), static_cast<qint64>(offset)},
                                     {QStringLiteral("rows"), rows}})
        .toJson(QJsonDocument::Compact);
}

// A query number: absent gives the default; false when it is not a whole
// number.
bool Number(const QUrlQuery& query, const char* name, std::size_t fallback, std::size_t& value) {
    const QString key = QString::fromLatin1(name);
    if (!query.hasQueryItem(key)) {
        value = fallback;
        return true;
    }
    bool ok = false;
    const qulonglong number = query.queryItemValue(key).toULongLong(&ok);
    value = static_cast<std::size_t>(number);
    return ok;
}

// What the worker makes of another category: its listing and the page.
struct SListedPage {
    std::unique_ptr<CThreadRows> rows; // made there, then the GUI thread's
    QByteArray json;
};

} // namespace

void CWebInterface::ThreadList(const QHttpServerRequest& request,
                               QHttpServerResponder&& responder) {
    if (!Admit(request, responder))
        return;
    const SLater later = Later(std::move(responder));
    const QUrlQuery query = request.query();
    SPage page;
    page.category =
        query.hasQueryItem(QStringLiteral("category"))
            ? CategoryBytes(query.queryItemValue(QStringLiteral("category"), QUrl::FullyDecoded))
            : m_doc.GetCurrentCategory();
    if (!Number(query, "offset", 0, page.offset) ||
        !Number(query, "limit", kPageRows, page.limit) || page.limit == 0)
        return Answer(later, Error(Status::BadRequest,
                                   QStringLiteral("offset and limit are whole numbers, limit "
                                                  "at least 1")));
    page.limit = std::min(page.limit, kMaxPageRows);
    ServePage(page, later);
}

void CWebInterface::ServePage(const SPage& page, const SLater& later) {
    const std::string root = m_doc.GetThreadDir();
    const CThreadRows* rows = nullptr;
    if (page.category == m_doc.GetCurrentCategory()) {
        if (!m_rowsFilled || m_rows.Category() != page.category) {
            if (!m_filling)
                StartFill();
            m_waitingForFill.push_back([this, page, later] { ServePage(page, later); });
            return;
        }
        rows = &m_rows;
    } else if (m_other && m_other->Category() == page.category) {
        rows = m_other.get();
    }
    if (rows) {
        OffThread(
            [root, slice = rows->Slice(page.offset, page.limit), total = rows->Size(),
             offset = page.offset] {
                return PageJson(total, offset, CThreadRows::PageRows(root, slice));
            },
            [this, later](QByteArray json) { Answer(later, Response("application/json", json)); });
        return;
    }
    // Another category: listed on the worker, and kept for its next pages
    // unless the store changed meanwhile.
    const int generation = m_storeGeneration;
    OffThread(
        [root, page] {
            SListedPage made;
            made.rows = std::make_unique<CThreadRows>(root);
            made.rows->Refill(page.category);
            made.json =
                PageJson(made.rows->Size(), page.offset,
                         CThreadRows::PageRows(root, made.rows->Slice(page.offset, page.limit)));
            return made;
        },
        [this, later, generation](SListedPage made) {
            if (generation == m_storeGeneration)
                m_other = std::move(made.rows);
            Answer(later, Response("application/json", made.json));
            TrimSoon();
        });
}

void CWebInterface::StartFill() {
    // Changes that came before this fill are in what it lists.
    m_filling = true;
    m_heldUpdates.clear();
    const int generation = ++m_fillGeneration;
    const std::string root = m_doc.GetThreadDir();
    const std::string category = m_doc.GetCurrentCategory();
    OffThread([root, category] { return CThreadRows::Listed(root, category); },
              [this, generation, category](std::vector<CListedThread> listed) {
                  if (generation != m_fillGeneration)
                      return;
                  m_rows.Assign(category, std::move(listed));
                  m_rowsFilled = true;
                  m_filling = false;
                  for (const CThreadSummary& summary : std::exchange(m_heldUpdates, {}))
                      m_rows.UpdateThreadRow(summary.threadId, summary.title, summary.resCount,
                                             summary.name, summary.time, summary.isNew);
                  for (const auto& waiting : std::exchange(m_waitingForFill, {}))
                      waiting();
                  TrimSoon();
              });
}
