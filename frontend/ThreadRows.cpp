// CThreadRows: the thread list's rows without a widget.
#include "frontend/ThreadRows.h"

#include "frontend/PageBuilder.h"
#include "store/ThreadIndex.h"
#include "store/ThreadRecord.h"

namespace {
std::string CreatedText(std::uint32_t created) {
    return created != 0 ? CPageBuilder::FormatTime(created) : std::string();
}
} // namespace

bool CThreadRows::StoredRow(const std::string& root, const std::string& id, CThreadRow& row) {
    CThreadRecord record;
    if (!record.Load(id, root))
        return false;
    row = CThreadRow();
    row.id = id;
    row.title = record.GetTitle();
    row.held = record.GetHeld();
    row.resCount = record.GetResCount();
    row.name = record.GetName();
    row.updated = CPageBuilder::FormatTime(record.GetUpdated());
    row.created = CreatedText(record.GetCreated());
    return true;
}

CThreadRow CThreadRows::AnnouncedRow(const std::string& root, const std::string& id,
                                     const std::string& title, std::uint16_t resCount,
                                     const std::string& name, std::uint32_t time, bool isNew) {
    CThreadRow row;
    row.id = id;
    row.title = title;
    row.resCount = resCount;
    row.name = name;
    row.updated = CPageBuilder::FormatTime(time);
    CThreadRecord record;
    if (record.Load(id, root)) {
        row.held = record.GetHeld();
        row.created = CreatedText(record.GetCreated());
        row.icon = isNew ? CThreadRow::kLightning : CThreadRow::kSheet;
    } else {
        row.icon = CThreadRow::kLightning;
    }
    return row;
}

void CThreadRows::Refill(const std::string& category) {
    m_category = category;
    m_rows.clear();
    std::vector<std::string> ids;
    CThreadIndex(category, m_root).List(ids);
    CThreadRow row;
    for (const std::string& id : ids)
        if (StoredRow(m_root, id, row))
            m_rows.push_back(std::move(row));
}

void CThreadRows::UpdateThreadRow(const std::string& id, const std::string& title,
                                  std::uint16_t resCount, const std::string& name,
                                  std::uint32_t time, bool isNew) {
    const CThreadRow fresh = AnnouncedRow(m_root, id, title, resCount, name, time, isNew);
    bool done = false;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (isNew) {
            // Every older row of the thread goes, so exactly one remains.
            while (i < m_rows.size() && m_rows[i].id == id)
                m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(i));
            if (!done && (i >= m_rows.size() || m_rows[i].updated < fresh.updated)) {
                m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(i), fresh);
                done = true;
            }
        } else if (m_rows[i].id == id) {
            // A fetched thread keeps its place (and a creation time it showed).
            const std::string created = m_rows[i].created;
            m_rows[i] = fresh;
            m_rows[i].icon = CThreadRow::kSheet;
            if (fresh.created.empty())
                m_rows[i].created = created;
            done = true;
        }
    }
    if (!done)
        m_rows.push_back(fresh);
}
