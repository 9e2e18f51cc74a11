// CMessageHistory: a ring of 1000 slots under an open-addressed index.
// Forgetting is by insertion order only; lookups never refresh a key.
#include "protocol/MessageHistory.h"

#include <cstring>
#include <functional>

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

CMessageHistory::Key CMessageHistory::MakeKey(std::string_view text) {
    Key key;
    if (text.size() == 2 * key.bytes.size()) {
        bool hex = true;
        for (std::size_t i = 0; hex && i < key.bytes.size(); ++i) {
            const int high = HexValue(text[2 * i]);
            const int low = HexValue(text[2 * i + 1]);
            hex = high >= 0 && low >= 0;
            key.bytes[i] = static_cast<std::uint8_t>(16 * high + low);
        }
        if (hex) {
            key.form = Key::kHex;
            return key;
        }
        key.bytes.fill(0);
    }
    if (text.size() > key.bytes.size()) {
        key.form = Key::kLong;
        return key;
    }
    std::memcpy(key.bytes.data(), text.data(), text.size());
    key.form = static_cast<std::uint8_t>(text.size());
    return key;
}

std::size_t CMessageHistory::Hash(const Key& key, std::string_view text) {
    if (key.form == Key::kLong)
        return std::hash<std::string_view>()(text);
    std::uint64_t a, b;
    std::memcpy(&a, key.bytes.data(), 8);
    std::memcpy(&b, key.bytes.data() + 8, 8);
    const std::uint64_t mixed =
        (a ^ (b * 0x9e3779b97f4a7c15ull) ^ key.form) * 0xff51afd7ed558ccdull;
    return static_cast<std::size_t>(mixed >> 32);
}

bool CMessageHistory::Holds(int slot, const Key& key, std::string_view text) const {
    const Key& held = m_slots[slot].key;
    if (held.form != key.form || held.bytes != key.bytes)
        return false;
    if (key.form != Key::kLong)
        return true;
    const auto found = m_longKeys.find(slot);
    return found != m_longKeys.end() && found->second == text;
}

std::size_t CMessageHistory::Find(const Key& key, std::string_view text) const {
    for (std::size_t cell = Hash(key, text) % kIndexSize;; cell = (cell + 1) % kIndexSize) {
        const std::uint16_t slot = m_index[cell];
        if (slot == kNoSlot)
            return kIndexSize;
        if (Holds(slot, key, text))
            return cell;
    }
}

const CRouteEntry* CMessageHistory::FindEntry(std::string_view text) const {
    const Key key = MakeKey(text);
    if (key.form == 0)
        return m_hasEmpty ? &m_empty : nullptr;
    const std::size_t cell = Find(key, text);
    return cell == kIndexSize ? nullptr : &m_slots[m_index[cell]].entry;
}

void CMessageHistory::Forget(int slot) {
    const Key& key = m_slots[slot].key;
    if (key.form == 0)
        return;
    std::string_view text;
    if (key.form == Key::kLong)
        text = m_longKeys[slot];
    std::size_t hole = Find(key, text);
    if (hole != kIndexSize) {
        // Linear probing without tombstones: later cells of the run move up
        // into the hole unless they already sit at or after their home cell.
        for (std::size_t cell = (hole + 1) % kIndexSize; m_index[cell] != kNoSlot;
             cell = (cell + 1) % kIndexSize) {
            const int moved = m_index[cell];
            std::string_view movedText;
            if (m_slots[moved].key.form == Key::kLong)
                movedText = m_longKeys[moved];
            const std::size_t home = Hash(m_slots[moved].key, movedText) % kIndexSize;
            const bool stays =
                hole <= cell ? (hole < home && home <= cell) : (hole < home || home <= cell);
            if (stays)
                continue;
            m_index[hole] = m_index[cell];
            hole = cell;
        }
        m_index[hole] = kNoSlot;
    }
    if (key.form == Key::kLong)
        m_longKeys.erase(slot);
}

void CMessageHistory::Record(std::string_view text, std::uint64_t originSerial,
                             bool originatedHere) {
    const int slot = m_next;
    m_next = (m_next + 1) % kKeys;
    Forget(slot);
    const Key key = MakeKey(text);
    const CRouteEntry entry{originSerial, originatedHere};
    m_slots[slot].key = key;
    if (key.form == 0) {
        m_hasEmpty = true;
        m_empty = entry;
        return;
    }
    if (key.form == Key::kLong)
        m_longKeys[slot] = std::string(text);
    m_slots[slot].entry = entry;
    // A key recorded again keeps one entry: its cell now names this slot.
    std::size_t cell = Find(key, text);
    if (cell == kIndexSize)
        for (cell = Hash(key, text) % kIndexSize; m_index[cell] != kNoSlot;
             cell = (cell + 1) % kIndexSize) {
        }
    m_index[cell] = static_cast<std::uint16_t>(slot);
}

void CMessageHistory::NoteRelayed(std::string_view key, std::uint8_t ttl) {
    if (auto* known = const_cast<CRouteEntry*>(FindEntry(key)))
        known->relayedTtl = ttl;
}

bool CMessageHistory::Lookup(std::string_view key, CRouteEntry& entry) const {
    const CRouteEntry* found = FindEntry(key);
    if (found)
        entry = *found;
    return found != nullptr;
}
