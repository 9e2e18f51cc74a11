// CPongMessage: encoding and decoding of the pong payload (port, address).
#include "protocol/wire/PongMessage.h"

#include "protocol/wire/WireCoding.h"

std::string CPongMessage::Encode() const {
    std::string out;
    out.reserve(CMessageHeader::kSize + kPayloadLength);
    m_header.EncodeTo(out, ComputePayloadLength());
    wire::PutU16(out, m_port);
    wire::PutAddress(out, m_address);
    return out;
}

std::optional<CPongMessage> CPongMessage::Decode(const std::uint8_t* data, std::size_t size) {
    if (size < CMessageHeader::kSize + kPayloadLength)
        return std::nullopt;
    CPongMessage pong;
    pong.m_header = *CMessageHeader::Decode(data, size);
    pong.m_port = wire::GetU16(data + 23);
    pong.m_address = wire::GetAddress(data + 25);
    return pong;
}
