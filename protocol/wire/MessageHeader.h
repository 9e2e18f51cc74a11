// CMessageHeader: the 23 bytes that start every overlay message (message id,
// type, TTL, hops, payload length). Plain value; used on the GUI thread by the
// connections and handlers, and by tests.
#pragma once

#include "base/BinaryId.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class CMessageHeader {
public:
    static constexpr std::size_t kSize = 23;

    static constexpr std::uint8_t kTypePing = 0x00;
    static constexpr std::uint8_t kTypePong = 0x01;
    static constexpr std::uint8_t kTypeQuery = 0x80;
    static constexpr std::uint8_t kTypeQueryHit = 0x81;
    static constexpr std::uint8_t kTypeUpdate = 0x50;
    static constexpr std::uint8_t kTypeReserved = 0x40;

    // Every message this node creates starts with these.
    static constexpr std::uint8_t kInitialTtl = 5;
    static constexpr std::uint8_t kInitialHops = 0;

    CMessageHeader() = default;
    // A fresh header: the given id and type, TTL 5, hops 0, payload length 0.
    CMessageHeader(const CBinaryId& messageId, std::uint8_t type);

    void SetMessageId(const CBinaryId& id) { m_messageId = id; }
    void SetMessageId(const std::uint8_t* bytes) { m_messageId.SetBytes(bytes); }
    void SetMessageIdText(std::string_view text) { m_messageId.SetText(text); }
    void SetType(std::uint8_t type) { m_type = type; }
    void SetTtl(std::uint8_t ttl) { m_ttl = ttl; }
    void SetHops(std::uint8_t hops) { m_hops = hops; }
    void SetPayloadLength(std::uint32_t length) { m_payloadLength = length; }

    const CBinaryId& GetMessageId() const { return m_messageId; }
    // 32 lower-case hex digits; the key of the message history and of log lines.
    const std::string& GetMessageIdText() const { return m_messageId.GetText(); }
    std::uint8_t GetType() const { return m_type; }
    std::uint8_t GetTtl() const { return m_ttl; }
    std::uint8_t GetHops() const { return m_hops; }
    std::uint32_t GetPayloadLength() const { return m_payloadLength; }

    // Both wrap modulo 256 and return the new value.
    std::uint8_t IncrementHops() { return ++m_hops; }
    std::uint8_t DecrementTtl() { return --m_ttl; }

    // Appends the 23 bytes; the payload length written is `payloadLength`,
    // which the message encoders pass so the stream never loses alignment.
    void EncodeTo(std::string& out, std::uint32_t payloadLength) const;
    void EncodeTo(std::string& out) const { EncodeTo(out, m_payloadLength); }
    std::string Encode() const;

    // Reads the first 23 bytes; nothing when fewer are given.
    static std::optional<CMessageHeader> Decode(const std::uint8_t* data, std::size_t size);

private:
    CBinaryId m_messageId;
    std::uint8_t m_type = kTypePing;
    std::uint8_t m_ttl = 0;
    std::uint8_t m_hops = 0;
    std::uint32_t m_payloadLength = 0;
};
