// CMessageHistory: the ids of the last 1000 messages seen or sent, each with
// the connection it came from (or was last sent to). Repeated requests are
// dropped by it and replies are routed back along their request's path. GUI
// thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

struct CRouteEntry {
    // The connection's serial number: a deleted connection's number is never
    // reused, so a new connection is never taken for a gone one.
    std::uint64_t originSerial = 0;
    bool originatedHere = false;
    // Updates: the highest TTL of the copies this node relayed (0: none).
    std::uint8_t relayedTtl = 0;
};

class CMessageHistory {
public:
    static constexpr int kKeys = 1000;

    CMessageHistory() { m_index.fill(kNoSlot); }

    // Takes the oldest ring slot (forgetting its key), then inserts or
    // overwrites. The last recording of a key wins.
    void Record(std::string_view key, std::uint64_t originSerial, bool originatedHere);
    bool Lookup(std::string_view key, CRouteEntry& entry) const;
    // Notes how a known update was relayed; the ring is left as it is.
    void NoteRelayed(std::string_view key, std::uint8_t ttl);

private:
    // Every node keeps one history and every message it handles looks in it,
    // so a key is held in place: a message id (32 hex digits) as its 16
    // bytes, any other key of up to 16 bytes as it is, longer ones aside.
    struct Key {
        static constexpr std::uint8_t kHex = 0xfe;  // bytes: the id's 16
        static constexpr std::uint8_t kLong = 0xff; // the text is in m_longKeys
        std::array<std::uint8_t, 16> bytes{};
        std::uint8_t form = 0; // 0-16: a plain key of that length; 0 is the empty key
    };
    // A ring slot: the key recorded there and, while the slot holds the
    // key's last recording, the key's entry.
    struct Slot {
        Key key;
        CRouteEntry entry;
    };
    static constexpr std::uint16_t kNoSlot = 0xffff;
    static constexpr std::size_t kIndexSize = 2048; // a power of two above kKeys

    static Key MakeKey(std::string_view text);
    static std::size_t Hash(const Key& key, std::string_view text);
    bool Holds(int slot, const Key& key, std::string_view text) const;
    // The index cell of the key's entry, or kIndexSize when it has none.
    std::size_t Find(const Key& key, std::string_view text) const;
    const CRouteEntry* FindEntry(std::string_view text) const;
    // Drops the key of the slot from the index (a key can be in the ring
    // more than once: whichever of its slots comes round first forgets it).
    void Forget(int slot);

    int m_next = 0;
    std::array<Slot, kKeys> m_slots{};
    // Open addressing over the slots: each cell names the slot of a key's
    // last recording.
    std::array<std::uint16_t, kIndexSize> m_index;
    std::unordered_map<int, std::string> m_longKeys; // by slot
    // The empty key has no slot of its own: once recorded it stays.
    bool m_hasEmpty = false;
    CRouteEntry m_empty;
};
