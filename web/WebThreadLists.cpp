// CWebThreadLists: the lists behind the thread list's pages, on the worker.
#include "web/WebThreadLists.h"

#include "web/WebJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <utility>
#include <vector>

namespace {

std::string PageJson(std::size_t total, std::size_t offset, const std::vector<CThreadRow>& list) {
    QJsonArray rows;
    for (const CThreadRow& row : list)
        rows.append(QJsonObject{
            {QStringLiteral("id"), webjson::Ascii(row.id)},
            {QStringLiteral("title"), webjson::Text(row.title)},
            {QStringLiteral("held"), static_cast<int>(row.held)},
            {QStringLiteral("resCount"), static_cast<int>(row.resCount)},
            {QStringLiteral("name"), webjson::Text(row.name)},
            {QStringLiteral("updated"), webjson::Ascii(row.updated)},
            {QStringLiteral("created"), webjson::Ascii(row.created)},
            {QStringLiteral("mark"),
             row.icon == CThreadRow::kLightning ? QStringLiteral("new") : QStringLiteral("held")},
        });
    const QByteArray json =
        QJsonDocument(QJsonObject{{QStringLiteral("total"), static_cast<qint64>(total)},
                                  {QStringLiteral("offset"), static_cast<qint64>(offset)},
                                  {QStringLiteral("rows"), rows}})
            .toJson(QJsonDocument::Compact);
    return std::string(json.constData(), static_cast<std::size_t>(json.size()));
}

} // namespace

CWebThreadLists::CWebThreadLists(std::string root) : m_root(std::move(root)), m_rows(m_root) {}

bool CWebThreadLists::Ensure(const std::string& current) {
    // Read before listing: a refill wanted while this one runs makes another.
    const int wanted = m_refillWanted.load();
    if (m_refillDone == wanted && m_rows.Category() == current)
        return false;
    m_rows.Refill(current);
    m_refillDone = wanted;
    return true;
}

bool CWebThreadLists::Update(const std::string& current, const CThreadSummary& summary) {
    const bool listed = Ensure(current);
    m_rows.UpdateThreadRow(summary.threadId, summary.title, summary.resCount, summary.name,
                           summary.time, summary.isNew);
    return listed;
}

std::string CWebThreadLists::Page(const std::string& current, const std::string& category,
                                  std::size_t offset, std::size_t limit, bool& listed) {
    listed = false;
    const CThreadRows* rows = &m_rows;
    if (category == current) {
        listed = Ensure(current);
    } else {
        // Another category: listed here, and kept for its next pages unless
        // the store changed meanwhile.
        const int generation = m_storeGeneration.load();
        if (!m_other || m_other->Category() != category || m_otherGeneration != generation) {
            m_other.reset(); // its memory goes before the next listing takes more
            auto other = std::make_unique<CThreadRows>(m_root);
            other->Refill(category);
            m_other = std::move(other);
            m_otherGeneration = generation;
            listed = true;
        }
        rows = m_other.get();
    }
    return PageJson(rows->Size(), offset,
                    CThreadRows::PageRows(m_root, rows->Slice(offset, limit)));
}
