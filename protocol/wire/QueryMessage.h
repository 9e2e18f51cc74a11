// CQueryMessage: asks which servents hold one thread (thread id given) or the
// threads of a category (null thread id). Plain value; GUI thread.
#pragma once

#include "base/BinaryId.h"
#include "protocol/wire/MessageHeader.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

class CQueryMessage {
public:
    // Thread id; the two strings add at least their terminators.
    static constexpr std::uint32_t kFixedPayloadLength = 16;

    CMessageHeader& Header() { return m_header; }
    const CMessageHeader& Header() const { return m_header; }

    void SetThreadId(const CBinaryId& id) { m_threadId = id; }
    void SetCategory(std::string category) { m_category = std::move(category); }
    // Always sent empty and never read by this node; kept so relays stay whole.
    void SetReserved(std::string reserved) { m_reserved = std::move(reserved); }
    const CBinaryId& GetThreadId() const { return m_threadId; }
    const std::string& GetCategory() const { return m_category; }
    const std::string& GetReserved() const { return m_reserved; }

    // 18 + len(category) + len(reserved).
    std::uint32_t ComputePayloadLength() const;

    // Header (with the computed payload length) and payload.
    std::string Encode() const;

    // From one whole framed message; nothing when it is shorter than a header
    // and a thread id. The strings are read only from a message of at least 40
    // bytes that holds a 0x00 after the thread id; otherwise both are empty.
    static std::optional<CQueryMessage> Decode(const std::uint8_t* data, std::size_t size);

private:
    CMessageHeader m_header;
    CBinaryId m_threadId;
    std::string m_category;
    std::string m_reserved;
};
