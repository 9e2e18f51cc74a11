// CThreadSourceTable: which nodes were last heard to hold which thread. Written
// on the GUI thread (holders named by queryhits) and read by the fetch worker;
// the table takes its own lock, and Lookup hands out copies.
#pragma once

#include "base/ChainedMap.h"
#include "base/IPv4Address.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

// One holder of a thread; time 0 marks an empty entry.
struct CSourceEntry {
    CIPv4Address address;
    std::uint16_t port = 0;
    std::uint32_t time = 0;
    std::uint16_t resCount = 0;
};

// The last ten holders of one thread, kept as a ring.
class CThreadSources {
public:
    static constexpr int kSize = 10;

    void Add(const CSourceEntry& entry);
    // Puts the cursor on the newest entry (the highest index among equal
    // times); false when no entry is filled.
    bool SelectNewest();
    // Hands out the entry under the cursor and steps back through the ring.
    bool NextSource(CSourceEntry& entry);
    int CountSources() const;

    const std::array<CSourceEntry, kSize>& Entries() const { return m_entries; }
    int WriteIndex() const { return m_writeIndex; }

private:
    int m_writeIndex = 0;
    std::array<CSourceEntry, kSize> m_entries{};
    int m_cursor = 0;
    int m_stop = 0;
};

class CThreadSourceTable {
public:
    static constexpr int kKeys = 1000;
    static constexpr unsigned kBuckets = 1200;

    void AddSource(const std::string& threadId, const CIPv4Address& address, std::uint16_t port,
                   std::uint32_t time, std::uint16_t resCount);
    // A copy of the thread's record; false when the thread is unknown.
    bool Lookup(const std::string& threadId, CThreadSources& sources) const;

private:
    mutable std::mutex m_lock;
    std::array<std::string, kKeys> m_keyRing;
    int m_ringPosition = 0;
    CChainedMap<CThreadSources, kBuckets> m_map;
};
