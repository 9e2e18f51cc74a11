// CQueryMessage: encoding and decoding of the query payload.
#include "protocol/wire/QueryMessage.h"

#include "protocol/wire/WireCoding.h"

namespace {
constexpr std::size_t kThreadIdOffset = 23;
constexpr std::size_t kCategoryOffset = 39;
} // namespace

std::uint32_t CQueryMessage::ComputePayloadLength() const {
    return static_cast<std::uint32_t>(kFixedPayloadLength + wire::WireTextSize(m_category) +
                                      wire::WireTextSize(m_reserved));
}

std::string CQueryMessage::Encode() const {
    const std::uint32_t payloadLength = ComputePayloadLength();
    std::string out;
    out.reserve(CMessageHeader::kSize + payloadLength);
    m_header.EncodeTo(out, payloadLength);
    wire::PutId(out, m_threadId);
    wire::PutText(out, m_category);
    wire::PutText(out, m_reserved);
    return out;
}

std::optional<CQueryMessage> CQueryMessage::Decode(const std::uint8_t* data, std::size_t size) {
    if (size < CMessageHeader::kSize + kFixedPayloadLength)
        return std::nullopt;
    CQueryMessage query;
    query.m_header = *CMessageHeader::Decode(data, size);
    query.m_threadId = wire::GetId(data + kThreadIdOffset);
    if (size > kCategoryOffset) {
        wire::SStringRun run = wire::ReadStrings(data, kCategoryOffset, size, 2);
        query.m_category = std::move(run.texts[0]);
        query.m_reserved = std::move(run.texts[1]);
    }
    return query;
}
