// CUpdateMessage: encoding and decoding of the update payload.
#include "protocol/wire/UpdateMessage.h"

#include "protocol/wire/WireCoding.h"

namespace {
constexpr std::size_t kThreadIdOffset = 23;
constexpr std::size_t kTimeOffset = 39;
constexpr std::size_t kResCountOffset = 43;
constexpr std::size_t kStringsOffset = 45;
constexpr std::size_t kServentIdSize = 16;
} // namespace

std::uint32_t CUpdateMessage::ComputePayloadLength() const {
    return static_cast<std::uint32_t>(kFixedPayloadLength + wire::WireTextSize(m_title) +
                                      wire::WireTextSize(m_name) + wire::WireTextSize(m_category));
}

std::string CUpdateMessage::Encode() const {
    const std::uint32_t payloadLength = ComputePayloadLength();
    std::string out;
    out.reserve(CMessageHeader::kSize + payloadLength);
    m_header.EncodeTo(out, payloadLength);
    wire::PutId(out, m_threadId);
    wire::PutU32(out, m_time);
    wire::PutU16(out, m_resCount);
    wire::PutText(out, m_title);
    wire::PutText(out, m_name);
    wire::PutText(out, m_category);
    wire::PutId(out, m_serventId);
    return out;
}

std::optional<CUpdateMessage> CUpdateMessage::Decode(const std::uint8_t* data, std::size_t size) {
    if (size < CMessageHeader::kSize + kFixedPayloadLength)
        return std::nullopt;
    CUpdateMessage update;
    update.m_header = *CMessageHeader::Decode(data, size);
    update.m_threadId = wire::GetId(data + kThreadIdOffset);
    update.m_time = wire::GetU32(data + kTimeOffset);
    update.m_resCount = wire::GetU16(data + kResCountOffset);
    wire::SStringRun run = wire::ReadStrings(data, kStringsOffset, size, 3);
    update.m_title = std::move(run.texts[0]);
    update.m_name = std::move(run.texts[1]);
    update.m_category = std::move(run.texts[2]);
    update.m_serventId = wire::GetId(data + size - kServentIdSize);
    return update;
}
