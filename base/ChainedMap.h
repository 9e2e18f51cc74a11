// CChainedMap: the string-keyed hash map under the node's two bounded tables
// (the message history and the thread source table): a fixed number of
// buckets, each a chain with new keys at its front. The bucket array exists
// only while the map holds a key. Not locked; its owners say who uses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

template <typename Value, unsigned kBucketCount> class CChainedMap {
public:
    // H = H * 33 + b over the key's bytes, b taken as a signed byte, on 32 bits.
    static unsigned Bucket(const std::string& key) {
        std::uint32_t hash = 0;
        for (char c : key)
            hash = hash * 33u + static_cast<std::uint32_t>(
                                    static_cast<std::int32_t>(static_cast<signed char>(c)));
        return hash % kBucketCount;
    }

    Value* Find(const std::string& key) {
        if (m_buckets.empty())
            return nullptr;
        for (Node* node = m_buckets[Bucket(key)].get(); node; node = node->next.get())
            if (node->key == key)
                return &node->value;
        return nullptr;
    }
    const Value* Find(const std::string& key) const {
        return const_cast<CChainedMap*>(this)->Find(key);
    }

    // The key must not be in the map yet.
    Value& Insert(const std::string& key, Value value) {
        if (m_buckets.empty())
            m_buckets.resize(kBucketCount);
        auto& head = m_buckets[Bucket(key)];
        head = std::make_unique<Node>(Node{key, std::move(value), std::move(head)});
        ++m_size;
        return head->value;
    }

    bool Erase(const std::string& key) {
        if (m_buckets.empty())
            return false;
        for (auto* link = &m_buckets[Bucket(key)]; *link; link = &(*link)->next) {
            if ((*link)->key != key)
                continue;
            *link = std::move((*link)->next);
            if (--m_size == 0)
                m_buckets.clear();
            return true;
        }
        return false;
    }

    std::size_t Size() const { return m_size; }

private:
    struct Node {
        std::string key;
        Value value;
        std::unique_ptr<Node> next;
    };
    std::vector<std::unique_ptr<Node>> m_buckets;
    std::size_t m_size = 0;
};
