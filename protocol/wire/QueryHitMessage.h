// CQueryHitMessage: a servent's answer to a query, listing the matching threads
// it holds, the port and address to fetch them from, and its servent id.
// Plain value; GUI thread.
#pragma once

#include "base/BinaryId.h"
#include "base/IPv4Address.h"
#include "protocol/wire/HitEntry.h"
#include "protocol/wire/MessageHeader.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class CQueryHitMessage {
public:
    // Hit count, port, address and the trailing servent id.
    static constexpr std::uint32_t kFixedPayloadLength = 23;

    CMessageHeader& Header() { return m_header; }
    const CMessageHeader& Header() const { return m_header; }

    // The hit count is its own field: a relayed queryhit carries the count it
    // arrived with even when some of its entries could not be decoded.
    void SetHitCount(std::uint8_t count) { m_hitCount = count; }
    void SetPort(std::uint16_t port) { m_port = port; }
    void SetAddress(const CIPv4Address& address) { m_address = address; }
    void SetServentId(const CBinaryId& id) { m_serventId = id; }
    void AddEntry(CHitEntry entry) { m_entries.push_back(std::move(entry)); }

    std::uint8_t GetHitCount() const { return m_hitCount; }
    std::uint16_t GetPort() const { return m_port; }
    const CIPv4Address& GetAddress() const { return m_address; }
    const CBinaryId& GetServentId() const { return m_serventId; }
    // In the order added or decoded.
    const std::vector<CHitEntry>& GetEntries() const { return m_entries; }

    // 23 + the encoded sizes of the entries.
    std::uint32_t ComputePayloadLength() const;

    // Header (with the computed payload length) and payload, entries in order.
    std::string Encode() const;

    // From one whole framed message; nothing when it is shorter than a header
    // and the 23 fixed payload bytes. Walks `hit count` entries from offset 30,
    // leaving out any whose strings hold no 0x00 before the message end; the
    // servent id is the last 16 bytes.
    static std::optional<CQueryHitMessage> Decode(const std::uint8_t* data, std::size_t size);

private:
    CMessageHeader m_header;
    std::uint8_t m_hitCount = 0;
    std::uint16_t m_port = 0;
    CIPv4Address m_address;
    std::vector<CHitEntry> m_entries;
    CBinaryId m_serventId;
};
