// CMessageHistory: a ring of 1000 keys over a chained hash map of 1200 buckets.
// Forgetting is by insertion order only; lookups never refresh a key.
#include "protocol/MessageHistory.h"

CMessageHistory::CMessageHistory() : m_buckets(kBuckets, nullptr) {}

CMessageHistory::~CMessageHistory() {
    for (Node* head : m_buckets) {
        while (head) {
            Node* next = head->next;
            delete head;
            head = next;
        }
    }
}

unsigned CMessageHistory::Bucket(const std::string& key) {
    std::uint32_t hash = 0;
    for (char c : key)
        hash = hash * 33 + static_cast<std::uint32_t>(static_cast<std::int32_t>(
                               static_cast<signed char>(c)));
    return hash % kBuckets;
}

CMessageHistory::Node* CMessageHistory::Find(const std::string& key) const {
    for (Node* node = m_buckets[Bucket(key)]; node; node = node->next)
        if (node->key == key)
            return node;
    return nullptr;
}

void CMessageHistory::Erase(const std::string& key) {
    Node** link = &m_buckets[Bucket(key)];
    while (*link) {
        if ((*link)->key == key) {
            Node* gone = *link;
            *link = gone->next;
            delete gone;
            return;
        }
        link = &(*link)->next;
    }
}

void CMessageHistory::Record(const std::string& key, std::uint64_t originSerial,
                             bool originatedHere) {
    const std::string& oldest = m_keyRing[m_slot];
    if (!oldest.empty())
        Erase(oldest);
    m_keyRing[m_slot] = key;
    if (Node* node = Find(key)) {
        node->entry = CRouteEntry{originSerial, originatedHere};
    } else {
        Node*& head = m_buckets[Bucket(key)];
        head = new Node{key, CRouteEntry{originSerial, originatedHere}, head};
    }
    m_slot = (m_slot + 1) % kKeys;
}

bool CMessageHistory::Lookup(const std::string& key, CRouteEntry& entry) const {
    if (const Node* node = Find(key)) {
        entry = node->entry;
        return true;
    }
    return false;
}
