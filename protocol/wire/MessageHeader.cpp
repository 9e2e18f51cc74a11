// CMessageHeader: encoding and decoding of the 23 header bytes.
#include "protocol/wire/MessageHeader.h"

#include "protocol/wire/WireCoding.h"

CMessageHeader::CMessageHeader(const CBinaryId& messageId, std::uint8_t type)
    : m_messageId(messageId), m_type(type), m_ttl(kInitialTtl), m_hops(kInitialHops) {}

void CMessageHeader::EncodeTo(std::string& out, std::uint32_t payloadLength) const {
    wire::PutId(out, m_messageId);
    wire::PutU8(out, m_type);
    wire::PutU8(out, m_ttl);
    wire::PutU8(out, m_hops);
    wire::PutU32(out, payloadLength);
}

std::string CMessageHeader::Encode() const {
    std::string out;
    out.reserve(kSize);
    EncodeTo(out);
    return out;
}

std::optional<CMessageHeader> CMessageHeader::Decode(const std::uint8_t* data, std::size_t size) {
    if (size < kSize)
        return std::nullopt;
    CMessageHeader header;
    header.m_messageId.SetBytes(data);
    header.m_type = wire::GetU8(data + 16);
    header.m_ttl = wire::GetU8(data + 17);
    header.m_hops = wire::GetU8(data + 18);
    header.m_payloadLength = wire::GetU32(data + 19);
    return header;
}
