// CThreadSourceTable and CThreadSources: the holders heard of per thread id.
// Written on the GUI thread and read by the fetch worker, each call under the
// table's own lock; the records handed out by Lookup are copies, so walking
// them needs no lock.
#include "transfer/ThreadSourceTable.h"

void CThreadSources::Add(const CSourceEntry& entry) {
    m_entries[m_writeIndex] = entry;
    m_writeIndex = (m_writeIndex + 1) % kSize;
}

bool CThreadSources::SelectNewest() {
    std::uint32_t best = 0;
    int chosen = 0;
    // ">=" lets the later slot win a tie: it was written more recently.
    for (int i = 0; i < kSize; ++i) {
        if (m_entries[i].time >= best) {
            best = m_entries[i].time;
            chosen = i;
        }
    }
    if (best == 0)
        return false;
    m_cursor = chosen;
    m_stop = (chosen + 1) % kSize;
    return true;
}

bool CThreadSources::NextSource(CSourceEntry& entry) {
    if (m_cursor == m_stop || m_entries[m_cursor].time == 0)
        return false;
    entry = m_entries[m_cursor];
    m_cursor = m_cursor == 0 ? kSize - 1 : m_cursor - 1;
    return true;
}

int CThreadSources::CountSources() const {
    int count = 0;
    for (const CSourceEntry& entry : m_entries)
        if (entry.time != 0)
            ++count;
    return count;
}

void CThreadSourceTable::AddSource(const std::string& threadId, const CIPv4Address& address,
                                   std::uint16_t port, std::uint32_t time, std::uint16_t resCount) {
    CSourceEntry entry;
    entry.address = address;
    entry.port = port;
    entry.time = time;
    entry.resCount = resCount;

    std::lock_guard lock(m_lock);
    if (CThreadSources* known = m_map.Find(threadId)) {
        // A known thread keeps its place in the key ring, so it still ages
        // out in the turn of its first sighting.
        known->Add(entry);
        return;
    }

    // Until the ring has gone round once its slots were never written, so only
    // a full table evicts; this keeps an empty thread id from being taken for
    // an unwritten slot.
    std::string& slot = m_keyRing[m_ringPosition];
    if (m_map.Size() == kKeys)
        m_map.Erase(slot);
    slot = threadId;
    m_map.Insert(threadId, CThreadSources{}).Add(entry);

    m_ringPosition = (m_ringPosition + 1) % kKeys;
}

bool CThreadSourceTable::Lookup(const std::string& threadId, CThreadSources& sources) const {
    std::lock_guard lock(m_lock);
    const CThreadSources* found = m_map.Find(threadId);
    if (found)
        sources = *found;
    return found != nullptr;
}
