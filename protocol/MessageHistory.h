// CMessageHistory: the ids of the last 1000 messages seen or sent, each with
// the connection it came from (or was last sent to). Repeated requests are
// dropped by it and replies are routed back along their request's path. GUI
// thread only.
#pragma once

#include "base/ChainedMap.h"

#include <array>
#include <cstdint>
#include <string>

struct CRouteEntry {
    // The connection's serial number: a deleted connection's number is never
    // reused, so a new connection is never taken for a gone one.
    std::uint64_t originSerial = 0;
    bool originatedHere = false;
    // Updates: the TTL of the copies this node relayed (0: none), and whether
    // a repeat was relayed once more.
    std::uint8_t relayedTtl = 0;
    bool relayedAgain = false;
};

class CMessageHistory {
public:
    static constexpr int kKeys = 1000;
    static constexpr unsigned kBuckets = 1200;

    // Takes the oldest ring slot (forgetting its key), then inserts or
    // overwrites. The last recording of a key wins.
    void Record(const std::string& key, std::uint64_t originSerial, bool originatedHere);
    bool Lookup(const std::string& key, CRouteEntry& entry) const;
    // Notes how a known update was relayed; the ring is left as it is.
    void NoteRelayed(const std::string& key, std::uint8_t ttl, bool again);

private:
    int m_slot = 0;
    std::array<std::string, kKeys> m_keyRing;
    CChainedMap<CRouteEntry, kBuckets> m_map;
};
