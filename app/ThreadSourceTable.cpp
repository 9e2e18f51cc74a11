// CThreadSourceTable and CThreadSources: the holders heard of per thread id.
// Written by the queryhit handler on the GUI thread and read by the fetch
// worker, both under the document's source lock; the records handed out by
// Lookup are copies, so walking them needs no lock.
#include "app/ThreadSourceTable.h"

struct CThreadSourceTable::Node {
    std::string key;
    CThreadSources sources;
    Node* next = nullptr;
};

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

CThreadSourceTable::CThreadSourceTable() = default;

CThreadSourceTable::~CThreadSourceTable() {
    for (Node* head : m_buckets) {
        while (head) {
            Node* next = head->next;
            delete head;
            head = next;
        }
    }
}

unsigned CThreadSourceTable::Bucket(const std::string& key) {
    std::uint32_t hash = 0;
    for (char c : key)
        hash = hash * 33u +
               static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(c)));
    return hash % kBuckets;
}

CThreadSourceTable::Node* CThreadSourceTable::Find(const std::string& key) const {
    if (m_buckets.empty())
        return nullptr;
    for (Node* node = m_buckets[Bucket(key)]; node; node = node->next)
        if (node->key == key)
            return node;
    return nullptr;
}

void CThreadSourceTable::Erase(const std::string& key) {
    if (m_buckets.empty())
        return;
    Node** link = &m_buckets[Bucket(key)];
    while (*link) {
        Node* node = *link;
        if (node->key == key) {
            *link = node->next;
            delete node;
            if (--m_count == 0)
                m_buckets.clear(); // the bucket array goes with the last key
            return;
        }
        link = &node->next;
    }
}

void CThreadSourceTable::AddSource(const std::string& threadId, const CIPv4Address& address,
                                   std::uint16_t port, std::uint32_t time, std::uint16_t resCount) {
    CSourceEntry entry;
    entry.address = address;
    entry.port = port;
    entry.time = time;
    entry.resCount = resCount;

    if (Node* known = Find(threadId)) {
        // A known thread keeps its place in the key ring, so it still ages
        // out in the turn of its first sighting.
        known->sources.Add(entry);
        return;
    }

    // Until the ring has gone round once its slots were never written, so only
    // a full table evicts; this keeps an empty thread id from being taken for
    // an unwritten slot.
    std::string& slot = m_keyRing[m_ringPosition];
    if (m_count == kKeys)
        Erase(slot);
    slot = threadId;

    if (m_buckets.empty())
        m_buckets.assign(kBuckets, nullptr);
    Node* node = new Node;
    node->key = threadId;
    node->sources.Add(entry);
    Node*& head = m_buckets[Bucket(threadId)];
    node->next = head;
    head = node;
    ++m_count;

    m_ringPosition = (m_ringPosition + 1) % kKeys;
}

bool CThreadSourceTable::Lookup(const std::string& threadId, CThreadSources& sources) const {
    const Node* node = Find(threadId);
    if (!node)
        return false;
    sources = node->sources;
    return true;
}
