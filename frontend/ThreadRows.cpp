// CThreadRows: the thread list's rows without a widget.
#include "frontend/ThreadRows.h"

#include "frontend/PageBuilder.h"
#include "store/ThreadIndex.h"
#include "store/ThreadRecord.h"

#include <algorithm>

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

namespace {
std::array<char, 17> UpdatedKey(std::string_view text) {
    std::array<char, 17> key{};
    text.copy(key.data(), std::min(text.size(), key.size()));
    return key;
}

CListedThread Listing(std::string_view id, std::string_view updated) {
    CListedThread listed;
    id.copy(listed.id.data(), std::min(id.size(), listed.id.size()));
    listed.updated = UpdatedKey(updated);
    return listed;
}
} // namespace

std::vector<CListedThread> CThreadRows::Listed(const std::string& root,
                                               const std::string& category) {
    std::vector<std::string> ids;
    std::vector<std::uint32_t> times;
    CThreadIndex(category, root).List(ids, &times);
    std::vector<CListedThread> listed;
    listed.reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i)
        listed.push_back(Listing(ids[i], CPageBuilder::FormatTime(times[i])));
    return listed;
}

void CThreadRows::Assign(const std::string& category, std::vector<CListedThread> listed) {
    m_category = category;
    m_listed = std::move(listed);
}

void CThreadRows::Refill(const std::string& category) {
    Assign(category, Listed(m_root, category));
}

std::vector<CListedThread> CThreadRows::Slice(std::size_t offset, std::size_t limit) const {
    const std::size_t begin = std::min(offset, m_listed.size());
    const std::size_t end = begin + std::min(limit, m_listed.size() - begin);
    return std::vector<CListedThread>(m_listed.begin() + static_cast<std::ptrdiff_t>(begin),
                                      m_listed.begin() + static_cast<std::ptrdiff_t>(end));
}

std::vector<CThreadRow> CThreadRows::PageRows(const std::string& root,
                                              const std::vector<CListedThread>& slice) {
    std::vector<CThreadRow> rows;
    rows.reserve(slice.size());
    CThreadRow row;
    for (const CListedThread& listed : slice) {
        if (listed.shown)
            rows.push_back(*listed.shown);
        else if (StoredRow(root, listed.Id(), row))
            rows.push_back(std::move(row));
    }
    return rows;
}

const CListedThread* CThreadRows::Find(std::string_view id) const {
    for (const CListedThread& listed : m_listed)
        if (std::string_view(listed.id.data(), listed.id.size()) == id)
            return &listed;
    return nullptr;
}

void CThreadRows::UpdateThreadRow(const std::string& id, const std::string& title,
                                  std::uint16_t resCount, const std::string& name,
                                  std::uint32_t time, bool isNew) {
    auto fresh =
        std::make_shared<CThreadRow>(AnnouncedRow(m_root, id, title, resCount, name, time, isNew));
    CListedThread place = Listing(id, fresh->updated);
    bool done = false;
    const auto same = [&](std::size_t i) { return m_listed[i].id == place.id; };
    for (std::size_t i = 0; i < m_listed.size(); ++i) {
        if (isNew) {
            // Every older row of the thread goes, so exactly one remains.
            while (i < m_listed.size() && same(i))
                m_listed.erase(m_listed.begin() + static_cast<std::ptrdiff_t>(i));
            if (!done && (i >= m_listed.size() || m_listed[i].updated < place.updated)) {
                place.shown = fresh;
                m_listed.insert(m_listed.begin() + static_cast<std::ptrdiff_t>(i), place);
                done = true;
            }
        } else if (same(i)) {
            // A fetched thread keeps its place (and a creation time it showed)
            // and shows as held.
            auto fetched = std::make_shared<CThreadRow>(*fresh);
            fetched->icon = CThreadRow::kSheet;
            if (fresh->created.empty()) {
                CThreadRow before;
                if (m_listed[i].shown)
                    fetched->created = m_listed[i].shown->created;
                else if (StoredRow(m_root, id, before))
                    fetched->created = before.created;
            }
            m_listed[i].shown = std::move(fetched);
            m_listed[i].updated = place.updated;
            done = true;
        }
    }
    if (!done) {
        place.shown = fresh;
        m_listed.push_back(std::move(place));
    }
}
