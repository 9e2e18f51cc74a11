// CPongMessage: the answer to a ping, naming the port and address on which the
// answering node accepts servent connections. Plain value; GUI thread.
#pragma once

#include "base/IPv4Address.h"
#include "protocol/wire/MessageHeader.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

class CPongMessage {
public:
    static constexpr std::uint32_t kPayloadLength = 6;

    CMessageHeader& Header() { return m_header; }
    const CMessageHeader& Header() const { return m_header; }

    void SetPort(std::uint16_t port) { m_port = port; }
    void SetAddress(const CIPv4Address& address) { m_address = address; }
    std::uint16_t GetPort() const { return m_port; }
    const CIPv4Address& GetAddress() const { return m_address; }

    std::uint32_t ComputePayloadLength() const { return kPayloadLength; }

    // Header (with the computed payload length) and payload.
    std::string Encode() const;

    // From one whole framed message; nothing when it is shorter than a header
    // and the 6 payload bytes.
    static std::optional<CPongMessage> Decode(const std::uint8_t* data, std::size_t size);

private:
    CMessageHeader m_header;
    std::uint16_t m_port = 0;
    CIPv4Address m_address;
};
