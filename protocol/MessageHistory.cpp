// CMessageHistory: a ring of 1000 keys over a chained map of 1200 buckets.
// Forgetting is by insertion order only; lookups never refresh a key.
#include "protocol/MessageHistory.h"

void CMessageHistory::Record(const std::string& key, std::uint64_t originSerial,
                             bool originatedHere) {
    std::string& slot = m_keyRing[m_slot];
    if (!slot.empty())
        m_map.Erase(slot);
    slot = key;
    const CRouteEntry entry{originSerial, originatedHere};
    if (CRouteEntry* known = m_map.Find(key))
        *known = entry;
    else
        m_map.Insert(key, entry);
    m_slot = (m_slot + 1) % kKeys;
}

void CMessageHistory::NoteRelayed(const std::string& key, std::uint8_t ttl, bool again) {
    if (CRouteEntry* known = m_map.Find(key)) {
        known->relayedTtl = ttl;
        known->relayedAgain = known->relayedAgain || again;
    }
}

bool CMessageHistory::Lookup(const std::string& key, CRouteEntry& entry) const {
    const CRouteEntry* found = m_map.Find(key);
    if (found)
        entry = *found;
    return found != nullptr;
}
